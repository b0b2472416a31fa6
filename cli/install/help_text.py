"""The program's own help, read into commands and options.

The man page and the shell completion are made from what `dornavel-cli --help` and
`dornavel-cli COMMAND --help` print, so a command or an option added to the program is in
both without another edit. The help's layout is the one cli/usage.cpp gives every text:
the usage lines, the description, headed lists ("Options:", "Commands:", "ORDER is one
of:") whose entries start in column 2 with their descriptions in column 22 (or on the next
lines, indented to it, when the name leaves fewer than two spaces before it), and plain
paragraphs. Two spaces always part a name from its description.
"""

import re
import subprocess

# The column where an entry's description starts, as cli/usage.cpp lays it out.
DESCRIPTION_COLUMN = 22


class Entry:
    """One entry of a headed list: an option, a command, a value."""

    def __init__(self, name, description):
        self.name = name                # e.g. "--to ORDER", "-n,--dry-run", "--rename[=SET]", "detect"
        self.description = description  # its lines joined by spaces

    def __eq__(self, other):
        return (self.name, self.description) == (other.name, other.description)

    def flags(self):
        """The option names of an option entry, e.g. ["-n", "--dry-run"]."""
        names = self.name.split(" ")[0].split("[=")[0]
        return [word for word in names.split(",") if word.startswith("-")]

    def value_name(self):
        """The name of the value an option takes ("ORDER", "SET"), or "" for a flag."""
        words = self.name.split(" ")
        if "[=" in words[0]:
            return words[0].split("[=")[1].rstrip("]")
        return words[1] if len(words) > 1 else ""

    def value_is_optional(self):
        """Whether the value may only be joined to the option, and left out: "--rename[=SET]"."""
        return "[=" in self.name


class Help:
    """One help text: usage lines, description, headed lists and paragraphs, in order."""

    def __init__(self, text):
        self.usage = []    # the usage lines without "Usage: "
        self.parts = []    # ("paragraph", [lines]) or ("list", heading, [Entry])
        self._read(text.split("\n"))

    def entries(self, heading):
        """The entries under heading ("Options:"), or [] when there is no such list."""
        for part in self.parts:
            if part[0] == "list" and part[1] == heading:
                return part[2]
        return []

    def description(self):
        """The first paragraph after the usage: what the program or command does."""
        for part in self.parts:
            if part[0] == "paragraph":
                return " ".join(line.strip() for line in part[1])
        return ""

    def _read(self, lines):
        blocks, block = [], []
        for line in lines:
            if line.strip():
                block.append(line.rstrip())
            elif block:
                blocks.append(block)
                block = []
        if block:
            blocks.append(block)
        for block in blocks:
            if block[0].startswith("Usage: "):
                self.usage = [line.strip() for line in block]
                self.usage[0] = self.usage[0][len("Usage: "):]
            elif block[0].endswith(":") and len(block) > 1 and block[1].startswith("  "):
                self.parts.append(("list", block[0], _entries(block[1:])))
            else:
                self.parts.append(("paragraph", block))


def _entries(lines):
    """The entries of a headed list; a line indented to the description column goes on the one before."""
    entries = []
    for line in lines:
        if entries and line.startswith(" " * DESCRIPTION_COLUMN):
            entries[-1].description = (entries[-1].description + " " + line.strip()).strip()
            continue
        name, _, description = line[2:].partition("  ")
        entries.append(Entry(name.strip(), description.strip()))
    return entries


def help_of(program, *command):
    """Runs the program for its help (of a command, when one is named) and reads it."""
    text = subprocess.run([program, *command, "--help"], check=True, capture_output=True, text=True).stdout
    return Help(text)


def commands_of(program):
    """The program's help and each command's, as (name, Help), in the order the program lists them."""
    main = help_of(program)
    return main, [(entry.name, help_of(program, entry.name)) for entry in main.entries("Commands:")]


def values_of(help_texts, option):
    """The values an option's VALUE may be: the entries of a list headed "VALUE is one of:"
    in any of the help texts, with the names given as "(or ALIAS)"; else the values its
    description ends with, as in "...: 6101, 6102 or 5101"; [] when the help names none."""
    heading = option.value_name() + " is one of:"
    for help_text in help_texts:
        entries = help_text.entries(heading)
        if entries:
            values = []
            for entry in entries:
                values.append(entry.name)
                values += re.findall(r"\(or ([^)\s]+)\)", entry.description)
            return values
    match = re.search(r":\s*((?:[\w.+-]+, )*[\w.+-]+ or [\w.+-]+)$", option.description)
    return re.split(r", | or ", match.group(1)) if match else []
