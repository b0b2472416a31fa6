#include "ui/app.h"

// Name under which every message box of the program appears.
const char* const kMessageCaption = "Quorrim";

// Shows a failure to the user: an error box owned by owner (null when there is no window).
void showError(HWND owner, const std::string& text) {
    MessageBoxA(owner, text.c_str(), kMessageCaption, MB_ICONERROR | MB_OK);
}

// Tells the user something worth knowing that is not a failure: an information box.
void showNotice(HWND owner, const std::string& text) {
    MessageBoxA(owner, text.c_str(), kMessageCaption, MB_ICONINFORMATION | MB_OK);
}

// Asks a Yes/No question; true when the user answers Yes.
bool askYesNo(HWND owner, const char* question) {
    return MessageBoxA(owner, question, kMessageCaption, MB_YESNO) == IDYES;
}

// The Italian text for a failed step of a file update, with the file and the system's reason.
std::string fileErrorText(const FileError& error) {
    const char* what = "Qualcosa non ha funzionato con la ROM:";
    switch (error.step) {
    case FileStep::Open: what = "Non riesco ad aprire la ROM per modificarla:"; break;
    case FileStep::Size: what = "Non riesco a capire quanto pesa la ROM:"; break;
    case FileStep::TooLarge: what = "Questa ROM pesa troppo per me:"; break;
    case FileStep::Allocate: what = "Non ho abbastanza memoria per caricare la ROM:"; break;
    case FileStep::Read: what = "Non riesco a leggere tutta la ROM:"; break;
    case FileStep::Backup: what = "Non riesco a scrivere il file di backup:"; break;
    case FileStep::WriteBack: what = "Non riesco a riscrivere la ROM:"; break;
    case FileStep::Close: what = "Non riesco a chiudere per bene la ROM:"; break;
    case FileStep::None: break;
    }
    return std::string(what) + "\n" + error.path + "\n\nMotivo: " + error.reason;
}

// The system's text for a Windows error code, without its trailing line break.
std::string windowsReason(DWORD code) {
    char* buffer = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageA(flags, nullptr, code, 0,
                                        reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length ? std::string(buffer, length) : std::string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty()) text = "errore " + std::to_string(code);
    return text;
}
