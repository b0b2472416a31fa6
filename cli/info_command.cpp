#include "cli/info_command.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/archive_entries.h"
#include "cli/catalog_search.h"
#include "cli/chip_option.h"
#include "cli/dat_option.h"
#include "cli/info_report.h"
#include "cli/json_output.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/summary.h"
#include "identity/catalog.h"

namespace {

// Loads the catalogue info consults. Returns its path, or empty when there is none or it
// cannot be read; the latter is warned about, since the user may expect names.
std::string loadCatalog(const std::string& given, Catalog& catalog) {
    const std::string path = findCatalog(given);
    if (path.empty()) return path;
    std::string reason;
    if (catalog.load(path, reason)) return path;
    reportWarning(path, "cannot read the catalogue", reason);
    return std::string();
}

// Prints one file's block, with a blank line before every block but the first.
void printBlock(const std::string& block, bool& first) {
    reportBlock(first ? block : "\n" + block);
    first = false;
}

// How one file ended, in the order of the summary.
enum Outcome : std::size_t { Identified, NotRom, Failed };

// What info goes through: the DAT and the catalogue, what to read of each file.
struct Identifying {
    const Dat& dat;
    const DatAnswer& datAnswer;
    const Catalog& catalog;
    const std::string& catalogPath;
    const IdentifyOptions& identifyOptions;
    bool first = true; // no block printed yet
};

// Tells what a ROM that was read is, as a block or as its object.
Outcome tellIdentity(const std::string& file, const RomIdentity& identity, Identifying& identifying) {
    CatalogAnswer answer{identifying.catalogPath, CatalogResult()};
    if (!answer.path.empty())
        answer.result = identifying.catalog.find(hexUpper(identity.digests.bigEndian().md5, 16),
                                                 identity.header.crc1, identity.header.crc2);
    DatAnswer found = identifying.datAnswer;
    if (!found.path.empty()) found.match = identifying.dat.find(identity.digests, identity.order, identity.size);
    if (jsonOutput())
        addFileObject(file, "identified", infoJson(identity, answer, found));
    else
        printBlock(infoText(file, identity, answer, found), identifying.first);
    return Identified;
}

// Identifies one file, or each ROM inside an archive, and tells it.
Outcomes identifyFile(const std::string& file, bool named, Identifying& identifying) {
    return identifyEachRom(file, named, identifying.identifyOptions, {NotRom, Failed},
                           [&](const std::string& name, const RomIdentity& identity) -> std::size_t {
                               return tellIdentity(name, identity, identifying);
                           });
}

} // namespace

int runInfo(const InfoOptions& options) {
    Dat dat;
    const DatAnswer datAnswer{findDat(options.dat), &dat, DatMatch()};
    if (!datAnswer.path.empty() && !loadDat(datAnswer.path, dat)) return kExitFailure;
    const FileList list = listFiles(options.files);
    Catalog catalog;
    const std::string catalogPath = loadCatalog(options.catalog, catalog);
    IdentifyOptions identifyOptions;
    identifyOptions.forcedChip = options.chip;
    askForDatDigests(dat, identifyOptions);
    Identifying identifying{dat, datAnswer, catalog, catalogPath, identifyOptions};
    Summary summary({"identified", "not ROMs", "failed"});
    summary.separateFromBlocks();
    return goThroughFiles(list, summary, NotRom, Failed, {NotRom, Failed},
                          [&](const std::string& file) { return identifyFile(file, list.named(file), identifying); },
                          [](std::size_t) { return "only read"; });
}

Command addInfoCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "info",
                                        "tell what each FILE is: order, size, header, boot chip,\n"
                                        "whether its check code holds, the CRC32, MD5 and SHA-1 of\n"
                                        "its big-endian image, and its name in the catalogue");
    auto options = std::make_shared<InfoOptions>();
    addOutputOptions(*parser);
    addProgressOptions(*parser);
    parser->add_option("--catalog", options->catalog,
                       "the mupen64plus.ini to name ROMs from; without it,\n"
                       "DORNAVEL_CATALOG, then the usual places")
        ->type_name("FILE");
    addDatOption(*parser, options->dat);
    addChipOption(*parser, options->chip);
    addFileArguments(*parser, options->files, true);
    parser->footer("The catalogue is looked for in $DORNAVEL_CATALOG, then in\n"
                   "/usr/share/games/mupen64plus/mupen64plus.ini (Debian's mupen64plus-data),\n"
                   "/usr/share/mupen64plus/ and /usr/local/share/mupen64plus/; on Windows,\n"
                   "mupen64plus.ini beside the program. None found: no names, no failure.\n"
                   "With a DAT (--dat, else $DORNAVEL_DAT) the block ends with the DAT's entry for\n"
                   "the FILE and the digest it was found by; a DAT that cannot be read fails the\n"
                   "call.\n");
    return {parser, [options] { return runInfo(*options); }};
}
