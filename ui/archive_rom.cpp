// A ROM inside an archive (zip, 7z, gzip) loaded in the window: shown as ARCHIVE - ENTRY,
// and "Esegui Swap" writes the archive anew with the ROM in the new order, as the companion
// does (actions/convert_archive.h).
#include <windows.h>

#include "actions/archived_input.h"
#include "actions/convert_archive.h"
#include "archive/archive.h"
#include "ui/app.h"

// When the loaded file is an archive holding a ROM, shows its first ROM: the caption names
// the archive and the entry, the order is the entry's; several ROMs are told. False for any
// other file, which is shown as every file is.
bool showArchivedRom(HWND window) {
    gLoadedRom.entry.clear();
    if (!isArchiveFile(gLoadedRom.path)) return false;
    const std::vector<std::pair<std::string, ByteOrder>> roms = romEntriesOf(gLoadedRom.path);
    if (roms.empty()) return false;
    gLoadedRom.entry = roms[0].first;
    showCaption(window, gLoadedRom.title + " - " + gLoadedRom.entry);
    showOrder(window, roms[0].second);
    if (roms.size() > 1)
        showNotice(window, "Nell'archivio ci sono " + std::to_string(roms.size()) + " ROM: ho caricato la prima, " +
                               gLoadedRom.entry + ".");
    return true;
}

// "Esegui Swap" on a ROM inside an archive. Both questions come before the writing, as the
// ROM's new name goes into the new archive; the old archive is replaced only once the new
// one is whole.
void swapArchivedRom(HWND window, ByteOrder target) {
    if (target == gLoadedRom.order) return; // already in that order: nothing to write
    ArchiveConvertRequest request;
    request.path = gLoadedRom.path;
    request.entry = gLoadedRom.entry;
    request.target = target;
    request.backup = askYesNo(window, "Creo un file di backup dell'archivio?  ");
    request.rename = askYesNo(window, "Correzione finale del nome della ROM nell'archivio? ");
    const ArchiveConvertReport report = convertArchive(request);
    if (report.outcome != ArchiveConvertOutcome::Converted) {
        showError(window, "Non riesco a scrivere il nuovo archivio:\n" + gLoadedRom.path + "\n\nMotivo: " +
                              report.error.reason + "\n\nL'archivio non l'ho toccato.");
        return;
    }
    for (const ArchiveRomEntry& rom : report.roms)
        if (!rom.renamedTo.empty()) gLoadedRom.entry = rom.renamedTo;
    showCaption(window, gLoadedRom.title + " - " + gLoadedRom.entry);
    showOrder(window, target);
}
