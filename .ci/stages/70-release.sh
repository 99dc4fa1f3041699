#!/usr/bin/env bash
# Release: scripts/release.sh twice, into two folders, must give the same SHA256SUMS; lintian finds
# no error in the Debian packages; then every file is installed and used as its users would:
#   the .deb files with apt-get: consumers built with pkg-config and with find_package against
#     /usr, the command, its man page, the Python module; apt-get remove leaves nothing;
#   the Linux wheel in a fresh venv, and in a venv beside Debian's Dask the job of docs/scale.md
#     on 10,000 CSV rows, equal to the command's batch; the Windows wheel's contents;
#   the npm tarball in an empty folder, with require and with import;
#   the Windows zip under Wine: tessera.exe, and a C client linked with each import library.
# Every file written is compared with what the test build's command (build/) writes.
set -euo pipefail
cd "$(dirname "$0")/../.."
started=$SECONDS
scripts/install-packages.sh release windows release-use
root="$PWD"
build="$root/${TESSERA_BUILD_DIR:-build}"  # the build of scripts/test.sh
version="$(cat VERSION)"
packages=(libtessera1 libtessera-api1 libtessera-dev tessera python3-tessera)
work="$(mktemp -d)"
wine_dir=/usr/lib/wine  # Debian's wine64 puts nothing on PATH
export WINEDEBUG=-all WINEPREFIX="$work/wine"
cleanup() {
  [ ! -d "$WINEPREFIX" ] || "$wine_dir/wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "release stage: $*" >&2
  exit 1
}

# --- Two runs, the same bytes.
scripts/release.sh "$work/first" >"$work/first.log" 2>&1 || { cat "$work/first.log"; exit 1; }
scripts/release.sh "$work/second" >"$work/second.log" 2>&1 || { cat "$work/second.log"; exit 1; }
grep 'release.sh:' "$work/first.log"
if ! diff "$work/first/SHA256SUMS" "$work/second/SHA256SUMS"; then
  fail "two runs of scripts/release.sh gave different files"
fi
dist="$work/first"
echo "reproducible: $(wc -l <"$dist/SHA256SUMS") files, equal in two runs ($((SECONDS - started)) s)"
for name in "tessera-$version.tar.gz" "tessera-$version-win64.zip" "tessera-qr-$version.tgz" \
  "tessera_qr-$version-py3-none-linux_x86_64.whl" "tessera_qr-$version-py3-none-win_amd64.whl" \
  "Tessera.$version.nupkg"; do
  [ -f "$dist/$name" ] || fail "no $name"
done
for package in "${packages[@]}"; do
  ls "$dist/${package}_${version}_"*.deb >/dev/null || fail "no Debian package $package"
done

# What every consumer should write: the sample symbol of tests/consumer through the test build.
"$build/tessera" "/THello from an installed tessera" "/O$work/expected.bmp" /L3 /S2
"$build/tessera" "Hello from a package" -l Q -o "$work/expected.png"

# PYTHON NAME FOLDER: the module that PYTHON imports, with no variable naming its libraries, is
# the one in FOLDER, says the release, and writes NAME.png and NAME.bmp equal to the command's.
use_python() {
  (cd "$work" && env -u TESSERA_LIBRARY -u TESSERA_API_LIBRARY -u PYTHONPATH "$1" -c "
import sys, tessera
version, name, folder = sys.argv[1:4]
assert tessera.__file__.startswith(folder), tessera.__file__
assert tessera.__version__ == version, tessera.__version__
tessera.make('Hello from a package', level='Q').save(name + '.png')
assert tessera.encode('Hello from an installed tessera', name + '.bmp', level='H', scale=2) == 0
" "$version" "$2" "$3")
  cmp "$work/$2.png" "$work/expected.png"
  cmp "$work/$2.bmp" "$work/expected.bmp"
}

# --- Debian packages.
lintian --fail-on error --display-level '>=warning' "$dist"/*.deb | tee "$work/lintian.txt"
echo "lintian: no errors, $(wc -l <"$work/lintian.txt") warnings"
use_debian_packages() {
  apt-get remove -y -qq --purge "${packages[@]}" >/dev/null 2>&1 || true
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$dist"/*.deb >/dev/null
  local installed="$work/installed-files"
  dpkg -L "${packages[@]}" | sort -u >"$installed"
  [ "$(tessera --version)" = "tessera $version" ] || fail "tessera --version: $(tessera --version)"
  man -w tessera | grep -q '/usr/share/man/man1/tessera.1' || fail "man -w tessera: no page"
  local consumer="$work/debian-consumer"
  mkdir -p "$consumer"
  # shellcheck disable=SC2046
  cc -o "$consumer/pc" tests/consumer/main.c $(pkg-config --cflags --libs tessera)
  # shellcheck disable=SC2046
  cc -o "$consumer/pc-api" tests/consumer/api_main.c $(pkg-config --cflags --libs tessera-api)
  cmake -S tests/consumer -B "$consumer/cmake" >/dev/null
  cmake --build "$consumer/cmake" >/dev/null
  for program in "$consumer/pc" "$consumer/pc-api" "$consumer/cmake/consumer" \
    "$consumer/cmake/api_consumer"; do
    "$program" "$consumer/out.bmp"
    cmp "$consumer/out.bmp" "$work/expected.bmp"
  done
  use_python /usr/bin/python3 debian /usr/lib/python3/dist-packages/
  apt-get remove -y -qq --purge "${packages[@]}" >/dev/null
  local left
  left="$(while read -r path; do [ ! -f "$path" ] && [ ! -L "$path" ] || echo "$path"; done \
    <"$installed")"
  [ -z "$left" ] || fail "left after apt-get remove: $left"
  [ ! -e /usr/lib/python3/dist-packages/tessera ] || fail "the Python package or its byte code left"
  dpkg -l "${packages[@]}" 2>/dev/null | grep -q '^[ir]' && fail "packages still known to dpkg"
  echo "Debian packages: installed, used by pkg-config, CMake, the command, man and Python," \
    "removed without a trace"
}
# Other runs of this stage on the machine take their turn: dpkg's database is one for all.
exec {lock}>/run/lock/tessera-release-stage.lock
flock "$lock"
use_debian_packages
flock -u "$lock"

# --- The wheels. Linux: a fresh venv with nothing else; pip reaches no index.
/usr/bin/python3 -m venv "$work/venv"
"$work/venv/bin/pip" install -q --no-index "$dist/tessera_qr-$version-py3-none-linux_x86_64.whl"
use_python "$work/venv/bin/python" wheel "$work/venv/"
# Windows: the tag, a wheel of binaries, and the zip's DLLs inside.
mkdir "$work/win-wheel" "$work/zip"
(cd "$work/win-wheel" && unzip -q "$dist/tessera_qr-$version-py3-none-win_amd64.whl")
grep -qx 'Tag: py3-none-win_amd64' "$work"/win-wheel/*.dist-info/WHEEL
grep -qx 'Root-Is-Purelib: false' "$work"/win-wheel/*.dist-info/WHEEL
(cd "$work/zip" && unzip -q "$dist/tessera-$version-win64.zip")
zip_root="$work/zip/tessera-$version-win64"
for dll in tessera.dll tessera_api.dll; do
  cmp "$work/win-wheel/tessera/$dll" "$zip_root/bin/$dll"
done
echo "wheels: the Linux one used in a fresh venv, the Windows one holds the zip's DLLs"

# The job of docs/scale.md, as written there, against the command's batch over the same rows.
scale="$work/scale"
mkdir "$scale"
sed -n '/^```python$/,/^```$/p' docs/scale.md | sed '1d;$d' >"$scale/codes_on_dask.py"
/usr/bin/python3 - "$scale" <<'PY'
import sys
with open(f"{sys.argv[1]}/rows.csv", "w") as rows, open(f"{sys.argv[1]}/lines.txt", "w") as lines:
    rows.write("id,text\n")
    for row in range(1, 10001):
        text = f"https://tickets.example/{row:05d}?seat={row % 97}-{row * 7919 % 1000:03d}"
        rows.write(f"{row},{text}\n")
        lines.write(text + "\n")
PY
/usr/bin/python3 -m venv --system-site-packages "$scale/venv"
"$scale/venv/bin/pip" install -q --no-index "$dist/tessera_qr-$version-py3-none-linux_x86_64.whl"
dask_started=$SECONDS
(cd "$scale" && env -u TESSERA_LIBRARY -u TESSERA_API_LIBRARY -u PYTHONPATH \
  venv/bin/python codes_on_dask.py rows.csv dask 2>"$scale/dask.log") || { cat "$scale/dask.log"; exit 1; }
dask_seconds=$((SECONDS - dask_started))
"$build/tessera" --batch "$scale/lines.txt" -o "$scale/command/{n}.png"
[ "$(find "$scale/dask" -name '*.png' | wc -l)" -eq 10000 ] || fail "Dask wrote too few files"
diff -r "$scale/dask" "$scale/command" >/dev/null || fail "Dask's files differ from the batch's"
echo "Dask: 10,000 rows on a LocalCluster of 2 worker processes in $dask_seconds s, every PNG" \
  "equal to the command's batch"

# --- The npm tarball in an empty folder.
expected_files="package/LICENSE package/NOTICE package/calls.js package/index.d.ts package/index.js package/index.mjs package/package.json package/payload.js package/symbol.js package/tessera_wasm.js"
[ "$(tar -tzf "$dist/tessera-qr-$version.tgz" | LC_ALL=C sort | xargs)" = "$expected_files" ] \
  || fail "the npm tarball holds $(tar -tzf "$dist/tessera-qr-$version.tgz" | xargs)"
mkdir "$work/npm"
(cd "$work/npm" && npm install -q --no-audit --no-fund "$dist/tessera-qr-$version.tgz" >/dev/null
  node -e '
const fs = require("fs"), { make } = require("tessera-qr");
if (require("tessera-qr/package.json").license !== "MIT") throw new Error("license");
make("Hello from a package", { level: "Q" }).then((s) => fs.writeFileSync("require.png", s.toPNG()));'
  node --input-type=module -e '
import { writeFileSync } from "fs"; import { make } from "tessera-qr";
writeFileSync("import.png", (await make("Hello from a package", { level: "Q" })).toPNG());')
cmp "$work/npm/require.png" "$work/expected.png"
cmp "$work/npm/import.png" "$work/expected.png"
echo "npm: installed into an empty folder, used with require and import"

# --- The Windows zip under Wine: the command, and the consumer linked with each import library.
mkdir "$WINEPREFIX"
"$wine_dir/wineserver" -p
"$wine_dir/wine64" wineboot --init >/dev/null 2>&1
bin="$zip_root/bin"
for library in libtessera.dll.a tessera.lib; do
  x86_64-w64-mingw32-gcc -Wall -Werror -o "$bin/consumer-${library%%.*}.exe" \
    tests/consumer/main.c -I"$zip_root/include" "$zip_root/lib/$library"
done
x86_64-w64-mingw32-gcc -Wall -Werror -o "$bin/api-consumer.exe" tests/consumer/api_main.c \
  -I"$zip_root/include" "$zip_root/lib/tessera_api.lib"
(cd "$bin" && for program in consumer-libtessera consumer-tessera api-consumer; do
  "$wine_dir/wine64" "$program.exe" "$program.bmp"
  cmp "$program.bmp" "$work/expected.bmp"
done
  "$wine_dir/wine64" tessera.exe "/THello from an installed tessera" /Oexe.bmp /L3 /S2
  cmp exe.bmp "$work/expected.bmp"
  "$wine_dir/wine64" tessera.exe "Hello from a package" -l Q -o exe.png
  # Windows writes PNG through WIC: its bytes are its own, its pixels must be ours.
  cmp <(pngtopnm exe.png) <(pngtopnm "$work/expected.png"))
echo "Windows zip: tessera.exe and clients of tessera.lib, libtessera.dll.a and tessera_api.lib" \
  "under Wine, their BMP files equal to Linux's, their PNG pixels too"
echo "release stage: passed in $((SECONDS - started)) s (load average $(cut -d' ' -f1-3 /proc/loadavg))"
