#!/usr/bin/env python3
"""The command's --help and its man page name the same flags with the same argument names.

    check_man_page.py TESSERA_COMMAND tessera.1

Only the option lines are compared, "-l, --level L|M|Q|H", so that the wording around them may
differ. Exits 1 and lists what only one of them has."""
import re
import subprocess
import sys

# "-l, --level L|M|Q|H" or "--strict-version": an optional short flag, the long one, an argument.
OPTION = re.compile(r"^(?:(-\w), )?(--[\w-]+)(?: (\S+))?$")


def help_options(command):
    text = subprocess.run([command, "--help"], check=True, capture_output=True, text=True).stdout
    options = set()
    for line in text.splitlines():
        # An option line starts with two or more spaces; its description follows two more.
        first = re.match(r"^ {2,}(-.*?)(?: {2,}|$)", line)
        if first and OPTION.match(first.group(1)):
            options.add(OPTION.match(first.group(1)).groups())
    return options


def man_options(page):
    text = open(page, encoding="utf-8").read()
    section = re.search(r'^\.SH "?OPTIONS"?$(.*?)^\.SH ', text, re.M | re.S)
    if not section:
        sys.exit(f"{page}: no OPTIONS section")
    options = set()
    for line in section.group(1).splitlines():
        plain = re.sub(r"\\f[BIRP]|\\&", "", line).replace("\\-", "-")
        if OPTION.match(plain):
            options.add(OPTION.match(plain).groups())
    return options


def main():
    command, page = sys.argv[1:3]
    in_help, in_man = help_options(command), man_options(page)
    if len(in_help) < 10:
        sys.exit(f"only {len(in_help)} options read from --help")
    only_help, only_man = sorted(in_help - in_man, key=str), sorted(in_man - in_help, key=str)
    for name, options in (("--help", only_help), ("the man page", only_man)):
        for option in options:
            print(f"only in {name}: {' '.join(part for part in option if part)}")
    if only_help or only_man:
        sys.exit(1)
    print(f"--help and {page} agree on {len(in_help)} options")


if __name__ == "__main__":
    main()
