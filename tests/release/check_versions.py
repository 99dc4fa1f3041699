#!/usr/bin/env python3
"""Every version number of a build and of the packaging files is the one in VERSION.

    check_versions.py SOURCE_DIR BUILD_DIR COMMAND DOOR_LIBRARY API_LIBRARY

Files that cannot read VERSION themselves (package.json, debian/changelog, CHANGELOG.md, .NET
project files) are read here; what the build made from it (the command's --version, the API's
tessera_library_version() through the Python module, the shared libraries' SONAMEs and file
names, the pkg-config and CMake package files) is asked. Prints one line per place; exits 1 when
any of them disagrees."""
import json
import os
import re
import subprocess
import sys


def read(path):
    with open(path, encoding="utf-8") as file:
        return file.read()


def first(pattern, text, flags=re.M):
    match = re.search(pattern, text, flags)
    return match.group(1) if match else None


def dotnet_versions(source):
    """Literal <Version>, <PackageVersion> or <version> elements of tracked .NET project files and
    of the package's manifest."""
    listed = subprocess.run(["git", "-C", source, "ls-files", "*.csproj", "*.props",
                             "dotnet/package-manifest.xml"],
                            capture_output=True, text=True).stdout.split()
    for name in listed:
        for tag, value in re.findall(r"<((?:Package)?Version|version)>([^<$]+)</\1>",
                                     read(os.path.join(source, name))):
            yield f"{name} <{tag}>", value.strip()


def main():
    source, build, command, door, api = sys.argv[1:6]
    version = read(os.path.join(source, "VERSION")).strip()
    major = version.split(".")[0]
    package = json.loads(read(os.path.join(source, "js", "package.json")))
    lock = json.loads(read(os.path.join(source, "js", "package-lock.json")))
    environment = dict(os.environ, TESSERA_API_LIBRARY=api)
    python = subprocess.run(
        [sys.executable, "-c", "import sys; sys.path.insert(0, sys.argv[1]); import tessera; "
         "print(tessera.__version__)", os.path.join(source, "python")],
        capture_output=True, text=True, env=environment)
    places = [
        ("tessera --version", subprocess.run([command, "--version"], capture_output=True,
                                             text=True).stdout.strip().removeprefix("tessera ")),
        ("Python tessera.__version__", python.stdout.strip() or python.stderr.strip()),
        ("js/package.json", package.get("version")),
        ("js/package-lock.json", lock.get("version")),
        ("js/package-lock.json packages['']", lock.get("packages", {}).get("", {}).get("version")),
        ("debian/changelog", first(r"^tessera \(([^)-]+)", read(os.path.join(source, "debian",
                                                                               "changelog")))),
        ("CHANGELOG.md", first(r"^## \[(\d[^]]*)\]", read(os.path.join(source, "CHANGELOG.md")))),
        ("tesseraConfigVersion.cmake", first(r'^set\(PACKAGE_VERSION "([^"]+)"\)',
                                             read(os.path.join(build,
                                                               "tesseraConfigVersion.cmake")))),
    ]
    for pc in ("tessera.pc", "tessera-api.pc"):
        places.append((pc, first(r"^Version: (\S+)", read(os.path.join(build, pc)))))
    for library in (door, api):
        name = os.path.basename(library)
        dynamic = subprocess.run(["objdump", "-p", library], capture_output=True, text=True).stdout
        places.append((f"{name} SONAME major", first(rf"SONAME\s+{re.escape(name)}\.(\d+)$",
                                                     dynamic)))
        places.append((f"{name} file", os.path.basename(os.path.realpath(library))
                       .removeprefix(name + ".")))
    places.extend(dotnet_versions(source))

    wrong = 0
    for place, found in places:
        expected = major if place.endswith("SONAME major") else version
        verdict = "ok" if found == expected else f"WRONG, expected {expected}"
        wrong += found != expected
        print(f"{place}: {found} {verdict}")
    if wrong:
        sys.exit(f"{wrong} of {len(places)} places disagree with VERSION ({version})")
    print(f"all {len(places)} places say {version}")


if __name__ == "__main__":
    main()
