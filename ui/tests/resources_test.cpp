// What Explorer shows of Dornavel.exe: its icon, its version information and the version in
// its manifest, read back from the built program with the resource functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app_driver.h"
#include "resources/resource.h"
#include "scratch_files.h"

namespace {

// The built program, opened for its resources only.
class ProgramResources {
public:
    ProgramResources()
        : module_(LoadLibraryExA(windowsPath(DORNAVEL_EXE).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ProgramResources() {
        if (module_) FreeLibrary(module_);
    }
    ProgramResources(const ProgramResources&) = delete;
    ProgramResources& operator=(const ProgramResources&) = delete;

    HMODULE module() const { return module_; }

    // The bytes of a resource; empty when it is missing.
    std::string bytes(LPCSTR type, LPCSTR name) const {
        HRSRC found = FindResourceA(module_, name, type);
        HGLOBAL loaded = found ? LoadResource(module_, found) : nullptr;
        const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
        return data ? std::string(data, SizeofResource(module_, found)) : std::string();
    }

private:
    HMODULE module_;
};

#pragma pack(push, 2)
// An entry of an icon group resource: one picture of the icon.
struct GroupIconEntry {
    BYTE width;  // 0 stands for 256
    BYTE height; // 0 stands for 256
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitsPerPixel;
    DWORD bytes;
    WORD id; // the RT_ICON resource holding the picture
};
#pragma pack(pop)

// The first name of the program's icon groups: the one Explorer shows.
BOOL CALLBACK takeFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    *reinterpret_cast<LPSTR*>(found) = name;
    return FALSE;
}

// A version value of the program's version information, or "<missing>".
std::string versionString(const std::vector<char>& info, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return "<missing>";
    return value;
}

} // namespace

TEST(ResourcesTest, IconHoldsEverySizeFrom16To256) {
    ProgramResources program;
    ASSERT_NE(program.module(), nullptr);
    LPSTR first = nullptr;
    EnumResourceNamesA(program.module(), RT_GROUP_ICON, takeFirstName, reinterpret_cast<LONG_PTR>(&first));
    EXPECT_EQ(first, MAKEINTRESOURCEA(IDI_DORNAVEL)) << "another icon would stand for the program";

    const std::string group = program.bytes(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_DORNAVEL));
    ASSERT_GE(group.size(), 6u);
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    ASSERT_EQ(group.size(), 6 + count * sizeof(GroupIconEntry));
    std::set<int> sizes;
    for (WORD index = 0; index < count; ++index) {
        GroupIconEntry entry;
        memcpy(&entry, group.data() + 6 + index * sizeof entry, sizeof entry);
        const int size = entry.width == 0 ? 256 : entry.width;
        sizes.insert(size);
        EXPECT_EQ(entry.bitsPerPixel, 32) << size << " px";
        std::string picture = program.bytes(RT_ICON, MAKEINTRESOURCEA(entry.id));
        ASSERT_EQ(picture.size(), entry.bytes) << size << " px";
        if (size == 256) {
            // The largest picture is a PNG: its signature, then its header with the width.
            ASSERT_GE(picture.size(), 24u);
            EXPECT_EQ(picture.substr(0, 8), "\x89PNG\r\n\x1a\n");
            EXPECT_EQ(picture.substr(16, 4), std::string("\0\0\x01\0", 4));
            continue;
        }
        // The others are bitmaps the system makes an icon of.
        HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(&picture[0]),
                                              static_cast<DWORD>(picture.size()), TRUE, 0x00030000,
                                              size, size, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr) << size << " px";
        if (icon) DestroyIcon(icon);
    }
    EXPECT_EQ(sizes, std::set<int>({16, 20, 24, 32, 40, 48, 64, 256}));
}

TEST(ResourcesTest, VersionInformationNamesTheProjectVersion) {
    const std::wstring program = widen(windowsPath(DORNAVEL_EXE));
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version information";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // "1.2.3" from CMake is 1.2.3.0 in the numbers Explorer shows.
    int major = 0, minor = 0, patch = 0;
    ASSERT_EQ(sscanf(DORNAVEL_VERSION, "%d.%d.%d", &major, &minor, &patch), 3);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(minor, major)));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, patch)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    EXPECT_EQ(versionString(info, "ProductName"), "Dornavel");
    EXPECT_EQ(versionString(info, "FileVersion"), DORNAVEL_VERSION);
    EXPECT_EQ(versionString(info, "ProductVersion"), DORNAVEL_VERSION);
    EXPECT_EQ(versionString(info, "OriginalFilename"), "Dornavel.exe");
    const std::string copyright = versionString(info, "LegalCopyright");
    EXPECT_NE(copyright.find("The Dornavel authors"), std::string::npos) << copyright;
    EXPECT_NE(copyright.find("MIT"), std::string::npos) << copyright;
}

TEST(ResourcesTest, ManifestNamesTheProjectVersion) {
    ProgramResources program;
    ASSERT_NE(program.module(), nullptr);
    const std::string manifest = program.bytes(RT_MANIFEST, MAKEINTRESOURCEA(1));
    ASSERT_FALSE(manifest.empty());
    const std::string identity = std::string("name=\"Dornavel\" version=\"") + DORNAVEL_VERSION + ".0\"";
    EXPECT_NE(manifest.find(identity), std::string::npos) << manifest.substr(0, 300);
}
