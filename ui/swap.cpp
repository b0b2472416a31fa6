#include <windows.h>
#include <commctrl.h>

#include "core/extension.h"
#include "core/rom_kind.h"
#include "core/rom_update.h"
#include "resources/resource.h"
#include "ui/app.h"

namespace {

// The last position of the progress bar.
const int kProgressEnd = 1000;

// The target order chosen with the radio buttons (the first one checked), or None.
ByteOrder checkedTarget(HWND window) {
    if (SendDlgItemMessageA(window, IDC_TO_LITTLE, BM_GETCHECK, 0, 0) == BST_CHECKED)
        return ByteOrder::LittleEndian;
    if (SendDlgItemMessageA(window, IDC_TO_V64, BM_GETCHECK, 0, 0) == BST_CHECKED)
        return ByteOrder::DoctorV64;
    if (SendDlgItemMessageA(window, IDC_TO_BIG, BM_GETCHECK, 0, 0) == BST_CHECKED)
        return ByteOrder::BigEndian;
    return ByteOrder::None;
}

// Enables or disables "Chiudi ROM", "Esci" and "About", in that order.
void enableFrameButtons(HWND window, BOOL enable) {
    EnableWindow(GetDlgItem(window, IDC_CLOSE), enable);
    EnableWindow(GetDlgItem(window, IDC_EXIT), enable);
    EnableWindow(GetDlgItem(window, IDC_ABOUT), enable);
}

// Moves the progress bar to position.
void setProgress(HWND window, int position) {
    SendDlgItemMessageA(window, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

// Shows how far the write has got and lets the window repaint. Only painting (and messages
// sent by other programs) is handled here: clicks and keys wait, and are dropped when the
// write is over, so no command runs in the middle of a swap.
void showWriteProgress(HWND window, std::int64_t written, std::int64_t total) {
    setProgress(window, total > 0 ? static_cast<int>(written * kProgressEnd / total) : kProgressEnd);
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&message);
}

// Drops the clicks and keys given while the window could not answer them.
void dropQueuedInput() {
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {}
    while (PeekMessageA(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {}
}

// The Italian words for what a failed write left in the ROM, and where its old bytes are.
std::string romStateText(const FileError& error, const RomUpdate& update) {
    switch (error.rom) {
    case RomState::Unchanged: return "\n\nLa ROM non l'ho toccata.";
    case RomState::Restored: return "\n\nLa ROM l'ho rimessa com'era prima.";
    case RomState::Mixed: break;
    }
    std::string text = "\n\nNon sono riuscito nemmeno a rimetterla com'era (" + error.restoreReason +
                       "): i primi " + std::to_string(error.mixedBytes) +
                       " byte potrebbero essere nel nuovo ordine, il resto è ancora nel vecchio. Accanto alla ROM"
                       " ho lasciato il file di recupero: la prossima volta che la apri finisco io la conversione.";
    if (update.backedUp())
        return text + " Il backup con la ROM di prima lo trovi qui:\n" + update.backupName();
    return text + " Non hai fatto il backup, mi spiace.";
}

// After a failed write or close: tells the user what the ROM now holds, gives the buttons
// back and shows the order the file really has.
void recoverFromWriteFailure(HWND window, RomUpdate& update, const FileError& error) {
    const bool written = error.step == FileStep::WriteBack || error.step == FileStep::Record;
    const std::string state = written ? romStateText(error, update) : std::string();
    FileError ignored; // already in trouble: the first failure is the one worth telling
    update.close(ignored);
    showError(window, fileErrorText(error) + state);
    enableFrameButtons(window, TRUE);
    showDetectedOrder(window);
    setProgress(window, 0);
}

// The order to convert the ROM read from: the one on display. A file that changed on disk
// since it was loaded is shown anew and not converted; for a file of no known order the user
// may choose to take it as big-endian. None: convert nothing.
ByteOrder sourceOrder(HWND window, const RomUpdate& update) {
    if (update.order() != gLoadedRom.order) {
        showOrder(window, update.order());
        showError(window, "La ROM è cambiata da quando l'hai caricata:\n" + gLoadedRom.path +
                              "\n\nTi ho mostrato com'è adesso. Non ho convertito niente.");
        return ByteOrder::None;
    }
    if (update.order() != ByteOrder::None) return update.order();
    const char* question = "Non riconosco l'ordine dei byte di questa ROM. La tratto come Big Endian?";
    return askYesNo(window, question, false) ? ByteOrder::BigEndian : ByteOrder::None;
}

// Offers the final correction and renames the ROM for its new order on Yes. The caption
// always shows the name the file really has.
void offerCorrection(HWND window, ByteOrder target) {
    if (!askYesNo(window, "Swap Completo! Correzione finale della ROM? ")) return;
    const ExtensionResult result = correctExtension(gLoadedRom.path, gLoadedRom.title, target);
    if (result.renamed) {
        followRename(window, result.path, result.title);
        return;
    }
    showCaption(window, gLoadedRom.title);
    showError(window, "Non riesco a dare alla ROM il nome giusto:\n" + gLoadedRom.path +
                          "\ndoveva diventare:\n" + correctedName(gLoadedRom.path, target) +
                          "\n\nMotivo: " + result.reason + "\n\nLa ROM resta col suo nome.");
}

// Opens the loaded ROM for the swap, tells of an interrupted update the open finished, and
// refuses a file that is not a ROM before any question; false (the user told why) when the
// swap cannot go on.
bool openForSwap(HWND window, RomUpdate& update) {
    FileError error;
    if (!update.open(gLoadedRom.path, error)) return showError(window, fileErrorText(error)), false;
    if (update.interrupted().found()) showNotice(window, finishedUpdateText(update.interrupted().contents, gLoadedRom.path));
    return refuseNonRom(update, error) || (showError(window, fileErrorText(error)), false);
}

} // namespace

// "Esegui Swap": rewrites the loaded ROM in the order of the checked radio button, with an
// optional backup first and the optional extension correction last.
void swapRom(HWND window) {
    const ByteOrder target = checkedTarget(window);
    if (target == ByteOrder::None) {
        showError(window, "Prima scegli in che ordine vuoi i byte, poi premi Esegui Swap.");
        return;
    }
    RomUpdate update;
    FileError error;
    if (!openForSwap(window, update)) return;
    const ByteOrder source = sourceOrder(window, update);
    if (source == ByteOrder::None) return;
    if (askYesNo(window, "Creo un file di backup della ROM?  ") && !update.backUp(error)) {
        showError(window, fileErrorText(error) + "\n\nLa ROM non l'ho toccata.");
        return;
    }

    enableFrameButtons(window, FALSE);
    SendDlgItemMessageA(window, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressEnd));
    if (target == source) {
        update.close(error); // only read: its close can lose nothing
        enableFrameButtons(window, TRUE);
        return;
    }
    const bool written = update.convert(source, target, error, [window](std::int64_t done, std::int64_t total) {
        showWriteProgress(window, done, total);
    });
    dropQueuedInput();
    if (!written || !update.close(error)) {
        recoverFromWriteFailure(window, update, error);
        return;
    }
    setProgress(window, kProgressEnd);
    showOrder(window, target);
    enableFrameButtons(window, TRUE);
    offerCorrection(window, target);
    setProgress(window, 0);
}
