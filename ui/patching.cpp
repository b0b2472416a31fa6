// A patch given to the window with a ROM, or dropped on it while a ROM is loaded: asked
// about, applied on the road the companion takes into a new file beside the ROM, and the new
// file then shown as loaded.
#include "core/extension.h"
#include "core/path_name.h"
#include "actions/apply_patch.h"
#include "actions/archived_input.h"
#include "core/text.h"
#include "ui/app.h"

namespace {

// The new file's name: the patch's, with the ROM's extension (or, for a ROM without one, the
// extension of its order), beside the ROM.
std::string newFileFor(const std::string& patch) {
    const std::string& rom = gLoadedRom.path;
    const std::size_t dot = rom.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && dot >= nameStart(rom);
    const std::string extension = hasExtension ? rom.substr(dot) : std::string(orderExtension(gLoadedRom.order, ExtensionSet::Common));
    return patchedPathBeside(rom, patch, extension);
}

// Why the patch was refused, in the user's words.
std::string refusalText(const PatchError& error) {
    switch (error.refusal) {
    case PatchRefusal::NotAPatch: return "Questo file non è una patch che conosco (BPS, UPS, IPS, xdelta o APS).";
    case PatchRefusal::OtherRom:
        if (!error.crcKnown) return "Questa patch è per un'altra ROM: i suoi controlli non tornano in nessun ordine dei byte.";
        return "Questa patch è per un'altra ROM: vuole il CRC-32 " + hex32(error.wantedCrc) +
               ", la tua ROM in Big Endian ha " + hex32(error.romCrc) + ".";
    case PatchRefusal::AlreadyApplied: return "Questa ROM la patch ce l'ha già.";
    case PatchRefusal::TooLarge: return "Con questa patch la ROM verrebbe troppo grande per me (2 GiB o più).";
    case PatchRefusal::Unsupported:
        return "La patch è in una forma che non so leggere: un xdelta compresso con lzma (qui su Windows non lo "
               "leggo; chi l'ha fatta può rifarla con xdelta3 -e -S none), o un APS per Game Boy Advance.";
    case PatchRefusal::NoMemory: return "Non ho abbastanza memoria per applicare la patch.";
    default: break;
    }
    return "La patch è rovinata o incompleta: scaricala di nuovo.";
}

// The message for a patch that was not applied: the patch, the reason, nothing written.
std::string failureText(const PatchRequest& job, const PatchReport& report) {
    const std::string head = "Non ho applicato la patch:\n" + job.patch + "\n\n";
    const std::string nothing = "\n\nNon ho scritto niente.";
    switch (report.failed) {
    case PatchStep::OutputTaken: return head + "Esiste già un file col nome che le darei:\n" + job.output + nothing;
    case PatchStep::Interrupted:
        if (report.pending.state != RecordState::Interrupted)
            return head + "Accanto alla ROM c'è un file di recupero che non posso usare:\n" +
                   report.pending.recordPath + "\n\nMotivo: " + report.pending.problem + nothing;
        return head + "La ROM ha una conversione rimasta a metà:\n" + job.rom +
               "\n\nPrima finiscila con Esegui Swap, poi riprova." + nothing;
    case PatchStep::ReadRom: return head + "Non riesco a leggere la ROM:\n" + job.rom + "\n\nMotivo: " + report.error.reason + nothing;
    case PatchStep::NotRom: return head + notARomMessage(job.rom, report.romKind) + nothing;
    case PatchStep::RomOrder: return head + "Non riconosco l'ordine dei byte della ROM:\n" + job.rom + nothing;
    case PatchStep::ReadPatch: return head + "Non riesco a leggerla.\n\nMotivo: " + report.error.reason + nothing;
    case PatchStep::Apply: return head + refusalText(report.patchError) + nothing;
    case PatchStep::Write: return head + fileErrorText(report.error) + "\n\nNon è rimasto nessun file a metà.";
    case PatchStep::None: break;
    }
    return head + nothing;
}

// Shows the new file as the loaded ROM, as if it had been chosen with "Carica ROM"; warns
// when a patch with no check of its own gave a ROM whose check codes do not hold.
void showPatchedRom(HWND window, const PatchRequest& job, const PatchReport& report) {
    unloadRom(window);
    rememberForDialog(job.output);
    if (!loadRomFile(window, job.output, nameOf(job.output))) return;
    if (report.basis != OrderBasis::Checked && report.result.check.verdict == CheckVerdict::Mismatch)
        showNotice(window, "Fatto, ma i codici di controllo della ROM nuova non tornano:\n" + job.output +
                               "\n\nForse la patch era per un altro ordine dei byte o per un'altra ROM.");
}

} // namespace

// Asks whether to apply the patch at path to the loaded ROM, naming the new file; on Yes
// writes it and loads it. No writes nothing.
void offerPatch(HWND window, const std::string& path) {
    PatchRequest job;
    job.rom = gLoadedRom.path;
    job.patch = path;
    job.output = newFileFor(path);
    job.outputOrder = gLoadedRom.order;
    const std::string question = "Applico la patch\n" + job.patch + "\nalla ROM?\n\nLa ROM resta com'è: il risultato " +
                                 "lo scrivo in un file nuovo,\n" + job.output;
    if (!askYesNo(window, question.c_str())) return;
    PatchReport report;
    if (!patchRomFile(job, report)) {
        showError(window, failureText(job, report));
        return;
    }
    showPatchedRom(window, job, report);
}

// Whether the file at path starts as a patch of a known format does, or is an archive holding
// one patch (a hack as it is downloaded).
bool isPatchFile(const std::string& path) {
    return recognisePatchFile(path) != PatchFormat::None || holdsPatch(path);
}
