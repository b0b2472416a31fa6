#include "cli/file_identity.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#ifdef _WIN32

// The file is opened for no access at all, sharing everything, so that it can be asked even
// while another program has it open; folders need the backup-semantics flag to be opened.
bool readFileIdentity(const std::string& path, FileIdentity& identity) {
    const HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!known) return false;
    identity.device = info.dwVolumeSerialNumber;
    identity.number = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

#else

bool readFileIdentity(const std::string& path, FileIdentity& identity) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.number = static_cast<std::uint64_t>(info.st_ino);
    return true;
}

#endif
