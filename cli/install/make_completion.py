#!/usr/bin/env python3
"""Writes the bash completion of dornavel-cli from the program's own help.

    make_completion.py PROGRAM OUTPUT

It completes the commands, each command's options, the values of an option whose help lists
them (ORDER, CHIP) and file names everywhere else; after "--" only file names.
"""

import sys

import help_text

TEMPLATE = r"""# bash completion for dornavel-cli, made from the program's help when it was built.

# Completes the word under the cursor: a command first, then the command's options, the
# values of the option before it, or file names.
_dornavel_cli() {
    local cur prev words cword split
    _init_completion -s || return

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
        -*) ;;
        *) command="${words[i]}"; break ;;
        esac
    done
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "%(commands)s %(program_options)s" -- "$cur"))
        return
    fi
    for ((i = i + 1; i < cword; i++)); do
        if [[ ${words[i]} == -- ]]; then
            _filedir
            return
        fi
    done

    local options="" values=""
    case "$command" in
%(command_cases)s
    esac
    case "$command $prev" in
%(value_cases)s
    esac
    if [[ -n $values ]]; then
        COMPREPLY=($(compgen -W "$values" -- "$cur"))
    elif [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        _filedir
    fi
}
complete -F _dornavel_cli dornavel-cli
"""


def script(program):
    """The completion script for the program's commands as its help lists them."""
    main, commands = help_text.commands_of(program)
    command_cases, value_cases = [], []
    for name, command in commands:
        options = command.entries("Options:")
        flags = " ".join(flag for option in options for flag in option.flags())
        command_cases.append('    %s) options="%s" ;;' % (name, flags))
        for option in options:
            if not option.value_name():
                continue
            values = help_text.values_of([command, main], option)
            patterns = "|".join("'%s %s'" % (name, flag) for flag in option.flags())
            # An option without listed values takes a file, as FILE: the default below. A value
            # that may only be joined ("--rename=SET") is completed only after the "=".
            action = 'values="%s"' % " ".join(values) if values else "{ _filedir; return; }"
            if option.value_is_optional():
                action = "[[ $split == true ]] && " + action
            value_cases.append("    %s) %s ;;" % (patterns, action))
    return TEMPLATE % {
        "commands": " ".join(name for name, _ in commands),
        "program_options": " ".join(flag for option in main.entries("Options:") for flag in option.flags()),
        "command_cases": "\n".join(command_cases),
        "value_cases": "\n".join(value_cases),
    }


def main():
    program, output = sys.argv[1:3]
    with open(output, "w", encoding="utf-8") as out:
        out.write(script(program))


if __name__ == "__main__":
    main()
