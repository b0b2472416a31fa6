#include <windows.h>
#include <commctrl.h>

#include "core/conversion.h"
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

// Ends a swap that wrote nothing to the ROM: closes it and releases its image. The close
// cannot lose data, so its result is not worth telling.
void abandonSwap(RomStream& rom, RomImage& image) {
    FileError ignored;
    closeRom(rom, ignored);
    releaseImage(image);
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

// After the ROM may already have been changed: tells the user (and where the backup is),
// closes the ROM, gives the buttons back and shows the order the file now really has.
void recoverFromWriteFailure(HWND window, RomStream& rom, const FileError& error, bool backedUp) {
    std::string text = fileErrorText(error) + "\n\nLa ROM potrebbe essere rovinata.";
    if (backedUp)
        text += " Il backup con la ROM di prima lo trovi qui:\n" + backupPath(rom.path);
    else
        text += " Non hai fatto il backup, mi spiace.";
    showError(window, text);
    FileError ignored; // already in trouble: the first failure is the one worth telling
    closeRom(rom, ignored);
    enableFrameButtons(window, TRUE);
    showDetectedOrder(window);
    setProgress(window, 0);
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

} // namespace

// "Esegui Swap": rewrites the loaded ROM in the order of the checked radio button, with an
// optional backup first and the optional extension correction last.
void swapRom(HWND window) {
    const ByteOrder target = checkedTarget(window);
    if (target == ByteOrder::None) {
        showError(window, "Prima scegli in che ordine vuoi i byte, poi premi Esegui Swap.");
        return;
    }

    RomStream rom;
    RomImage image;
    FileError error;
    if (!openAndRead(gLoadedRom.path, rom, image, error)) {
        showError(window, fileErrorText(error));
        return;
    }

    bool backedUp = false;
    if (askYesNo(window, "Creo un file di backup della ROM?  ")) {
        if (!writeBackup(gLoadedRom.path, image, error)) {
            showError(window, fileErrorText(error) + "\n\nLa ROM non l'ho toccata.");
            abandonSwap(rom, image);
            return;
        }
        backedUp = true;
    }

    enableFrameButtons(window, FALSE);
    SendDlgItemMessageA(window, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressEnd));

    if (target == gLoadedRom.order) {
        abandonSwap(rom, image);
        enableFrameButtons(window, TRUE);
        return;
    }

    const std::size_t size = static_cast<std::size_t>(image.size);
    convertToBig(image.bytes, size, gLoadedRom.order);
    convertFromBig(image.bytes, size, target);
    if (!writeBack(rom, image, error)) {
        recoverFromWriteFailure(window, rom, error, backedUp);
        return;
    }

    for (int position = 0; position <= kProgressEnd; ++position) setProgress(window, position);

    if (!closeRom(rom, error)) {
        recoverFromWriteFailure(window, rom, error, backedUp);
        return;
    }

    showOrder(window, target);
    enableFrameButtons(window, TRUE);
    offerCorrection(window, target);
    setProgress(window, 0);
}
