// Starting Dornavel.exe and driving its windows through window messages.
#include "app_driver.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <cstring>
#include <vector>

#include "drop_hook.h"
#include "resources/resource.h"
#include "scratch_files.h"

const char* const kBackupQuestion = "Creo un file di backup della ROM?  ";
const char* const kFinalQuestion = "Swap Completo! Correzione finale della ROM? ";

namespace {

// The longest the driver waits for the program to show or do something, in milliseconds.
const DWORD kWaitMs = 20000;

// The pause between two looks at the program while waiting, in milliseconds.
const DWORD kPollMs = 20;

// The control identifiers of the file-name field of the system's open-file dialog: the
// combo box of the Explorer-style dialog (cmb13) and the edit of the older one (edt1).
const int kFileNameCombo = 0x47c;
const int kFileNameEdit = 0x480;

// The identifier of the message text in a message box, and of its icon.
const int kMessageBoxText = 0xffff;
const int kMessageBoxIcon = 0x440;

// The class name of a window.
std::string className(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// What a search through the top-level windows looks for and what it found.
struct DialogSearch {
    DWORD processId;
    HWND owner;
    bool visibleOnly;
    std::vector<HWND> found;
};

// Collects the dialogs of the program under test owned by the main window.
BOOL CALLBACK collectOwnedDialog(HWND window, LPARAM data) {
    DialogSearch& search = *reinterpret_cast<DialogSearch*>(data);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search.processId) return TRUE;
    if (GetWindow(window, GW_OWNER) != search.owner) return TRUE;
    if (className(window) != "#32770") return TRUE;
    if (search.visibleOnly && !IsWindowVisible(window)) return TRUE;
    search.found.push_back(window);
    return TRUE;
}

// The dialogs now owned by owner in the given process.
std::vector<HWND> ownedDialogs(DWORD processId, HWND owner, bool visibleOnly) {
    DialogSearch search{processId, owner, visibleOnly, {}};
    EnumWindows(collectOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// What a search for the main window looks for and what it found.
struct MainSearch {
    DWORD processId;
    HWND found;
};

// Finds the visible, unowned dialog window of the program under test.
BOOL CALLBACK findMainWindow(HWND window, LPARAM data) {
    MainSearch& search = *reinterpret_cast<MainSearch*>(data);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search.processId || GetWindow(window, GW_OWNER) != nullptr) return TRUE;
    if (className(window) != "#32770" || !IsWindowVisible(window)) return TRUE;
    search.found = window;
    return FALSE;
}

// The first edit control at or below window (the file-name field may be a combo box with
// its edit inside).
HWND findEdit(HWND window) {
    if (!window) return nullptr;
    if (className(window) == "Edit") return window;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HWND edit = findEdit(child)) return edit;
    }
    return nullptr;
}

// The file-name field of an open-file dialog, or null when the dialog has none.
HWND fileNameField(HWND dialog) {
    if (HWND combo = GetDlgItem(dialog, kFileNameCombo)) return combo;
    return GetDlgItem(dialog, kFileNameEdit);
}

// A short description of a dialog for failure messages.
std::string describe(HWND dialog) {
    std::string text = "\"" + windowText(dialog) + "\"";
    if (HWND message = GetDlgItem(dialog, kMessageBoxText)) text += ": " + windowText(message);
    return text;
}

} // namespace

// A UTF-8 text in UTF-16.
std::wstring widen(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], length);
    wide.pop_back(); // the terminating zero
    return wide;
}

// Sends a message and waits at most the driver's usual time for the answer.
bool sendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kWaitMs, &answer))
        return false;
    result = static_cast<LRESULT>(answer);
    return true;
}

// Reads a window's text with WM_GETTEXT.
std::string windowText(HWND window) {
    LRESULT length = 0;
    if (!sendBounded(window, WM_GETTEXTLENGTH, 0, 0, length)) return "<no answer>";
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    LRESULT copied = 0;
    if (!sendBounded(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied))
        return "<no answer>";
    return std::string(text.data());
}

// Ends the program if it still runs and lets go of it.
DornavelApp::~DornavelApp() {
    if (dropHook_) UnhookWindowsHookEx(dropHook_);
    if (process_) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, kWaitMs);
        }
        CloseHandle(process_);
    }
    if (job_) CloseHandle(job_);
}

// Starts Dornavel.exe in a job that ends it with the test program, with the files quoted on
// its command line, and waits for its window. The command line goes in UTF-16, as Explorer
// gives it.
bool DornavelApp::launch(const std::vector<std::string>& files) {
    EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8))
        << "the test program must run with the UTF-8 code page (its manifest sets it)";

    job_ = CreateJobObjectA(nullptr, nullptr);
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }

    const std::string program = windowsPath(DORNAVEL_EXE);
    std::string commandLine = "\"" + program + "\"";
    for (const std::string& file : files) commandLine += " \"" + file + "\"";
    std::wstring wideCommandLine = widen(commandLine);
    // No standard handles: a program left running must not keep the test's output open.
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(widen(program).c_str(), &wideCommandLine[0], nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start " << program << " (error " << GetLastError() << ")";
        return false;
    }
    if (job_) AssignProcessToJobObject(job_, info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    threadId_ = info.dwThreadId;

    WaitForInputIdle(process_, kWaitMs);
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    while (!window_ && GetTickCount64() < deadline) {
        MainSearch search{processId_, nullptr};
        EnumWindows(findMainWindow, reinterpret_cast<LPARAM>(&search));
        window_ = search.found;
        if (!window_) {
            if (!isRunning()) break;
            Sleep(kPollMs);
        }
    }
    if (!window_) ADD_FAILURE() << "the main window of " << program << " did not appear";
    return window_ != nullptr;
}

// Hooks the program's thread with drop_hook.dll, once; the library stays loaded in this
// process while the hook lives.
bool DornavelApp::hookForDrops() {
    if (dropHook_) return true;
    HMODULE module = LoadLibraryA(windowsPath(DORNAVEL_DROP_HOOK).c_str());
    void* procedure = module ? reinterpret_cast<void*>(GetProcAddress(module, kDropHookName)) : nullptr;
    if (procedure)
        dropHook_ = SetWindowsHookExA(WH_CALLWNDPROC, reinterpret_cast<HOOKPROC>(procedure),
                                      module, threadId_);
    if (!dropHook_) ADD_FAILURE() << "cannot hook the program for drops (error " << GetLastError() << ")";
    return dropHook_ != nullptr;
}

// Hands the paths to drop_hook.dll inside the program, which builds the drop there and
// posts it to the window. Returns once the drop is in the window's queue.
bool DornavelApp::drop(const std::vector<std::string>& paths) {
    if (!hookForDrops()) return false;
    std::wstring names;
    for (const std::string& path : paths) names += widen(path) + L'\0';
    names += L'\0';
    const DWORD size = static_cast<DWORD>(names.size() * sizeof(wchar_t));
    HANDLE shared = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size,
                                       dropMemoryName(GetCurrentProcessId()).c_str());
    void* view = shared ? MapViewOfFile(shared, FILE_MAP_WRITE, 0, 0, size) : nullptr;
    if (view) std::memcpy(view, names.data(), size);
    LRESULT ignored = 0;
    const bool sent = view && sendBounded(window_, dropRequestMessage(), size,
                                          static_cast<LPARAM>(GetCurrentProcessId()), ignored);
    if (view) UnmapViewOfFile(view);
    if (shared) CloseHandle(shared);
    if (!sent) ADD_FAILURE() << "the program did not take the drop";
    return sent;
}

// Asks the system which window has the focus in the program's thread.
HWND DornavelApp::focus() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(threadId_, &info)) return nullptr;
    return info.hwndFocus;
}

// Waits until the focus is on the control id.
bool DornavelApp::waitForFocus(int id) {
    HWND control = GetDlgItem(window_, id);
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    while (focus() != control && GetTickCount64() < deadline) Sleep(kPollMs);
    if (focus() != control) {
        HWND actual = focus();
        ADD_FAILURE() << "the focus is on " << (actual ? GetDlgCtrlID(actual) : 0) << " (\""
                      << (actual ? windowText(actual) : std::string()) << "\"), not on " << id;
        return false;
    }
    return true;
}

// Makes the main window the foreground window and waits until it is.
bool DornavelApp::bringToFront() {
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    while (GetForegroundWindow() != window_ && GetTickCount64() < deadline) {
        SetForegroundWindow(window_);
        Sleep(kPollMs);
    }
    if (GetForegroundWindow() != window_) {
        ADD_FAILURE() << "the main window does not come to the front";
        return false;
    }
    return true;
}

// Sends the key's press and release, wrapped in Shift when asked, as keyboard input.
void DornavelApp::type(WORD key, bool shifted) {
    std::vector<INPUT> inputs;
    auto add = [&inputs](WORD code, DWORD flags) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = code;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(code, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    if (shifted) add(VK_SHIFT, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    if (shifted) add(VK_SHIFT, KEYEVENTF_KEYUP);
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    EXPECT_EQ(sent, inputs.size()) << "the keys were not all sent";
}

// Reads the main window's caption.
std::string DornavelApp::caption() const {
    return windowText(window_);
}

// Waits until the caption reads text.
bool DornavelApp::waitForCaption(const std::string& text) {
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    while (caption() != text && GetTickCount64() < deadline) Sleep(kPollMs);
    if (caption() == text) return true;
    ADD_FAILURE() << "the caption is \"" << caption() << "\", not \"" << text << "\"";
    return false;
}

// Reads the text of a control of the main window.
std::string DornavelApp::controlText(int id) const {
    return windowText(GetDlgItem(window_, id));
}

// Tells whether a control of the main window is enabled.
bool DornavelApp::isEnabled(int id) const {
    return IsWindowEnabled(GetDlgItem(window_, id)) != FALSE;
}

// Tells whether a radio button of the main window is checked.
bool DornavelApp::isChecked(int id) const {
    LRESULT state = BST_UNCHECKED;
    sendBounded(GetDlgItem(window_, id), BM_GETCHECK, 0, 0, state);
    return state == BST_CHECKED;
}

// Sums up the check marks of the three radio buttons.
int DornavelApp::checkedRadio() const {
    int checked = 0;
    for (int id : {IDC_TO_LITTLE, IDC_TO_V64, IDC_TO_BIG}) {
        if (!isChecked(id)) continue;
        checked = checked == 0 ? id : -1;
    }
    return checked;
}

// Reads the progress bar's position.
int DornavelApp::progressPosition() const {
    LRESULT position = -1;
    sendBounded(GetDlgItem(window_, IDC_PROGRESS), PBM_GETPOS, 0, 0, position);
    return static_cast<int>(position);
}

// Posts a click to a button: the program handles it when it next reads its queue.
void DornavelApp::click(int id) {
    HWND button = GetDlgItem(window_, id);
    EXPECT_NE(button, nullptr) << "no control " << id << " in the main window";
    PostMessageA(button, BM_CLICK, 0, 0);
}

// Clicks a button with a sent message, which returns once the program has handled it.
bool DornavelApp::clickAndSettle(int id) {
    HWND button = GetDlgItem(window_, id);
    if (!button) {
        ADD_FAILURE() << "no control " << id << " in the main window";
        return false;
    }
    LRESULT ignored = 0;
    if (!sendBounded(button, BM_CLICK, 0, 0, ignored)) {
        ADD_FAILURE() << "the program did not finish handling a click on " << id
                      << (hasOwnedDialog() ? " (it opened a dialog)" : "");
        return false;
    }
    return settle();
}

// Waits until the program's thread answers at its message loop and shows no dialog.
bool DornavelApp::settle() {
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    LRESULT ignored = 0;
    if (!sendBounded(window_, WM_NULL, 0, 0, ignored)) {
        ADD_FAILURE() << "the program does not answer";
        return false;
    }
    std::vector<HWND> open = ownedDialogs(processId_, window_, false);
    // A dialog being taken down may linger a moment after its loop has ended.
    while (!open.empty() && GetTickCount64() < deadline) {
        Sleep(kPollMs);
        sendBounded(window_, WM_NULL, 0, 0, ignored);
        open = ownedDialogs(processId_, window_, false);
    }
    if (!open.empty()) {
        ADD_FAILURE() << "a dialog is still open: " << describe(open.front());
        return false;
    }
    return true;
}

// Loads a ROM through the open-file dialog.
bool DornavelApp::load(const std::string& path) {
    click(IDC_LOAD);
    HWND dialog = waitForOpenDialog();
    if (!dialog) return false;
    if (!typeFileName(dialog, path)) return false;
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    if (!waitUntilClosed(dialog)) return false;
    return settle();
}

// Opens the open-file dialog and cancels it.
bool DornavelApp::cancelLoad() {
    click(IDC_LOAD);
    HWND dialog = waitForOpenDialog();
    if (!dialog) return false;
    PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    if (!waitUntilClosed(dialog)) return false;
    return settle();
}

// Waits for a visible dialog owned by the main window that has a file-name field.
HWND DornavelApp::waitForOpenDialog() {
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    while (GetTickCount64() < deadline) {
        for (HWND dialog : ownedDialogs(processId_, window_, true)) {
            if (!fileNameField(dialog)) continue;
            LRESULT ignored = 0;
            sendBounded(dialog, WM_NULL, 0, 0, ignored); // its set-up is done once it answers
            return dialog;
        }
        Sleep(kPollMs);
    }
    std::vector<HWND> open = ownedDialogs(processId_, window_, true);
    ADD_FAILURE() << "the open-file dialog did not appear"
                  << (open.empty() ? "" : "; instead: " + describe(open.front()));
    return nullptr;
}

// Puts path into the file-name field of an open-file dialog and checks it arrived whole.
bool DornavelApp::typeFileName(HWND dialog, const std::string& path) {
    HWND edit = findEdit(fileNameField(dialog));
    if (!edit) {
        ADD_FAILURE() << "the open-file dialog has no file-name field";
        return false;
    }
    LRESULT ignored = 0;
    sendBounded(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), ignored);
    const std::string typed = windowText(edit);
    if (typed != path) {
        ADD_FAILURE() << "the file-name field holds \"" << typed << "\" instead of \"" << path << "\"";
        return false;
    }
    return true;
}

// Reads the file-name field of an open-file dialog.
std::string DornavelApp::fileNameText(HWND dialog) const {
    HWND edit = findEdit(fileNameField(dialog));
    return edit ? windowText(edit) : std::string("<no file-name field>");
}

// Waits for a visible dialog owned by the main window with the given caption.
bool DornavelApp::waitForDialog(const std::string& caption, OwnedDialog& dialog) {
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    while (GetTickCount64() < deadline) {
        for (HWND window : ownedDialogs(processId_, window_, true)) {
            if (windowText(window) != caption) continue;
            LRESULT ignored = 0;
            sendBounded(window, WM_NULL, 0, 0, ignored);
            dialog.window = window;
            dialog.caption = caption;
            HWND message = GetDlgItem(window, kMessageBoxText);
            dialog.text = message ? windowText(message) : std::string();
            LRESULT icon = 0;
            HWND iconControl = GetDlgItem(window, kMessageBoxIcon);
            dialog.hasIcon = iconControl && sendBounded(iconControl, STM_GETICON, 0, 0, icon) && icon != 0;
            return true;
        }
        Sleep(kPollMs);
    }
    std::vector<HWND> open = ownedDialogs(processId_, window_, true);
    ADD_FAILURE() << "no dialog \"" << caption << "\" appeared"
                  << (open.empty() ? "" : "; instead: " + describe(open.front()));
    return false;
}

// Waits for a message box of the program.
bool DornavelApp::waitForMessageBox(OwnedDialog& box) {
    return waitForDialog("Quorrim", box);
}

// Presses a button of a message box and waits until the box is gone.
bool DornavelApp::answer(const OwnedDialog& box, int button) {
    HWND control = GetDlgItem(box.window, button);
    if (!control) {
        ADD_FAILURE() << "the message box " << describe(box.window) << " has no button " << button;
        return false;
    }
    PostMessageA(control, BM_CLICK, 0, 0);
    return waitUntilClosed(box.window);
}

// Waits for the message box with exactly this text, a question without icon, and answers it.
bool DornavelApp::answerQuestion(const std::string& text, int button) {
    OwnedDialog box;
    if (!waitForMessageBox(box)) return false;
    if (box.text != text) {
        ADD_FAILURE() << "expected the question \"" << text << "\", got \"" << box.text << "\"";
        return false;
    }
    EXPECT_FALSE(box.hasIcon) << "the question \"" << text << "\" shows an icon";
    EXPECT_NE(GetDlgItem(box.window, IDNO), nullptr) << "the question has no No button";
    return answer(box, button);
}

// Tells whether any dialog owned by the main window exists now.
bool DornavelApp::hasOwnedDialog() const {
    return !ownedDialogs(processId_, window_, false).empty();
}

// Waits until a window no longer exists.
bool DornavelApp::waitUntilClosed(HWND dialog) {
    const ULONGLONG deadline = GetTickCount64() + kWaitMs;
    while (IsWindow(dialog) && GetTickCount64() < deadline) Sleep(kPollMs);
    if (IsWindow(dialog)) {
        ADD_FAILURE() << "the dialog " << describe(dialog) << " did not close";
        std::vector<HWND> open = ownedDialogs(processId_, dialog, true);
        if (!open.empty()) ADD_FAILURE() << "it shows " << describe(open.front());
        return false;
    }
    return true;
}

// Waits for the process to end and gives its exit code.
bool DornavelApp::waitForExit(DWORD& exitCode) {
    if (WaitForSingleObject(process_, kWaitMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the program did not end";
        return false;
    }
    return GetExitCodeProcess(process_, &exitCode) != FALSE;
}

// Tells whether the process still runs.
bool DornavelApp::isRunning() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}
