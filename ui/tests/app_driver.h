// Drives a running Dornavel.exe from another process, the way a person at the desktop
// would: it presses buttons, answers the open-file dialog and the message boxes, and reads
// what the main window shows. Every wait is bounded; a failed wait is reported to
// GoogleTest and the helper returns false (or an empty value) so the test can stop.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A message box or other dialog owned by the main window, as the driver found it.
struct OwnedDialog {
    HWND window = nullptr;
    std::string caption;
    std::string text;     // the message text of a message box
    bool hasIcon = false; // a message box showing an icon (the error boxes do)
};

// One run of Dornavel.exe. The destructor ends the program if it is still running.
class DornavelApp {
public:
    DornavelApp() = default;
    ~DornavelApp();
    DornavelApp(const DornavelApp&) = delete;
    DornavelApp& operator=(const DornavelApp&) = delete;

    // Starts the program and waits until its main window is idle with nothing open.
    bool start() { return launch({}) && settle(); }

    // Starts the program with these files on its command line and waits for its main
    // window; a message box it may show at once is left open.
    bool launch(const std::vector<std::string>& files);

    // Drops files on the main window as Explorer does: a drop handle in the program's global
    // memory, posted as WM_DROPFILES.
    bool drop(const std::vector<std::string>& paths);

    // The control of the main window that has the keyboard focus (null for none).
    HWND focus() const;

    // Waits until the control id of the main window has the focus.
    bool waitForFocus(int id);

    // Brings the main window to the front, so that keys typed reach it.
    bool bringToFront();

    // Types a key (with Shift held when shifted) through the system's input queue, as the
    // keyboard would; the window in front receives it.
    void type(WORD key, bool shifted = false);

    // The main window.
    HWND window() const { return window_; }

    // The main window's caption.
    std::string caption() const;

    // Waits until the main window's caption is text.
    bool waitForCaption(const std::string& text);

    // The text of a control of the main window.
    std::string controlText(int id) const;

    // Whether a control of the main window is enabled.
    bool isEnabled(int id) const;

    // Whether a radio button of the main window is checked.
    bool isChecked(int id) const;

    // The identifiers of the checked radio buttons among 1007 to 1009, as one number: the
    // identifier of the only checked one, 0 for none, -1 for more than one.
    int checkedRadio() const;

    // The position of the progress bar.
    int progressPosition() const;

    // Presses a button of the main window (it may open a modal dialog, so nothing waits).
    void click(int id);

    // Presses a button and waits until the program has handled it and shows no dialog.
    bool clickAndSettle(int id);

    // Waits until the program's thread is back at its message loop with nothing open.
    bool settle();

    // Presses "Carica ROM", types path into the open-file dialog and confirms it; waits
    // until the file is loaded.
    bool load(const std::string& path);

    // Presses "Carica ROM" and cancels the open-file dialog.
    bool cancelLoad();

    // Waits for the open-file dialog and returns it.
    HWND waitForOpenDialog();

    // Types path into the file-name field of an open-file dialog.
    bool typeFileName(HWND dialog, const std::string& path);

    // The text in the file-name field of an open-file dialog.
    std::string fileNameText(HWND dialog) const;

    // Waits for a dialog owned by the main window with this caption.
    bool waitForDialog(const std::string& caption, OwnedDialog& dialog);

    // Waits for a message box of the program (caption "Quorrim").
    bool waitForMessageBox(OwnedDialog& box);

    // Presses a button (IDYES, IDNO, IDOK) of a message box and waits until it is gone.
    bool answer(const OwnedDialog& box, int button);

    // Waits for the message box with exactly this text and answers it.
    bool answerQuestion(const std::string& text, int button);

    // Whether a dialog owned by the main window is open now.
    bool hasOwnedDialog() const;

    // Waits until a dialog window is gone.
    bool waitUntilClosed(HWND dialog);

    // Waits for the process to end and gives its exit code.
    bool waitForExit(DWORD& exitCode);

    // Whether the process is still running.
    bool isRunning() const;

private:
    bool hookForDrops();

    HANDLE process_ = nullptr;
    HANDLE job_ = nullptr;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    HHOOK dropHook_ = nullptr;
    HWND window_ = nullptr;
};

// Sends a message to a window of the program under test, giving up after the driver's
// usual wait; false when it timed out or failed.
bool sendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// A UTF-8 text in UTF-16.
std::wstring widen(const std::string& text);

// The text of any window, read with WM_GETTEXT.
std::string windowText(HWND window);

// The texts the program shows, word for word.
extern const char* const kBackupQuestion;
extern const char* const kFinalQuestion;
