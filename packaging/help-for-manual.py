#!/usr/bin/env python3
"""Runs PROGRAM with the options given and prints its output, for help2man.

help2man finds the forms of the command in a usage block of the shape
    Usage: PROGRAM ...
      or:  PROGRAM ...
and moves any other line of the block into the description. A help text may instead align the
further forms under the first one and wrap a long form onto an indented line of its own, to fit
80 columns. Here the further forms get their "or:" and the wrapped lines are joined to the form
they continue, so that the manual's synopsis lists every form whole. Nothing else is changed:
the manual says what --help says.

Usage: help-for-manual.py PROGRAM OPTION...
"""
import subprocess
import sys

USAGE = "Usage:"
FURTHER_FORM = "  or:  "


def mark_usage_forms(text):
    out = []
    program = None  # the program's name in the usage block, while in it
    for line in text.split("\n"):
        words = line.split()
        if line.startswith(USAGE) and len(words) > 1:
            program = words[1]
        elif program is not None:
            if not words:
                program = None  # the usage block ends at the first empty line
            elif words[0] == program:
                line = FURTHER_FORM + line.lstrip(" ")
            elif line.startswith(" ") and words[0] != "or:" and out:
                out[-1] = out[-1].rstrip(" ") + " " + line.lstrip(" ")
                continue
        out.append(line)
    return "\n".join(out)


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    run = subprocess.run(argv[1:], stdout=subprocess.PIPE, check=False)
    sys.stdout.write(mark_usage_forms(run.stdout.decode("utf-8", "replace")))
    return run.returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv))
