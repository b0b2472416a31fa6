// The FILE arguments of a command turned into the files it goes through: folders walked with
// -r/--recursive, patterns that match nothing reported, every file taken once.
#pragma once

#include <set>

#include <string>
#include <vector>

namespace CLI {
class App;
}

// The FILE arguments, -r/--recursive and -0/--null, as a command's parser fills them in.
struct FileArguments {
    std::vector<std::string> names; // in the order given; "-": the names on standard input
    bool recursive = false;
    bool nulSeparated = false;      // the names on standard input end with NUL, not a line end
    bool archives = false;          // folder walks take archives too (the commands that look inside)
};

// Adds FILE... (at least one), -r/--recursive and -0/--null to the parser of a command; one
// that looks inside archives says so, and its folder walks take them.
void addFileArguments(CLI::App& command, FileArguments& arguments, bool readsArchives = false);

// Adds --hard-links to a command that writes files in place: a file with several names is
// refused without it.
void addHardLinksOption(CLI::App& command, bool& severalNames);

// Adds --torrentzip to a command that writes archives anew.
void addTorrentZipOption(CLI::App& command, bool& torrentZip);

// Adds -n/--dry-run to a command that writes, with its description (what is checked).
void addDryRunOption(CLI::App& command, bool& dryRun, const std::string& description);

// The files a command goes through, and what was left out on the way.
struct FileList {
    std::vector<std::string> files; // named files as given, found ones as FOLDER/.../NAME
    int notRoms = 0;                // files in folders left out for want of a ROM header
    int failures = 0;               // arguments and folders already reported as errors
    std::set<std::string> walked;   // the files a folder walk found (the others were named)

    // Whether file was named as an argument, not found in a folder.
    bool named(const std::string& file) const { return walked.count(file) == 0; }
};

// Turns the arguments into the list of files, each file once however many names reach it;
// a FILE "-" stands for the names read on standard input, each taken as a FILE argument.
// A named file is taken as it is (its command decides what it is, and reports a missing
// one); in a folder only files that start with a ROM header are taken. Reports on standard
// error every argument that gives nothing (a pattern without a match, a folder without -r,
// a folder without ROMs, a standard input without names) and every folder or file in one that cannot be read.
FileList listFiles(const FileArguments& arguments);
