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

// Asks a Yes/No question; true when the user answers Yes. Yes is the default button unless
// yesByDefault is false (for a question whose Yes could do harm).
bool askYesNo(HWND owner, const char* question, bool yesByDefault) {
    const UINT style = MB_YESNO | (yesByDefault ? MB_DEFBUTTON1 : MB_DEFBUTTON2);
    return MessageBoxA(owner, question, kMessageCaption, style) == IDYES;
}

namespace {

// What a file that is not a ROM is, in Italian: "un archivio 7z".
std::string kindText(FileKind kind) {
    switch (kind) {
    case FileKind::ZipArchive: return "un archivio zip";
    case FileKind::SevenZipArchive: return "un archivio 7z";
    case FileKind::GzipFile: return "un file compresso con gzip";
    case FileKind::XzFile: return "un file compresso con xz";
    case FileKind::RarArchive: return "un archivio rar";
    case FileKind::PngImage: return "un'immagine PNG";
    case FileKind::ElfProgram: return "un programma ELF";
    case FileKind::WindowsProgram: return "un programma per Windows";
    case FileKind::PdfDocument: return "un documento PDF";
    case FileKind::Unrecognised: break;
    }
    return "un file di altro tipo";
}

} // namespace

// The Italian words for a file that is not a ROM, and what it is instead.
std::string notARomMessage(const std::string& path, FileKind kind) {
    return "Questo file non è una ROM, è " + kindText(kind) + ":\n" + path;
}

// The Italian text for a failed step of a file update, with the file and the system's reason.
std::string fileErrorText(const FileError& error) {
    if (error.step == FileStep::NotRom) return notARomMessage(error.path, error.kind) + "\n\nNon l'ho toccato.";
    const char* what = "Qualcosa non ha funzionato con la ROM:";
    switch (error.step) {
    case FileStep::Open: what = "Non riesco ad aprire la ROM per modificarla:"; break;
    case FileStep::NotRom: break;
    case FileStep::Busy: what = "Questa ROM la sta usando un altro programma, e finché non ha finito non la tocco:"; break;
    case FileStep::Links: what = "Questa ROM ha più di un nome (collegamenti fisici), e così non la modifico:"; break;
    case FileStep::Recovery: what = "Non riesco a portare a termine la conversione interrotta di questa ROM:"; break;
    case FileStep::Record: what = "Non riesco a scrivere il file di recupero accanto alla ROM:"; break;
    case FileStep::Size: what = "Non riesco a capire quanto pesa la ROM:"; break;
    case FileStep::TooLarge: what = "Questa ROM pesa troppo per me:"; break;
    case FileStep::Allocate: what = "Non ho abbastanza memoria per caricare la ROM:"; break;
    case FileStep::Read: what = "Non riesco a leggere tutta la ROM:"; break;
    case FileStep::Backup: what = "Non riesco a scrivere il file di backup:"; break;
    case FileStep::WriteBack: what = "Non riesco a riscrivere la ROM:"; break;
    case FileStep::Close: what = "Non riesco a chiudere per bene la ROM:"; break;
    case FileStep::Changed: what = "Un altro programma ha cambiato la ROM mentre la convertivo:"; break;
    case FileStep::NewFile: what = "Non riesco a scrivere il nuovo file:"; break;
    case FileStep::Rename: what = "Non riesco a dare alla ROM questo nome:"; break;
    case FileStep::None: break;
    }
    return std::string(what) + "\n" + error.path + "\n\nMotivo: " + error.reason;
}


// The Italian words for an update that was stopped halfway and then brought to its end.
std::string finishedUpdateText(const RecordContents& contents, const std::string& path) {
    std::string text = "Questa ROM era rimasta a metà: qualcosa aveva interrotto ";
    if (contents.conversion)
        text += std::string("la conversione da ") + orderLabel(contents.from) + " a " + orderLabel(contents.to);
    else
        text += "la modifica di " + std::to_string(contents.newBytes.size()) + " byte";
    return text + " prima della fine.\n" + path + "\n\nL'ho portata a termine: adesso la ROM è tutta intera.";
}
