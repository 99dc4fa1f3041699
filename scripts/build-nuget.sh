#!/usr/bin/env bash
# Builds the NuGet package Tessera.<VERSION>.nupkg into DIST_DIR: the managed assembly
# lib/net45/Tessera.Net.dll (C# in dotnet/, compiled with Mono's mcs against the .NET Framework 4.5
# reference assemblies, with its XML documentation), the native library for linux-x64 (from the
# test build, $TESSERA_BUILD_DIR or build/) and for win-x64 (cross-built with MinGW-w64 in
# $TESSERA_WINDOWS_BUILD_DIR or build-windows/, as .ci/stages/30-windows.sh builds it), LICENSE,
# and docs/dotnet.md as its README. The enums (Format among them) and the typed payload builders are
# made from the Linux library's tables of constants, formats, kinds and fields.
# Builds what is missing, installing missing packages.
#
# The same commit gives the same bytes: sorted entries, every time stamp SOURCE_DATE_EPOCH (or the
# time of the last commit), and an assembly whose module id is made from its content.
#
#   scripts/build-nuget.sh DIST_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: scripts/build-nuget.sh DIST_DIR" >&2; exit 2; }
mkdir -p "$1"
dist="$(cd "$1" && pwd)"
cd "$(dirname "$0")/.."
scripts/install-packages.sh csharp windows
export LC_ALL=C  # the order of the sources
version="$(tr -d '[:space:]' <VERSION)"
epoch="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || true)}"
[ -n "$epoch" ] || { echo "not a git checkout: set SOURCE_DATE_EPOCH" >&2; exit 2; }
build="${TESSERA_BUILD_DIR:-build}"
windows_build="${TESSERA_WINDOWS_BUILD_DIR:-build-windows}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target tessera_api >/dev/null
[ -f "$windows_build/CMakeCache.txt" ] \
  || cmake -S . -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
       -DCMAKE_BUILD_TYPE=Release -DTESSERA_BUILD_TESTS=OFF >/dev/null
cmake --build "$windows_build" -j2 --target tessera_api >/dev/null

python3 dotnet/constants.py module/tessera_api.h "$build/libtessera_api.so" "$work/Constants.cs"
cat >"$work/AssemblyInfo.cs" <<INFO
using System.Reflection;
[assembly: AssemblyTitle("Tessera.Net")]
[assembly: AssemblyDescription("QR Code symbols through the tessera_api library")]
[assembly: AssemblyVersion("$version")]
[assembly: AssemblyFileVersion("$version")]
[assembly: AssemblyInformationalVersion("$version")]
INFO
reference=/usr/lib/mono/4.5-api  # what .NET Framework 4.5 has, no more
mcs -nologo -warnaserror -optimize+ -target:library -nostdlib -lib:"$reference" \
  -r:mscorlib.dll -r:System.dll -r:System.Core.dll \
  -doc:"$work/Tessera.Net.xml" -out:"$work/Tessera.Net.dll" dotnet/*.cs "$work"/*.cs
python3 dotnet/stable_mvid.py "$work/Tessera.Net.dll"
strip --strip-unneeded -o "$work/libtessera_api.so" "$build/libtessera_api.so"

files=(
  lib/net45/Tessera.Net.dll="$work/Tessera.Net.dll"
  lib/net45/Tessera.Net.xml="$work/Tessera.Net.xml"
  runtimes/linux-x64/native/libtessera_api.so="$work/libtessera_api.so"
  runtimes/win-x64/native/tessera_api.dll="$windows_build/tessera_api.dll"
  README.md=docs/dotnet.md
  LICENSE=LICENSE
)
package="$dist/Tessera.$version.nupkg"
python3 dotnet/nupkg.py "$package" dotnet/package-manifest.xml "$version" "$epoch" "${files[@]}"
echo "scripts/build-nuget.sh: $package ($(stat -c %s "$package") bytes)"
