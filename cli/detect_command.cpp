#include "cli/detect_command.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/archive_entries.h"
#include "cli/file_list.h"
#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/summary.h"
#include "core/byte_order.h"

namespace {

// How one file ended, in the order of the summary.
enum Outcome : std::size_t {
    Recognised, // in one of the three orders
    Unknown,    // read, in no order known (empty, or an unrecognised first byte)
    NotRom,     // left out of a folder walk, or its first bytes say it is something else
    Failed      // could not be read, or holds an interrupted update; reported
};

// Tells the order of a file that was read: "big", "unknown", or "not a ROM (a 7z archive)"
// for a file whose first bytes say what else it is.
Outcome reportOrder(const std::string& file, ByteOrder order, FileKind kind) {
    if (kind != FileKind::Unrecognised) {
        reportOutcome(file, std::string("not a ROM (") + fileKindText(kind) + ")", "not_rom",
                      {{"order", orderName(order)}, {"kind", fileKindName(kind)}});
        return NotRom;
    }
    const bool known = order != ByteOrder::None;
    reportOutcome(file, orderName(order), known ? "recognised" : "unknown",
                  {{"order", orderName(order)}, {"kind", nullptr}});
    return known ? Recognised : Unknown;
}

// Tells the order of a ROM inside an archive, from its first byte.
std::size_t detectEntry(const std::string& name, EntrySource& rom) {
    return reportOrder(name, orderFromFirstByte(rom.head()[0]), FileKind::Unrecognised);
}

// Reads the order of one file, or of each ROM in an archive, and tells it.
Outcomes detectFile(const std::string& file, bool named) {
    Outcomes entries;
    if (goThroughArchive(file, named, {NotRom, Failed}, detectEntry, entries)) return entries;
    if (reportIfInterrupted(file)) return Failed;
    FileError error;
    const ByteOrder order = detectByteOrder(file, error);
    if (error.step == FileStep::Read) {
        reportError(file, "cannot read", error.reason);
        return Failed;
    }
    return reportOrder(file, order, error.kind);
}

// Prints the order of each file of the arguments, then the summary. Only a file that cannot
// be read fails the call: an unknown order is an answer.
int runDetect(const FileArguments& arguments) {
    const FileList list = listFiles(arguments);
    Summary summary({"recognised", "of unknown order", "not ROMs", "failed"});
    return goThroughFiles(list, summary, NotRom, Failed, {Failed},
                          [&list](const std::string& file) { return detectFile(file, list.named(file)); },
                          [](std::size_t) { return "only read"; });
}

} // namespace

Command addDetectCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "detect",
                                        "print \"FILE: ORDER\" for each FILE, where ORDER is big,\n"
                                        "little, v64 or unknown (an empty file or an unrecognised\n"
                                        "first byte), \"ARCHIVE/ENTRY: ORDER\" for each ROM in\n"
                                        "an archive (zip, 7z, gzip, ...), or \"FILE: not a ROM\n"
                                        "(KIND)\" for a file whose first bytes say it is a\n"
                                        "picture or a program");
    auto arguments = std::make_shared<FileArguments>();
    addOutputOptions(*parser);
    addProgressOptions(*parser);
    addFileArguments(*parser, *arguments, true);
    return {parser, [arguments] { return runDetect(*arguments); }};
}
