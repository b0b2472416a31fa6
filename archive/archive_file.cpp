#include "archive/backend.h"

#include <ctime>

ArchiveFile::~ArchiveFile() {
    std::string ignored;
    if (owned_) fileOps().close(handle_, ignored);
}

bool ArchiveFile::open(const std::string& path, FileHandle given, std::string& reason) {
    owned_ = given == kNoFile;
    handle_ = owned_ ? fileOps().open(path, OpenMode::Read, reason) : given;
    if (handle_ == kNoFile) {
        owned_ = false;
        return false;
    }
    size_ = fileOps().size(handle_, reason);
    return size_ >= 0;
}

bool ArchiveFile::read(unsigned char* bytes, std::size_t count, std::int64_t offset, std::string& reason) {
    return count == 0 || fileOps().read(handle_, bytes, count, offset, reason);
}

std::uint16_t little16(const unsigned char* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t little32(const unsigned char* bytes) {
    return little16(bytes) | static_cast<std::uint32_t>(little16(bytes + 2)) << 16;
}

std::uint64_t little64(const unsigned char* bytes) {
    return little32(bytes) | static_cast<std::uint64_t>(little32(bytes + 4)) << 32;
}

void putLittle16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void putLittle32(std::string& out, std::uint32_t value) {
    putLittle16(out, static_cast<std::uint16_t>(value));
    putLittle16(out, static_cast<std::uint16_t>(value >> 16));
}

void putLittle64(std::string& out, std::uint64_t value) {
    putLittle32(out, static_cast<std::uint32_t>(value));
    putLittle32(out, static_cast<std::uint32_t>(value >> 32));
}

// The fields are local time, as the programs that write zips read the clock; mktime turns
// them into UTC as libarchive and unzip do.
std::int64_t dosToUnix(std::uint16_t date, std::uint16_t time) {
    std::tm fields{};
    fields.tm_year = 80 + (date >> 9);
    fields.tm_mon = ((date >> 5) & 15) - 1;
    fields.tm_mday = date & 31;
    fields.tm_hour = time >> 11;
    fields.tm_min = (time >> 5) & 63;
    fields.tm_sec = (time & 31) * 2;
    fields.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&fields));
}

// Times before 1980, the first the fields hold, are given as 1980-01-01 00:00.
void unixToDos(std::int64_t seconds, std::uint16_t& date, std::uint16_t& time) {
    const std::time_t value = static_cast<std::time_t>(seconds);
    std::tm fields{};
#ifdef _WIN32
    const bool known = localtime_s(&fields, &value) == 0;
#else
    const bool known = localtime_r(&value, &fields) != nullptr;
#endif
    if (!known || fields.tm_year < 80) {
        date = (1 << 5) | 1;
        time = 0;
        return;
    }
    date = static_cast<std::uint16_t>((fields.tm_year - 80) << 9 | (fields.tm_mon + 1) << 5 | fields.tm_mday);
    time = static_cast<std::uint16_t>(fields.tm_hour << 11 | fields.tm_min << 5 | fields.tm_sec / 2);
}
