#!/usr/bin/env python3
"""Checks tessera.dll or tessera_api.dll as a file, without running it: an x86-64 DLL whose export
table holds exactly `tessera` (or, with --header, exactly the functions those headers declare),
that imports only system DLLs, carries the version resource with its own name, and (with
--stripped) has no symbol table. Prints the size, the imports and the exports; exits 1 on the first
broken rule."""
import argparse
import os
import re
import sys

import pefile

# Windows itself and the C runtime that MinGW-w64 links against; anything else (libstdc++,
# libgcc_s, libwinpthread) would have to be shipped beside the DLL.
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "ucrtbase.dll"}
MACHINE_AMD64 = 0x8664
DLL_CHARACTERISTIC = 0x2000  # IMAGE_FILE_DLL


def Fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def StringTable(pe):
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                for key, value in table.entries.items():
                    strings[key.decode()] = value.decode()
    return strings


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dll")
    parser.add_argument("--version", required=True, help="expected version, MAJOR.MINOR.PATCH")
    parser.add_argument("--stripped", action="store_true")
    parser.add_argument("--header", action="append", default=[],
                        help="a C header whose TESSERA_API_FUNCTION functions are among the "
                        "exports, once per header (default: the one function tessera)")
    parser.add_argument("--also-import", default="",
                        help="comma-separated system DLLs this DLL may import beyond the C runtime")
    args = parser.parse_args()
    name = os.path.basename(args.dll)
    if args.header:
        text = "".join(open(path, encoding="ascii").read() for path in args.header)
        expected_exports = sorted(set(re.findall(
            r"TESSERA_API_FUNCTION[^(;#]*?\b(tessera_\w+)\(", text)))
    else:
        expected_exports = ["tessera"]
    allowed = SYSTEM_DLLS | {dll.lower() for dll in args.also_import.split(",") if dll}

    pe = pefile.PE(args.dll)
    print("size: %d bytes" % os.path.getsize(args.dll))
    if pe.FILE_HEADER.Machine != MACHINE_AMD64:
        Fail("machine 0x%x, not x86-64" % pe.FILE_HEADER.Machine)
    if not pe.FILE_HEADER.Characteristics & DLL_CHARACTERISTIC:
        Fail("not a DLL")
    if name not in ("tessera.dll", "tessera_api.dll"):
        Fail("module file named %s" % name)

    if not hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        Fail("no export table")
    exports = [e.name.decode() if e.name else "#%d" % e.ordinal
               for e in pe.DIRECTORY_ENTRY_EXPORT.symbols]
    print("exports: " + ", ".join(exports))
    if sorted(exports) != expected_exports:
        Fail("the export table must hold exactly " + ", ".join(expected_exports))
    if pe.DIRECTORY_ENTRY_EXPORT.name != name.encode():
        Fail("export directory names %r" % pe.DIRECTORY_ENTRY_EXPORT.name)

    imports = [entry.dll.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT]
    print("imports: " + ", ".join(imports))
    foreign = [dll for dll in imports if dll.lower() not in allowed]
    if foreign:
        Fail("imports non-system DLLs: " + ", ".join(foreign))
    if "kernel32.dll" not in (name.lower() for name in imports):
        Fail("KERNEL32.dll is not imported")
    delayed = getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])
    if delayed:
        Fail("delay-load imports: " + ", ".join(entry.dll.decode() for entry in delayed))

    fixed = pe.VS_FIXEDFILEINFO[0]
    parts = [int(p) for p in args.version.split(".")] + [0]  # the fourth number is 0
    numbers = (parts[0] << 16 | parts[1], parts[2] << 16 | parts[3])
    for field in ("File", "Product"):
        got = (getattr(fixed, field + "VersionMS"), getattr(fixed, field + "VersionLS"))
        if got != numbers:
            Fail("fixed %sVersion is %x.%x" % (field, got[0], got[1]))
    strings = StringTable(pe)
    print("version strings: " + ", ".join("%s=%s" % kv for kv in sorted(strings.items())))
    expected = {"FileVersion": args.version, "ProductVersion": args.version,
                "InternalName": name, "OriginalFilename": name}
    for key, value in expected.items():
        if strings.get(key) != value:
            Fail("%s is %r, expected %r" % (key, strings.get(key), value))

    if args.stripped and (pe.FILE_HEADER.PointerToSymbolTable or pe.FILE_HEADER.NumberOfSymbols):
        Fail("a release DLL must be stripped (%d symbols)" % pe.FILE_HEADER.NumberOfSymbols)
    print("PASS")


if __name__ == "__main__":
    main()
