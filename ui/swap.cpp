#include <windows.h>
#include <commctrl.h>

#include "actions/convert_rom.h"
#include "core/extension.h"
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
std::string romStateText(const FileError& error, const std::string& backup) {
    switch (error.rom) {
    case RomState::Unchanged: return "\n\nLa ROM non l'ho toccata.";
    case RomState::Restored: return "\n\nLa ROM l'ho rimessa com'era prima.";
    case RomState::Mixed: break;
    }
    std::string text = "\n\nNon sono riuscito nemmeno a rimetterla com'era (" + error.restoreReason +
                       "): i primi " + std::to_string(error.mixedBytes) +
                       " byte potrebbero essere nel nuovo ordine, il resto è ancora nel vecchio. Accanto alla ROM"
                       " ho lasciato il file di recupero: la prossima volta che la apri finisco io la conversione.";
    if (!backup.empty()) return text + " Il backup con la ROM di prima lo trovi qui:\n" + backup;
    return text + " Non hai fatto il backup, mi spiace.";
}

// After a failed swap: tells the user why and, when a write had begun, what the ROM now
// holds, and shows the order the file really has.
void showSwapFailure(HWND window, const ConvertReport& report) {
    const FileStep step = report.error.step;
    if (step == FileStep::Backup) {
        showError(window, fileErrorText(report.error) + "\n\nLa ROM non l'ho toccata.");
        return;
    }
    const bool written = step == FileStep::WriteBack || step == FileStep::Record;
    showError(window, fileErrorText(report.error) + (written ? romStateText(report.error, report.backup) : ""));
    if (written || step == FileStep::Close || step == FileStep::Changed) showDetectedOrder(window);
}

// After the conversion: the caption and the name the file really has, and a rename that
// could not be made.
void showRename(HWND window, const ConvertReport& report, ByteOrder target) {
    if (!report.renamedTo.empty()) {
        followRename(window, report.renamedTo, correctedName(gLoadedRom.title, target));
        return;
    }
    if (report.outcome != ConvertOutcome::Failed) return;
    showCaption(window, gLoadedRom.title);
    showError(window, "Non riesco a dare alla ROM il nome giusto:\n" + gLoadedRom.path +
                          "\ndoveva diventare:\n" + correctedName(gLoadedRom.path, target) +
                          "\n\nMotivo: " + report.error.reason + "\n\nLa ROM resta col suo nome.");
}

// The questions of the swap, asked in the window at the moment each answer is needed.
ConvertQuestions swapQuestions(HWND window, ByteOrder target) {
    ConvertQuestions questions;
    questions.takeAsBig = [window] {
        return askYesNo(window, "Non riconosco l'ordine dei byte di questa ROM. La tratto come Big Endian?", false);
    };
    questions.backup = [window] {
        const bool backup = askYesNo(window, "Creo un file di backup della ROM?  ");
        enableFrameButtons(window, FALSE); // from here on the ROM is written
        return backup;
    };
    questions.finished = [window](const PendingUpdate& pending) {
        showNotice(window, finishedUpdateText(pending.contents, gLoadedRom.path));
    };
    questions.rename = [window, target] {
        dropQueuedInput();
        setProgress(window, kProgressEnd);
        showOrder(window, target);
        enableFrameButtons(window, TRUE);
        return askYesNo(window, "Swap Completo! Correzione finale della ROM? ");
    };
    questions.progress = [window](std::int64_t done, std::int64_t total) { showWriteProgress(window, done, total); };
    return questions;
}

// Shows how the swap ended: the order the file has now, the errors, the rename.
void showSwapEnd(HWND window, const ConvertReport& report, ByteOrder target) {
    dropQueuedInput();
    enableFrameButtons(window, TRUE);
    if (report.outcome == ConvertOutcome::OrderChanged) {
        showOrder(window, report.source);
        showError(window, "La ROM è cambiata da quando l'hai caricata:\n" + gLoadedRom.path +
                              "\n\nTi ho mostrato com'è adesso. Non ho convertito niente.");
    } else if (report.converted) {
        showRename(window, report, target);
    } else if (report.outcome == ConvertOutcome::NothingToConvert) {
        showOrder(window, target); // shorter than one group: it is in every order
    } else if (report.outcome == ConvertOutcome::NotRom || report.outcome == ConvertOutcome::Failed) {
        showSwapFailure(window, report);
    }
    setProgress(window, 0);
}

} // namespace

// "Esegui Swap": rewrites the loaded ROM in the order of the checked radio button, with an
// optional backup first and the optional extension correction last.
void swapRom(HWND window) {
    ConvertRequest request;
    request.target = checkedTarget(window);
    if (request.target == ByteOrder::None) {
        showError(window, "Prima scegli in che ordine vuoi i byte, poi premi Esegui Swap.");
        return;
    }
    if (!gLoadedRom.entry.empty()) return swapArchivedRom(window, request.target);
    request.path = gLoadedRom.path;
    request.expected = gLoadedRom.order;
    request.expectOrder = true;
    SendDlgItemMessageA(window, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressEnd));
    showSwapEnd(window, convertRom(request, swapQuestions(window, request.target)), request.target);
}
