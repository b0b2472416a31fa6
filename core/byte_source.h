// A stream of bytes read from the start to the end once: a file, or an entry of an archive
// unpacked as it is read. What identifies a ROM reads through it, so that a ROM kept inside
// an archive is never unpacked to the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The bytes it will give in all, or -1 when that is known only at the end.
    virtual std::int64_t size() const = 0;
    // Up to size bytes into buffer: their count, 0 at the end, -1 on failure with reason set.
    virtual std::int64_t read(unsigned char* buffer, std::size_t size, std::string& reason) = 0;
    // Whether its bytes are proved whole only once read to the end (an archive's entry, by
    // its CRC-32): then it is read to the end even when only its start is wanted.
    virtual bool provedAtTheEnd() const { return false; }
};
