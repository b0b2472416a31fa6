#!/usr/bin/env python3
"""Writes the man page dornavel-cli.1 from the program's own help and a few hand-written sections.

    make_man_page.py PROGRAM VERSION SECTIONS.roff DOCDIR OUTPUT

Every command the program's help lists gets its usage, description, arguments and options;
the hand-written sections (output, environment, files, examples) follow them, with @DOCDIR@
replaced by the folder the documentation is installed in.
"""

import sys

import help_text


def roff(text):
    """Text escaped for roff: backslashes and hyphens as themselves, no line read as a request."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def synopsis_line(line):
    """A usage line with options in bold and the names of values in italics."""
    words = []
    for word in line.split(" "):
        bare = word.strip("[].")
        if word.startswith("-"):
            words.append("\\fB" + roff(word) + "\\fR")
        elif bare.isupper():
            words.append(word.replace(bare, "\\fI" + bare + "\\fR"))
        else:
            words.append("\\fB" + roff(word) + "\\fR")
    return " ".join(words)


def entry_lines(entry):
    """One entry of a list as a tagged paragraph: the name in bold, the value in italics."""
    name = ", ".join("\\fB" + roff(flag) + "\\fR" for flag in entry.flags()) or "\\fB" + roff(entry.name) + "\\fR"
    if entry.flags() and entry.value_is_optional():
        name += "[=\\fI" + entry.value_name() + "\\fR]"
    elif entry.flags() and entry.value_name():
        name += " \\fI" + entry.value_name() + "\\fR"
    return [".TP", name, roff(entry.description)]


def paragraph_lines(lines):
    """A paragraph of the help; its lines indented deeper than the first are kept as they are."""
    out, plain = [".PP"], []
    for line in lines:
        if line.startswith("  ") and not lines[0].startswith("  "):
            out += [roff(" ".join(plain))] if plain else []
            plain = []
            out += [".RS", ".nf", roff(line.strip()), ".fi", ".RE"]
        else:
            plain.append(line.strip())
    return out + ([roff(" ".join(plain))] if plain else [])


def part_lines(part):
    """A paragraph or a headed list of a help text."""
    if part[0] == "paragraph":
        return paragraph_lines(part[1])
    lines = [".PP", roff(part[1])]
    for entry in part[2]:
        lines += entry_lines(entry)
    return lines


def command_lines(name, command, program_help):
    """A command's subsection. What it only repeats of the program's help is left out."""
    lines = [".SS " + name]
    for usage in command.usage:
        lines += [synopsis_line(usage), ".br"]
    for part in command.parts:
        if part not in program_help.parts:
            lines += part_lines(part)
    return lines


def page(program, version, sections):
    """The whole page."""
    main, commands = help_text.commands_of(program)
    summary = main.description().rstrip(".")
    lines = ['.TH DORNAVEL\\-CLI 1 "" "dornavel\\-cli %s" "User Commands"' % version,
             ".SH NAME", "dornavel\\-cli \\- " + roff(summary[0].lower() + summary[1:]), ".SH SYNOPSIS"]
    for usage in main.usage:
        lines += [synopsis_line(usage), ".br"]
    lines.append(".SH DESCRIPTION")
    for part in main.parts:
        if part[0] == "paragraph" or part[1] not in ("Options:", "Commands:"):
            lines += part_lines(part)
    lines.append(".SH COMMANDS")
    for name, command in commands:
        lines += command_lines(name, command, main)
    lines.append(".SH OPTIONS")
    lines.append("These stand alone, before any command:")
    for entry in main.entries("Options:"):
        lines += entry_lines(entry)
    return "\n".join(lines) + "\n" + sections


def main():
    program, version, sections_file, docdir, output = sys.argv[1:6]
    with open(sections_file, encoding="utf-8") as sections:
        text = page(program, version, sections.read().replace("@DOCDIR@", roff(docdir)))
    with open(output, "w", encoding="utf-8") as out:
        out.write(text)


if __name__ == "__main__":
    main()
