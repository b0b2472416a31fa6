#include "archive/entry_source.h"

#include <cstring>

bool EntrySource::open(std::size_t index, std::size_t headBytes, ArchiveError& error) {
    index_ = index;
    head_.assign(headBytes, 0);
    given_ = 0;
    if (!reader_.openEntry(index, error)) return error_ = error, false;
    std::size_t filled = 0;
    while (filled < headBytes) {
        const std::int64_t got = reader_.read(head_.data() + filled, headBytes - filled, error);
        if (got < 0) return error_ = error, false;
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    head_.resize(filled);
    return true;
}

std::int64_t EntrySource::size() const {
    return reader_.entries()[index_].size;
}

std::int64_t EntrySource::read(unsigned char* buffer, std::size_t size, std::string& reason) {
    if (given_ < head_.size()) {
        const std::size_t count = head_.size() - given_ < size ? head_.size() - given_ : size;
        std::memcpy(buffer, head_.data() + given_, count);
        given_ += count;
        return static_cast<std::int64_t>(count);
    }
    const std::int64_t got = reader_.read(buffer, size, error_);
    if (got < 0) reason = error_.reason;
    return got;
}
