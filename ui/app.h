// Declarations shared by the files of the main window: the program-wide records and the
// command handlers.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/file_system.h"
#include "core/recovery_record.h"
#include "core/rom_file.h"

// The record of the loaded ROM.
struct LoadedRom {
    bool loaded = false;               // a ROM is loaded: only then is a swap accepted
    ByteOrder order = ByteOrder::None; // the order the loaded file is taken to be in
    std::string path;                  // its full path; empty when there is none
    std::string title;                 // its name without the folder
    std::string entry;                 // the ROM's entry when the file is an archive; empty otherwise
};

// Characters in each buffer of the open-file dialog: room for long UTF-8 paths.
constexpr DWORD kPathChars = 32768;

// The open-file dialog's parameters with its two buffers. The file buffer is never
// cleared, so each dialog offers the path chosen last.
struct OpenFileRecord {
    OPENFILENAMEA params;
    char file[kPathChars];
    char title[kPathChars];
};

extern HINSTANCE gInstance;      // this program's instance handle, kept by WinMain
extern LoadedRom gLoadedRom;     // the ROM shown in the main window
extern OpenFileRecord gOpenFile; // the open-file dialog's record, alive for the whole run
extern bool gSwapRunning;        // a swap is under way: nothing dropped may be opened

// archive_rom.cpp
bool showArchivedRom(HWND window);
void swapArchivedRom(HWND window, ByteOrder target);

// controller.cpp
void loadRom(HWND window);
bool loadRomFile(HWND window, const std::string& path, const std::string& title);
void rememberForDialog(const std::string& path);
void unloadRom(HWND window);
void showCaption(HWND window, const std::string& title);
void showOrder(HWND window, ByteOrder order);
std::string showDetectedOrder(HWND window);
bool finishInterruptedUpdate(HWND window, const std::string& path);
void followRename(HWND window, const std::string& path, const std::string& title);

// given_files.cpp
std::string utf8FromWide(const wchar_t* text);
void openGivenFiles(HWND window, const std::vector<std::string>& paths);

// command_line.cpp
std::vector<std::string> commandLineFiles();

// drop.cpp
void openDroppedFiles(HWND window, HDROP drop);

// keyboard.cpp
bool handleDialogKeys(HWND window, MSG& message);
void handOverFocus(HWND window, int from, int to);
void keepRadioGroupReachable(HWND window);

// patching.cpp
void offerPatch(HWND window, const std::string& path);
bool isPatchFile(const std::string& path);

// swap.cpp
void swapRom(HWND window);

// about.cpp
void showAbout(HWND window);

// messages.cpp
void showError(HWND owner, const std::string& text);
void showNotice(HWND owner, const std::string& text);
bool askYesNo(HWND owner, const char* question, bool yesByDefault = true);
std::string fileErrorText(const FileError& error);
std::string notARomMessage(const std::string& path, FileKind kind);
std::string finishedUpdateText(const RecordContents& contents, const std::string& path);
