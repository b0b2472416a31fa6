#include "cli/file_list.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <system_error>

#include "cli/folder_walk.h"
#include "cli/report.h"

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

} // namespace

void addFileArguments(CLI::App& command, FileArguments& arguments) {
    command.add_option("FILE", arguments.names, "the files to go through; with -r also folders")
        ->required()
        ->type_name("");
    command.add_flag("-r,--recursive", arguments.recursive,
                     "go through each FILE that is a folder and the folders in\n"
                     "it, taking the files that start with an N64 ROM header\n"
                     "(never *.bak; links to folders are not followed)");
}

void addHardLinksOption(CLI::App& command, bool& severalNames) {
    command.add_flag("--hard-links", severalNames,
                     "write a FILE that has several names (hard links) too;\n"
                     "should it be stopped halfway, only this name shows it");
}

FileList listFiles(const FileArguments& arguments) {
    FileList list;
    FileCollector collector(list);
    for (const std::string& name : arguments.names) takeArgument(name, arguments.recursive, collector);
    return list;
}
