#!/usr/bin/env bash
# C#: the NuGet package of scripts/build-nuget.sh restored offline with nuget into a scratch
# folder, its test program (dotnet/test/*.cs) compiled against it with Mono's mcs and run
# under mono with no environment variable, with the native library where the .NET SDK puts it
# (runtimes/linux-x64/native below the program) and beside the assembly: PNG, SVG and BMP files
# equal to the command's for the settings of the conformance vectors and more (rMQR, GS1, a box to
# fit among them), the payload texts of tests/payload/texts.jsonl, and every refusal.
# Then the examples of docs/dotnet.md are built against the package (and its lists of formats and
# payload builders, and the ranges of the assembly's documentation, checked against the library),
# and every ```csharp example of docs/windows.md against the Linux libraries of the test build; what
# each writes is compared with what the command writes.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-packages.sh csharp
build="$(pwd)/${TESSERA_BUILD_DIR:-build}"  # the build of scripts/test.sh
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

scripts/build-nuget.sh "$work/dist"
scripts/build-nuget.sh "$work/dist-again" >/dev/null  # the same bytes again
cmp "$work"/dist/Tessera.*.nupkg "$work"/dist-again/Tessera.*.nupkg
HOME="$work/home" nuget install Tessera -Source "$work/dist" -OutputDirectory "$work/packages" \
  -NoCache -NonInteractive >/dev/null
package=("$work"/packages/Tessera.*)
[ "${#package[@]}" -eq 1 ] && [ -d "$package" ] || { echo "nuget restored no package"; exit 1; }

# The Windows library exports what the Linux one does.
linux_exports="$(nm -D --defined-only "$package/runtimes/linux-x64/native/libtessera_api.so" \
  | awk '{print $3}' | sort)"
windows_exports="$(objdump -p "$package/runtimes/win-x64/native/tessera_api.dll" \
  | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk 'NR > 1 && NF {print $NF}' | sort)"
[ -n "$linux_exports" ] && [ "$linux_exports" = "$windows_exports" ] \
  || { echo "the two native libraries export different functions"; exit 1; }

# The rows: the export vectors that settings express, and settings that they do not use, with the
# command's files for each.
mkdir -p "$work/data" "$work/command"
python3 - "$build/tessera" "$work" <<'PY'
import subprocess, sys
sys.path.insert(0, "tests/python")
from test_tessera import as_encode_arguments

command, work = sys.argv[1], sys.argv[2]
COLUMNS = ("level", "version", "strict", "mask", "utf8", "micro", "boost", "scale", "margin",
           "dark", "light", "dpi", "rmqr", "rmqr_version", "rmqr_height", "gs1", "fit")
FLAGS = {"level": "-l", "version": "-v", "mask": "-m", "scale": "-s", "margin": "--margin",
         "dark": "--dark", "light": "--light", "dpi": "--dpi", "rmqr_version": "-v",
         "rmqr_height": "--rmqr-height", "fit": "--fit"}
SWITCHES = {"strict": "--strict-version", "utf8": "--utf8", "micro": "--micro", "boost": "--boost",
            "rmqr": "--rmqr", "gs1": "--gs1"}
IMAGES = "png svg bmp"
rows = []
for line in open("tests/data/export.tsv", encoding="ascii"):
    cells = line.rstrip("\n").split("\t")
    arguments = None if line.startswith("#") else \
        as_encode_arguments([bytes.fromhex(cell) for cell in cells[1:5]])
    if arguments:
        rows.append((f"vector{cells[0]}", *arguments, IMAGES, cells[5], cells[7]))
for name, data, settings, types in [
        ("utf8", "東京 — Привет 😀".encode(), {"utf8": True}, IMAGES),
        ("micro", b"TESSERA", {"micro": True, "level": "L", "mask": 2}, IMAGES),
        ("boost", b"HELLO WORLD", {"level": "L", "boost": True}, IMAGES),
        ("colours", b"colours", {"scale": 3, "margin": 2, "dark": "123456FF",
                                 "light": "FFEEDDFF"}, IMAGES),
        ("alpha", b"alpha", {"dark": "00000080", "light": "FFFFFF00"}, "png svg"),
        ("dpi", b"dpi", {"dpi": 300, "margin": 0}, "png bmp"),
        ("rmqr", b"RECTANGLE 123", {"rmqr_version": "r11x59", "level": "H"}, IMAGES),
        ("rmqr-height", b"https://example.org/label/0042", {"rmqr_height": 9, "margin": 3}, IMAGES),
        ("gs1", b"[01]09501101530003[17]261231[10]ABC", {"gs1": True, "level": "Q"}, IMAGES),
        ("gs1-rmqr", b"[01]09501101530003[10]AB12", {"gs1": True, "rmqr": True}, IMAGES),
        ("fit", b"https://example.org", {"fit": "60x25"}, IMAGES)]:
    rows.append((name, data, settings, types, "0", "-"))

with open(f"{work}/rows.tsv", "w", encoding="ascii") as table:
    for name, data, settings, types, result, digest in rows:
        source = f"{work}/data/{name}"
        open(source, "wb").write(data)
        flags = [option for key, value in settings.items()
                 for option in ([SWITCHES[key]] if key in SWITCHES else [FLAGS[key], str(value)])]
        for kind in types.split() if result == "0" else []:
            subprocess.run([command, "-i", source, *flags, "-o", f"{work}/command/{name}.{kind}"],
                           check=True)
        cells = [str(int(v)) if isinstance(v, bool) else str(v)
                 for v in (settings.get(key, "-") for key in COLUMNS)]
        print(name, data.hex(), *cells, types, result, digest, sep="\t", file=table)
print(f"{len(rows)} rows, the command's files written")
PY

# A program's output folder as the .NET SDK makes it (runtimes/ below it), with every row; and one
# with the native library beside the assembly, without the rows.
: >"$work/no-rows.tsv"
for layout in sdk beside; do
  app="$work/$layout"
  mkdir -p "$app" "$work/out-$layout"
  cp "$package"/lib/net45/* "$app/"
  if [ "$layout" = sdk ]; then
    cp -r "$package/runtimes" "$app/"
  else
    cp "$package/runtimes/linux-x64/native/libtessera_api.so" "$app/"
  fi
  mcs -nologo -warnaserror -r:"$app/Tessera.Net.dll" -r:System.Core.dll \
    -r:System.Web.Extensions.dll \
    dotnet/test/*.cs -out:"$app/PackageTest.exe"
  echo "--- PackageTest.exe, native library in the $layout layout"
  rows="$work/rows.tsv"
  [ "$layout" = sdk ] || rows="$work/no-rows.tsv"
  env -u LD_LIBRARY_PATH -u MONO_PATH mono "$app/PackageTest.exe" "$rows" "$work/command" \
    "$work/out-$layout" tests/payload/texts.jsonl
done

# The ```csharp examples of a page, each in the file its first comment names ("// Door.cs: ..."),
# written into a folder: extract PAGE FOLDER.
extract() {
  mkdir -p "$2"
  python3 - "$1" "$2" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-8").read()
for block in re.findall(r"```csharp\n(.*?)```", text, re.S):
    name = re.match(r"// (\w+\.cs):", block)
    if not name:
        sys.exit(f"a csharp example of {sys.argv[1]} does not begin with // Name.cs:")
    open(f"{sys.argv[2]}/{name.group(1)}", "w", encoding="utf-8").write(block)
PY
}

# The formats and payload builders that docs/dotnet.md lists, and the ranges that the assembly's
# documentation states, are the library's.
python3 - "$build/libtessera_api.so" <<'PY'
import ctypes, re, sys
sys.path.insert(0, "dotnet")
from constants import library_formats, library_rows, open_library, pascal, payload_kinds
lines = open("docs/dotnet.md", encoding="utf-8").readlines()
row = next(line for line in lines if line.startswith("| `Format` |"))
listed = re.findall(r"`(\w+)`", row.split("|")[2])
formats = [pascal(name) for name, _ in library_formats(sys.argv[1])]
if listed != formats:
    sys.exit(f"docs/dotnet.md lists the formats {listed}; the library has {formats}")
row = next(line for line in lines if line.startswith("| `Payload.Wifi("))
listed = re.findall(r"`(\w+)`", re.search(r"`Payload\.Kinds` \(([^)]*)\)", row).group(1))
builders = [pascal(kind) for kind, _, _ in payload_kinds(open_library(sys.argv[1]))]
if listed != builders:
    sys.exit(f"docs/dotnet.md lists the payload builders {listed}; the library's are {builders}")
# The ranges that the assembly's documentation states are the library's table of limits.
limits = library_rows(open_library(sys.argv[1]).tessera_limit, ctypes.c_longlong)
for source, claim in (
        ("QrSymbol", "version: {version.low}-{version.high}, {micro.version.low}-"
                     "{micro.version.high} (M1-M4) for Micro QR, or {rmqr.version.low}-"
                     "{rmqr.version.high} (R7x43"),
        ("QrSymbol", "applied: {mask.low}-{mask.high}, {micro.mask.low}-{micro.mask.high} for"),
        ("QrSymbol", "Modules down: Size, but {rmqr.height.low}-{rmqr.height.high} for rMQR"),
        ("QrSymbol", '"version"/>: {version.low}-{version.high} ({micro.version.low}-'
                     "{micro.version.high} for M1-M4, {rmqr.version.low}-{rmqr.version.high} for"),
        ("QrSymbol", '"mask"/>: {mask.low}-{mask.high} ({micro.mask.low}-{micro.mask.high})'),
        ("QrSymbol", '"rmqrHeight"/>: {rmqr.height.low}, 9, ..., {rmqr.height.high},'),
        ("Rendering", "per module, {scale.low}-{scale.high}, or 0 for {scale.image} "
                      "({scale.text} for text)"),
        ("Rendering", "modules, {margin.low}-{margin.high}, or -1 for {margin.default} "
                      "({margin.micro} for Micro QR)")):
    text = " ".join(line.strip().removeprefix("///").strip()
                    for line in open(f"dotnet/{source}.cs", encoding="utf-8"))
    claim = re.sub(r"\{([a-z.]+)\}", lambda row: str(limits[row.group(1)]), claim)
    if claim not in text:
        sys.exit(f"dotnet/{source}.cs does not say '{claim}', as the library's limits have it")
PY

# The assembly's numbers are the library's: a header whose number for a constant differs from the
# library's table stops the build, naming the constant.
sed 's/TESSERA_LEVEL_Q = 2/TESSERA_LEVEL_Q = 5/' module/tessera_api.h >"$work/mismatched.h"
if python3 dotnet/constants.py "$work/mismatched.h" "$build/libtessera_api.so" \
    "$work/Mismatched.cs" 2>"$work/mismatch.err"; then
  echo "dotnet/constants.py took a header whose TESSERA_LEVEL_Q is not the library's"; exit 1
fi
grep -q "TESSERA_LEVEL_Q is 5, but the library's table of constants has 2" "$work/mismatch.err"

# The examples of docs/dotnet.md, built against the package like programs of its user.
extract docs/dotnet.md "$work/dotnet-examples"
for example in Hello Labels Payloads; do
  mcs -nologo -warnaserror -r:"$work/sdk/Tessera.Net.dll" "$work/dotnet-examples/$example.cs" \
    -out:"$work/sdk/$example.exe"
  echo "--- $example.cs of docs/dotnet.md"
  (cd "$work/sdk" && env -u LD_LIBRARY_PATH -u MONO_PATH mono "$example.exe") \
    | tee "$work/$example.out"
done
"$build/tessera" "Hello from .NET" -l Q -s 8 -o "$work/command-hello.png"
cmp "$work/sdk/hello-net.png" "$work/command-hello.png"
"$build/tessera" "LABEL 3" -l H -s 4 -o "$work/command-label.png"
cmp "$work/sdk/label-3.png" "$work/command-label.png"
"$build/tessera" "LABEL 1" -l H -t pbm-plain -o "$work/command-label.pbm"
cmp "$work/sdk/label-1.pbm" "$work/command-label.pbm"
failure="the file cannot be written: no-such-folder/label.png: the folder does not exist"
grep -qxF "$failure (error 2)" "$work/Labels.out"
"$build/tessera" wifi --ssid "My Net" --password "p;w" -o "$work/command-wifi.png"
cmp "$work/sdk/wifi.png" "$work/command-wifi.png"
"$build/tessera" "LOT 42-A" -v R11x59 -o "$work/command-label.svg"
cmp "$work/sdk/label.svg" "$work/command-label.svg"
"$build/tessera" --gs1 "[01]09501101530003[17]261231[10]ABC" -o "$work/command-gs1.png"
cmp "$work/sdk/gs1.png" "$work/command-gs1.png"
# A real reader: zxing-cpp reads the example's GS1 symbol as GS1 (]Q3) and its WiFi symbol.
/usr/bin/python3 - "$work/sdk" <<'PY'
import sys
import zxingcpp
from PIL import Image
for name, expected in (("gs1.png", ("]Q3", "01095011015300031726123110ABC")),
                       ("wifi.png", ("]Q1", "WIFI:T:WPA;S:My Net;P:p\\;w;;"))):
    read = [(result.symbology_identifier, result.text) for result in
            zxingcpp.read_barcodes(Image.open(f"{sys.argv[1]}/{name}").convert("L"))]
    if read != [expected]:
        sys.exit(f"zxing-cpp reads {read} in {name}, not {expected}")
PY
grep -q "^latitude refused: latitude: " "$work/Payloads.out"
grep -qx "59 x 11" "$work/Payloads.out"
grep -qx "True" "$work/Payloads.out"  # a builder's payload is Build's
grep -q "^wifi: .*: ssid (required), " "$work/Payloads.out"

# The P/Invoke examples of docs/windows.md, against the test build's libraries.
extract docs/windows.md "$work/examples"
examples=("$work"/examples/*.cs)
[ "${#examples[@]}" -ge 2 ] || { echo "expected the door and API examples"; exit 1; }

cd "$work/examples"
for example in "${examples[@]}"; do
  mcs -nologo -warnaserror "$example" -out:"${example%.cs}.exe"
  echo "--- $(basename "$example")"
  LD_LIBRARY_PATH="$build" mono "${example%.cs}.exe"
done

# What they wrote is what the command writes.
"$build/tessera" "/THello from C#" /Ocommand-door.bmp /S6
cmp hello-csharp.bmp command-door.bmp
"$build/tessera" "Hello from C#, through the API" -l H -o command-api.svg
cmp api-csharp.svg command-api.svg
"$build/tessera" "Hello from C#, through the API" -l H -o command-api.png
cmp api-csharp.png command-api.png
echo "csharp: the package restored and tested in two layouts, its 3 examples and" \
  "${#examples[@]} P/Invoke examples compiled, run and checked"
