#include "archive/inflate_stream.h"

namespace {

// The file is read 64 KiB at a time.
const std::size_t kSliceBytes = 64 * 1024;

} // namespace

InflateStream::~InflateStream() {
    if (started_) inflateEnd(&stream_);
}

bool InflateStream::start(ArchiveFile& file, std::int64_t offset, std::int64_t length, bool gzip,
                          std::string& reason) {
    if (started_) inflateEnd(&stream_);
    stream_ = z_stream{};
    started_ = inflateInit2(&stream_, gzip ? 15 + 16 : -15) == Z_OK;
    if (!started_) {
        reason = "no memory to inflate";
        return false;
    }
    file_ = &file;
    gzip_ = gzip;
    ended_ = false;
    members_ = 1;
    next_ = offset;
    end_ = offset + length;
    consumed_ = 0;
    slice_.resize(kSliceBytes);
    return true;
}

bool InflateStream::refill(std::string& reason) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::int64_t>(end_ - next_, kSliceBytes));
    if (!file_->read(slice_.data(), count, next_, reason)) return false;
    next_ += count;
    consumed_ += count;
    stream_.next_in = slice_.data();
    stream_.avail_in = static_cast<uInt>(count);
    return true;
}

// Bytes past the last member that are not a member are left as gzip leaves them.
bool InflateStream::nextMember() {
    if (!gzip_) return false;
    std::string ignored;
    if (stream_.avail_in == 0 && (next_ >= end_ || !refill(ignored))) return false;
    if (stream_.next_in[0] != 0x1F) return false;
    inflateReset(&stream_);
    ++members_;
    return true;
}

// Stops at the end of the data, at a full buffer, or at the first fault: data that does not
// inflate, a gzip trailer that does not match, input that ends first.
std::int64_t InflateStream::read(unsigned char* out, std::size_t size, ArchiveProblem& problem, std::string& reason) {
    if (ended_) return 0;
    const uInt asked = static_cast<uInt>(std::min<std::size_t>(size, std::size_t(1) << 30));
    stream_.next_out = out;
    stream_.avail_out = asked;
    while (stream_.avail_out > 0) {
        if (stream_.avail_in == 0 && next_ < end_ && !refill(reason)) {
            problem = ArchiveProblem::Unreadable;
            return -1;
        }
        const uInt before = stream_.avail_out;
        const int result = inflate(&stream_, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            if (nextMember()) continue;
            ended_ = true;
            break;
        }
        if (result == Z_MEM_ERROR) {
            problem = ArchiveProblem::Unreadable;
            reason = "no memory to inflate";
            return -1;
        }
        if (result != Z_OK && result != Z_BUF_ERROR) {
            const std::string message = stream_.msg ? stream_.msg : "invalid data";
            const bool check = message.find("check") != std::string::npos;
            problem = check ? ArchiveProblem::CrcMismatch : ArchiveProblem::Damaged;
            reason = check ? "its bytes do not match the CRC-32 or size of the gzip trailer (" + message + ")"
                           : "its data does not inflate (" + message + ")";
            return -1;
        }
        if (stream_.avail_in == 0 && next_ >= end_ && stream_.avail_out == before) {
            problem = gzip_ ? ArchiveProblem::Truncated : ArchiveProblem::Damaged;
            reason = gzip_ ? "the archive ends in the middle of its data" : "its data ends before its packed size does";
            return -1;
        }
    }
    return static_cast<std::int64_t>(asked - stream_.avail_out);
}
