#include "archive/deflate_sink.h"

namespace {

// Packed bytes are handed to the output 256 KiB at a time.
const std::size_t kSliceBytes = 256 * 1024;

} // namespace

DeflateSink::~DeflateSink() {
    if (deflating_) deflateEnd(&stream_);
}

bool DeflateSink::raw(const unsigned char* bytes, std::size_t size, std::string& reason) {
    if (!output_.write(bytes, size, offset_, reason)) return false;
    offset_ += static_cast<std::int64_t>(size);
    return true;
}

bool DeflateSink::raw(const std::string& bytes, std::string& reason) {
    return raw(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), reason);
}

bool DeflateSink::rawAt(const std::string& bytes, std::int64_t offset, std::string& reason) {
    return output_.write(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), offset, reason);
}

bool DeflateSink::begin(const std::string& header, bool stored, std::string& reason) {
    if (!raw(header, reason)) return false;
    crc_ = crc32(0, Z_NULL, 0);
    size_ = packed_ = 0;
    if (stored) return true;
    stream_ = z_stream{};
    if (deflateInit2(&stream_, level_, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        reason = "no memory to deflate";
        return false;
    }
    deflating_ = true;
    slice_.resize(kSliceBytes);
    return true;
}

bool DeflateSink::pump(int flush, std::string& reason) {
    for (;;) {
        stream_.next_out = slice_.data();
        stream_.avail_out = static_cast<uInt>(slice_.size());
        const int result = deflate(&stream_, flush);
        const std::size_t made = slice_.size() - stream_.avail_out;
        if (made > 0 && !raw(slice_.data(), made, reason)) return false;
        packed_ += static_cast<std::int64_t>(made);
        if (result == Z_STREAM_END) return true;
        if (result != Z_OK && result != Z_BUF_ERROR) {
            reason = "deflate failed";
            return false;
        }
        // Output room left means deflate took all the input it was given.
        if (stream_.avail_out != 0 && flush != Z_FINISH) return true;
    }
}

bool DeflateSink::write(const unsigned char* bytes, std::size_t size, std::string& reason) {
    while (size > 0) {
        const uInt piece = static_cast<uInt>(std::min<std::size_t>(size, std::size_t(1) << 30));
        crc_ = crc32(crc_, bytes, piece);
        size_ += piece;
        if (!deflating_) {
            if (!raw(bytes, piece, reason)) return false;
            packed_ += piece;
        } else {
            stream_.next_in = const_cast<unsigned char*>(bytes);
            stream_.avail_in = piece;
            if (!pump(Z_NO_FLUSH, reason)) return false;
        }
        bytes += piece;
        size -= piece;
    }
    return true;
}

bool DeflateSink::end(std::string& reason) {
    if (!deflating_) return true;
    stream_.next_in = nullptr;
    stream_.avail_in = 0;
    const bool done = pump(Z_FINISH, reason);
    deflateEnd(&stream_);
    deflating_ = false;
    return done;
}
