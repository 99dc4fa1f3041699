#!/usr/bin/env python3
"""Writes the C# source of the C API's numbered constants, read from its header and from the built
library, so that the .NET assembly takes its levels, formats, statuses and default from the library
instead of copying them:

    python3 dotnet/constants.py module/tessera_api.h build/libtessera_api.so OUT.cs

`TESSERA_LEVEL_X = N` becomes the public enum Level, the members of tessera_field_type the public
enum FieldType and those of tessera_field_fact the internal enum FieldFact, `TESSERA_OK` and
`TESSERA_ERROR_X` the internal enum Status, and `#define TESSERA_X (N)` an internal constant of
the class Library. The public enum Format has a member for every format that the library's
tessera_format_name(0, 1, ...) names ("pbm-plain" becomes PbmPlain), documented with the header's
comment where the header's enum has it, and with the library's name and extension. Fails when a
member of the header's enums has no number of its own, or when the header's formats are not the
library's."""

import ctypes
import html
import re
import sys

MEMBER = re.compile(r"\b(TESSERA_[A-Z0-9_]+)\s*=\s*(-?\d+),?[ \t]*(/\*.*?\*/)?", re.S)
DEFINE = re.compile(r"#define\s+(TESSERA_[A-Z0-9_]+)\s+\((-?\d+)\)")
ENUM_BODY = re.compile(r"\benum\b[^{;]*\{(.*?)\}", re.S)
# An enum with the comment before it: (comment, name or spaces, body).
COMMENTED_ENUM = re.compile(r"(/\*(?:(?!\*/).)*\*/)\s*(?:typedef\s+)?enum\b([^{;]*)\{(.*?)\}",
                            re.S)


def pascal(words):
    """FORMAT_UTF8 -> Utf8, ERROR_CANNOT_ENCODE -> CannotEncode, pbm-plain -> PbmPlain."""
    return "".join(word[:1].upper() + word[1:].lower() for word in re.split("[_-]", words))


def library_formats(library):
    """The library's formats in their order: (name, extension or None) for 0, 1, ..."""
    api = ctypes.CDLL(library)
    for function in (api.tessera_format_name, api.tessera_format_extension):
        function.restype, function.argtypes = ctypes.c_char_p, [ctypes.c_int]
    formats = []
    while (name := api.tessera_format_name(len(formats))) is not None:
        extension = api.tessera_format_extension(len(formats))
        formats.append((name.decode("ascii"), extension and extension.decode("ascii")))
    if not formats:
        sys.exit(f"{library} names no format")
    return formats


def comment_text(comment):
    return " ".join(comment[2:-2].replace("*", " ").split()) if comment else ""


def read(header):
    text = open(header, encoding="utf-8").read()
    named = sum(len(re.findall(r"\bTESSERA_[A-Z0-9_]+", re.sub(r"/\*.*?\*/", "", body, flags=re.S)))
                for body in ENUM_BODY.findall(text))  # comments may name other constants
    members = MEMBER.findall(text)
    if len(members) != named:
        sys.exit(f"{header}: {named - len(members)} enum members have no number of their own")
    return text, members, DEFINE.findall(text)


def summary(text):
    return f"/// <summary>{html.escape(text, quote=False)}</summary>"


def enum_lines(text, members, prefix, name, header_name=None, access="public"):
    """The C# enum `name` of the header's members whose names start with `prefix` (and, with
    `header_name`, that belong to the header's enum of that name), documented with the header's
    comments."""
    comment, body = next(((c, body) for c, named, body in COMMENTED_ENUM.findall(text)
                          if prefix in body and header_name in (None, named.strip())),
                         ("", text))
    body = re.sub(r"/\*.*?\*/", "", body, flags=re.S)  # comments may name other constants
    lines = [f"    {summary(comment_text(comment))}", f"    {access} enum {name}", "    {"]
    for symbol, number, comment in members:
        if not symbol.startswith(prefix) or not re.search(rf"\b{symbol}\b", body):
            continue
        lines.append(f"        {summary(comment_text(comment) or f'{symbol} of the C API.')}")
        lines.append(f"        {pascal(symbol[len(prefix):])} = {number},")
    if len(lines) == 3:
        sys.exit(f"no {prefix}* constants for the enum {name}")
    return lines + ["    }"]


def format_lines(members, formats):
    """The C# enum Format: a member for each of the library's `formats`, with the comment of the
    header's member of that number where there is one."""
    prefix = "TESSERA_FORMAT_"
    comments = {}
    for symbol, number, comment in members:
        if symbol.startswith(prefix):
            if int(number) >= len(formats) or pascal(formats[int(number)][0]) != pascal(
                    symbol[len(prefix):]):
                sys.exit(f"the header's {symbol} = {number} is not the library's format {number}")
            comments[int(number)] = comment_text(comment)
    lines = ["    " + summary("The library's output formats, numbered as it numbers them."),
             "    public enum Format", "    {"]
    for number, (name, extension) in enumerate(formats):
        saved = f"files .{extension}" if extension else "no files"
        described = f": {comments[number]}" if comments.get(number) else ""
        text = f'The format "{name}" ({saved}){described}.'
        lines.append(f"        {summary(text)}")
        lines.append(f"        {pascal(name)} = {number},")
    return lines + ["    }"]


def main(header, library, out):
    text, members, defines = read(header)
    statuses = [(pascal(symbol[len("TESSERA_"):].replace("ERROR_", "", 1)), number)
                for symbol, number, _ in members
                if symbol == "TESSERA_OK" or symbol.startswith("TESSERA_ERROR_")]
    source = [
        f"// Made from {header} and {library} by dotnet/constants.py.",
        "namespace Tessera",
        "{",
        *enum_lines(text, members, "TESSERA_LEVEL_", "Level"),
        "",
        *enum_lines(text, members, "TESSERA_FIELD_", "FieldType", "tessera_field_type"),
        "",
        *enum_lines(text, members, "TESSERA_FIELD_", "FieldFact", "tessera_field_fact", "internal"),
        "",
        *format_lines(members, library_formats(library)),
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
    if len(sys.argv) != 4:
        sys.exit("usage: constants.py HEADER LIBRARY OUT.cs")
    main(*sys.argv[1:])
