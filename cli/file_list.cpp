#include "cli/file_list.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <system_error>

#include "cli/folder_walk.h"
#include "cli/report.h"
#include "cli/standard_streams.h"

namespace fs = std::filesystem;

namespace {

// Whether name holds a wildcard. On Windows the program's start-up has already replaced
// every pattern that matches something by the names it matches; no file name can hold one.
bool hasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

// Takes one FILE argument into the list, or reports why it gives nothing.
void takeArgument(const std::string& name, bool recursive, FileCollector& collector) {
    std::error_code error;
    const fs::file_status status = fs::status(fs::u8path(name), error);
    if (!fs::exists(status) && hasWildcard(name)) {
        reportProblem(name, "no file matches");
        ++collector.list().failures;
    } else if (!fs::is_directory(status)) {
        collector.addFile(name);
    } else if (!recursive) {
        reportProblem(name, "is a folder; give -r to go through it");
        ++collector.list().failures;
    } else if (collector.walkFolder(name) == 0) {
        reportProblem(name, "no ROM found in this folder");
        ++collector.list().failures;
    }
}

// Takes each name read on standard input as a FILE argument; none at all is reported.
void takeStandardInput(const FileArguments& arguments, FileCollector& collector) {
    const std::vector<std::string> names = namesFromStandardInput(arguments.nulSeparated);
    if (names.empty()) {
        reportProblem(kStandardStreamName, "no file name on standard input");
        ++collector.list().failures;
    }
    for (const std::string& name : names) takeArgument(name, arguments.recursive, collector);
}

} // namespace

void addFileArguments(CLI::App& command, FileArguments& arguments, bool readsArchives) {
    arguments.archives = readsArchives;
    command.add_option("FILE", arguments.names,
                       "the files to go through; with -r also folders; - reads\n"
                       "their names on standard input, one a line")
        ->required()
        ->type_name("");
    command.add_flag("-0,--null", arguments.nulSeparated,
                     "the names on standard input end with a NUL byte, not a\n"
                     "line end (as find -print0 and fd -0 write them)");
    command.add_flag("-r,--recursive", arguments.recursive,
                     std::string("go through each FILE that is a folder and the folders in\n"
                                 "it, taking the files that start with an N64 ROM header\n") +
                         (readsArchives ? "and the archives (zip, 7z, gzip, ...) to look into\n" : "") +
                         "(never *.bak; links to folders are not followed)");
}

void addHardLinksOption(CLI::App& command, bool& severalNames) {
    command.add_flag("--hard-links", severalNames,
                     "write a FILE that has several names (hard links) too;\n"
                     "should it be stopped halfway, only this name shows it");
}

void addTorrentZipOption(CLI::App& command, bool& torrentZip) {
    command.add_flag("--torrentzip", torrentZip,
                     "write each zip written anew in TorrentZip's form, which\n"
                     "DAT managers check: entries sorted by name, packed at\n"
                     "level 9, fixed times, the TORRENTZIPPED comment (a 7z or\n"
                     "gzip is then refused)");
}

void addDryRunOption(CLI::App& command, bool& dryRun, const std::string& description) {
    command.add_flag("-n,--dry-run", dryRun, description);
}

FileList listFiles(const FileArguments& arguments) {
    FileList list;
    FileCollector collector(list, arguments.archives);
    for (const std::string& name : arguments.names) {
        if (name == kStandardStreamName) takeStandardInput(arguments, collector);
        else takeArgument(name, arguments.recursive, collector);
    }
    return list;
}
