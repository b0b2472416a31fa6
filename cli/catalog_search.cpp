#include "cli/catalog_search.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

// The usual places, in the order they are tried.
std::vector<std::string> usualPlaces() {
#ifdef _WIN32
    // Under the program's UTF-8 manifest the 8-bit call gives the path in UTF-8.
    char program[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program) return {};
    const std::filesystem::path folder = std::filesystem::u8path(std::string(program, length)).parent_path();
    return {(folder / "mupen64plus.ini").u8string()};
#else
    return {"/usr/share/games/mupen64plus/mupen64plus.ini", "/usr/share/mupen64plus/mupen64plus.ini",
            "/usr/local/share/mupen64plus/mupen64plus.ini"};
#endif
}

} // namespace

// A named catalogue is taken even when it is missing, so that the user hears why it was not
// read; a usual place counts only when something is there.
std::string findCatalog(const std::string& given) {
    if (!given.empty()) return given;
    const char* fromEnvironment = std::getenv("DORNAVEL_CATALOG");
    if (fromEnvironment && *fromEnvironment) return fromEnvironment;
    for (const std::string& place : usualPlaces()) {
        std::error_code ignored;
        if (std::filesystem::exists(std::filesystem::u8path(place), ignored)) return place;
    }
    return std::string();
}
