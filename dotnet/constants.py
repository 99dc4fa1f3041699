#!/usr/bin/env python3
"""Writes the C# source of the C API's numbered constants, read from its header, so that the .NET
assembly takes its levels, formats, statuses and default from the library instead of copying them:

    python3 dotnet/constants.py module/tessera_api.h OUT.cs

`TESSERA_LEVEL_X = N` becomes the public enum Level, `TESSERA_FORMAT_X = N` the public enum Format
(its comment in the header becomes the member's documentation), `TESSERA_OK` and
`TESSERA_ERROR_X` the internal enum Status, and `#define TESSERA_X (N)` an internal constant of
the class Library. Fails when a member of the header's enums has no number of its own."""

import html
import re
import sys

MEMBER = re.compile(r"\b(TESSERA_[A-Z0-9_]+)\s*=\s*(-?\d+),?[ \t]*(/\*.*?\*/)?", re.S)
DEFINE = re.compile(r"#define\s+(TESSERA_[A-Z0-9_]+)\s+\((-?\d+)\)")
ENUM_BODY = re.compile(r"\benum\b[^{;]*\{(.*?)\}", re.S)
# An enum with the comment before it: (comment, body).
COMMENTED_ENUM = re.compile(r"(/\*(?:(?!\*/).)*\*/)\s*(?:typedef\s+)?enum\b[^{;]*\{(.*?)\}", re.S)


def pascal(words):
    """FORMAT_UTF8 -> Utf8, ERROR_CANNOT_ENCODE -> CannotEncode."""
    return "".join(word[:1] + word[1:].lower() for word in words.split("_"))


def comment_text(comment):
    return " ".join(comment[2:-2].replace("*", " ").split()) if comment else ""


def read(header):
    text = open(header, encoding="utf-8").read()
    named = sum(len(re.findall(r"\bTESSERA_[A-Z0-9_]+", body)) for body in ENUM_BODY.findall(text))
    members = MEMBER.findall(text)
    if len(members) != named:
        sys.exit(f"{header}: {named - len(members)} enum members have no number of their own")
    return text, members, DEFINE.findall(text)


def enum_lines(text, members, prefix, name):
    """The C# enum `name` of the header's members whose names start with `prefix`, documented
    with the header's comments."""
    comment = next((c for c, body in COMMENTED_ENUM.findall(text) if prefix in body), "")
    lines = [f"    /// <summary>{html.escape(comment_text(comment), quote=False)}</summary>",
             f"    public enum {name}", "    {"]
    for symbol, number, comment in members:
        if not symbol.startswith(prefix):
            continue
        summary = comment_text(comment) or f"{symbol} of the C API."
        lines.append(f"        /// <summary>{html.escape(summary, quote=False)}</summary>")
        lines.append(f"        {pascal(symbol[len(prefix):])} = {number},")
    if len(lines) == 3:
        sys.exit(f"no {prefix}* constants for the enum {name}")
    return lines + ["    }"]


def main(header, out):
    text, members, defines = read(header)
    statuses = [(pascal(symbol[len("TESSERA_"):].replace("ERROR_", "", 1)), number)
                for symbol, number, _ in members
                if symbol == "TESSERA_OK" or symbol.startswith("TESSERA_ERROR_")]
    source = [
        f"// Made from {header} by dotnet/constants.py.",
        "namespace Tessera",
        "{",
        *enum_lines(text, members, "TESSERA_LEVEL_", "Level"),
        "",
        *enum_lines(text, members, "TESSERA_FORMAT_", "Format"),
        "",
        "    internal enum Status",
        "    {",
        *[f"        {name} = {number}," for name, number in statuses],
        "    }",
        "",
        "    internal static partial class Library",
        "    {",
        *[f"        internal const int {pascal(symbol[len('TESSERA_'):])} = {number};"
          for symbol, number in defines],
        "    }",
        "}",
        "",
    ]
    with open(out, "w", encoding="utf-8", newline="\n") as file:
        file.write("\n".join(source))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: constants.py HEADER OUT.cs")
    main(sys.argv[1], sys.argv[2])
