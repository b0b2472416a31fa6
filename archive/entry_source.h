// An entry of an archive as a stream of its unpacked bytes, for what reads a ROM from the
// start to the end once (identity, patches): its first bytes are read ahead, to tell what the
// entry holds before it is taken, then given again first.
#pragma once

#include "archive/archive.h"
#include "core/byte_source.h"

class EntrySource : public ByteSource {
public:
    explicit EntrySource(ArchiveReader& reader) : reader_(reader) {}

    // Opens entry index of the reader and reads up to headBytes of it ahead (fewer when it is
    // shorter); false with error set when it cannot be opened or read.
    bool open(std::size_t index, std::size_t headBytes, ArchiveError& error);

    // The bytes read ahead.
    const unsigned char* head() const { return head_.data(); }
    std::size_t headSize() const { return head_.size(); }

    // The size the archive states, or -1 (the reader checks it at the end).
    std::int64_t size() const override;
    // Gives the bytes read ahead, then the rest; on failure, error() tells which problem.
    std::int64_t read(unsigned char* buffer, std::size_t size, std::string& reason) override;
    bool provedAtTheEnd() const override { return true; }

    // The last failure: the archive, the entry and the reason.
    const ArchiveError& error() const { return error_; }

private:
    ArchiveReader& reader_;
    std::size_t index_ = 0;
    std::vector<unsigned char> head_;
    std::size_t given_ = 0; // of the head, already given back
    ArchiveError error_;
};
