// The file operations on Windows, through the system's own calls, so that every failure
// comes with the system's own text in the user's language. Names come as 8-bit strings in
// the process's code page (UTF-8, by the programs' manifests) and go to the system's wide
// calls, with the long-path prefix where a path is past MAX_PATH.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cctype>
#include <cstdlib>

#include "core/file_ops.h"
#include "core/file_system.h"
#include "core/path_name.h"

// Without the trailing line break and full stop, so that it reads well inside a sentence.
std::string windowsErrorText(unsigned long code) {
    char* buffer = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageA(flags, nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length ? std::string(buffer, length) : std::string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) text = "error " + std::to_string(code);
    return text;
}

namespace {

// Sets reason to the text of the last error; returns false for the caller to pass on.
bool failWithLastError(std::string& reason) {
    reason = windowsErrorText(GetLastError());
    return false;
}

// path as the wide calls take it: absolute and prefixed with \\?\ when it is too long for
// the old limit, so that a deep folder works whatever the system's long-path setting.
std::wstring systemPath(const std::string& path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? length : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
    wide.resize(wide.size() - 1);
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    const DWORD fullLength = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (fullLength == 0) return wide;
    std::wstring full(fullLength, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), fullLength, &full[0], nullptr));
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

HANDLE handleOf(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

// Whether the last component of path is one of the names Windows keeps for devices (CON,
// NUL, COM1, ...), whatever its extension: opening one could wait on a serial port.
bool isDeviceName(const std::string& path) {
    std::string stem = nameOf(path);
    stem = stem.substr(0, stem.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* name : kNames)
        if (stem == name) return true;
    const bool numbered = stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0);
    return numbered && stem[3] >= '0' && stem[3] <= '9';
}

// Opens an existing regular file; device names and the device namespace are refused before
// any open, and anything that is not a disk file after it.
HANDLE openRegular(const std::string& path, bool update, std::string& reason) {
    if (isDeviceName(path) || path.rfind("\\\\.\\", 0) == 0) {
        reason = kNotRegularFileText;
        return INVALID_HANDLE_VALUE;
    }
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = kNotRegularFileText;
        return INVALID_HANDLE_VALUE;
    }
    const DWORD access = update ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    const DWORD share = update ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE file = CreateFileW(systemPath(path).c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
        reason = held ? std::string(kInUseText) : windowsErrorText(code);
        return file;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        reason = kNotRegularFileText;
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// An OVERLAPPED that only carries the position of a synchronous read or write.
OVERLAPPED at(std::int64_t offset) {
    OVERLAPPED position = {};
    position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    position.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return position;
}

// The largest piece handed to one ReadFile or WriteFile.
const std::size_t kPiece = std::size_t(1) << 30;

class WindowsFileOps : public FileOps {
public:
    FileHandle open(const std::string& path, OpenMode mode, std::string& reason) override {
        HANDLE file = INVALID_HANDLE_VALUE;
        if (mode == OpenMode::CreateNew) {
            file = CreateFileW(systemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) failWithLastError(reason);
        } else {
            file = openRegular(path, mode == OpenMode::Update, reason);
        }
        return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(file);
    }

    // The share mode of the open keeps other writers out for as long as the file is open.
    bool lock(FileHandle, std::string&) override { return true; }

    std::int64_t size(FileHandle file, std::string& reason) override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(handleOf(file), &size)) return failWithLastError(reason), -1;
        return size.QuadPart;
    }

    unsigned char* allocate(std::size_t size) override {
        return static_cast<unsigned char*>(std::malloc(size ? size : 1));
    }

    void release(unsigned char* bytes) override { std::free(bytes); }

    bool read(FileHandle file, unsigned char* bytes, std::size_t size, std::int64_t offset,
              std::string& reason) override {
        for (std::size_t done = 0; done < size;) {
            const DWORD piece = static_cast<DWORD>(size - done < kPiece ? size - done : kPiece);
            OVERLAPPED position = at(offset + static_cast<std::int64_t>(done));
            DWORD got = 0;
            if (!ReadFile(handleOf(file), bytes + done, piece, &got, &position) && GetLastError() != ERROR_HANDLE_EOF)
                return failWithLastError(reason);
            if (got == 0) return reason = kEndedEarlyText, false;
            done += got;
        }
        return true;
    }

    // Files on Windows are not sparse unless marked so: their blocks are already theirs.
    bool reserve(FileHandle, std::int64_t, std::string&) override { return true; }

    // NTFS and FAT rewrite a file's clusters in place, and files are not sparse unless marked so.
    bool roomToRewrite(FileHandle, std::int64_t, std::int64_t, std::string&) override { return true; }

    // Windows sets no limit on the size of a file a process writes.
    std::int64_t fileSizeLimit() override { return -1; }

    bool write(FileHandle file, const unsigned char* bytes, std::size_t size, std::int64_t offset,
               std::string& reason) override {
        for (std::size_t done = 0; done < size;) {
            const DWORD piece = static_cast<DWORD>(size - done < kPiece ? size - done : kPiece);
            OVERLAPPED position = at(offset + static_cast<std::int64_t>(done));
            DWORD put = 0;
            if (!WriteFile(handleOf(file), bytes + done, piece, &put, &position)) return failWithLastError(reason);
            if (put == 0) return reason = windowsErrorText(ERROR_DISK_FULL), false;
            done += put;
        }
        return true;
    }

    void startWriteOut(FileHandle, std::int64_t, std::int64_t) override {}

    bool sync(FileHandle file, std::string& reason) override {
        if (FlushFileBuffers(handleOf(file))) return true;
        return failWithLastError(reason);
    }

    bool close(FileHandle file, std::string& reason) override {
        if (CloseHandle(handleOf(file))) return true;
        return failWithLastError(reason);
    }

    bool renameReplacing(const std::string& from, const std::string& to, std::string& reason) override {
        if (MoveFileExW(systemPath(from).c_str(), systemPath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        return failWithLastError(reason);
    }

    bool renameExclusive(const std::string& from, const std::string& to, bool& unsupported,
                         std::string& reason) override {
        unsupported = false;
        if (MoveFileExW(systemPath(from).c_str(), systemPath(to).c_str(), MOVEFILE_WRITE_THROUGH)) return true;
        return failWithLastError(reason);
    }

    bool link(const std::string& from, const std::string& to, std::string& reason) override {
        if (CreateHardLinkW(systemPath(to).c_str(), systemPath(from).c_str(), nullptr)) return true;
        return failWithLastError(reason);
    }

    bool remove(const std::string& path, std::string& reason) override {
        if (DeleteFileW(systemPath(path).c_str())) return true;
        return failWithLastError(reason);
    }

    // MOVEFILE_WRITE_THROUGH already waits until the rename is on the disk.
    void syncFolderOf(const std::string&) override {}

    FileIdentity identify(const std::string& path, bool followLinks) override;
    FileIdentity identifyOpen(FileHandle file) override;
    std::string newNameProblem(const std::string& folder, const std::string& name) override;
    bool concurrent() override { return true; } // every read and write carries its offset
};

// Files are told apart by their volume and file index, read from a handle that asks for no
// access at all, so that a file held open by another program can still be identified.
FileIdentity WindowsFileOps::identify(const std::string& path, bool followLinks) {
    FileIdentity identity;
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return identity;
    identity.exists = true;
    identity.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    identity.link = !followLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE file = CreateFileW(systemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) return identity;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(file, &info)) {
        identity.device = info.dwVolumeSerialNumber;
        identity.file = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        identity.links = info.nNumberOfLinks;
    }
    CloseHandle(file);
    return identity;
}

FileIdentity WindowsFileOps::identifyOpen(FileHandle file) {
    FileIdentity identity;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handleOf(file), &info)) return identity;
    identity.exists = true;
    identity.device = info.dwVolumeSerialNumber;
    identity.file = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.links = info.nNumberOfLinks;
    return identity;
}

// The folder must be there and be a folder; the name must fit the volume's longest
// component. Rights are left to the rename itself: Windows has no cheap question for them.
std::string WindowsFileOps::newNameProblem(const std::string& folder, const std::string& name) {
    const DWORD attributes = GetFileAttributesW(systemPath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return windowsErrorText(GetLastError());
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return windowsErrorText(ERROR_DIRECTORY);
    std::string root = folder;
    DWORD longest = 255;
    if (root.size() >= 2 && root[1] == ':') {
        root = root.substr(0, 2) + "\\";
        DWORD serial = 0, flags = 0;
        GetVolumeInformationA(root.c_str(), nullptr, 0, &serial, &longest, &flags, nullptr, 0);
    }
    const int wide = MultiByteToWideChar(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()), nullptr, 0);
    if (wide > static_cast<int>(longest)) return windowsErrorText(ERROR_FILENAME_EXCED_RANGE);
    return std::string();
}

} // namespace

FileOps& systemFileOps() {
    static WindowsFileOps ops;
    return ops;
}
