#!/usr/bin/env bash
# Packaging: installs the CI build into a temporary prefix, builds tiny consumers of both libraries
# against it with find_package and with pkg-config, checks that each writes what the installed
# command writes, and runs the Python module's test on the installed module and libraries.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-packages.sh cli
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
build="${TESSERA_BUILD_DIR:-build}"  # the build of scripts/test.sh

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in include/tessera.h include/tessera_api.h include/tessera_style.h bin/tessera share/tessera/python/tessera/__init__.py; do
  test -f "$prefix/$file" || { echo "not installed: $file"; exit 1; }
done

# The installed command: the reference bytes, and PNG output.
"$prefix/bin/tessera" "/THello from an installed tessera" "/O$work/command.bmp" /L3 /S2
"$prefix/bin/tessera" "Hello" -o "$work/hello.png"
[ "$(head -c 8 "$work/hello.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] \
  || { echo "the installed command wrote no PNG"; exit 1; }

# find_package(tessera) and the imported targets tessera::tessera and tessera::api.
cmake -S tests/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer" "$work/cmake.bmp"
cmp "$work/cmake.bmp" "$work/command.bmp"
"$work/consumer/api_consumer" "$work/cmake-api.bmp"
cmp "$work/cmake-api.bmp" "$work/command.bmp"

# pkg-config, with the prefix found from the .pc file's own folder.
pc_dir="$(dirname "$(find "$prefix" -name tessera.pc | head -n 1)")"
export PKG_CONFIG_PATH="$pc_dir"
for package in tessera tessera-api; do
  [ "$(pkg-config --modversion "$package")" = "$(cat VERSION)" ]
done
libdir="$(pkg-config --variable=libdir tessera)"
# shellcheck disable=SC2046
cc -o "$work/pkgconfig-consumer" tests/consumer/main.c $(pkg-config --cflags --libs tessera) \
  -Wl,-rpath,"$libdir"
"$work/pkgconfig-consumer" "$work/pkgconfig.bmp"
cmp "$work/pkgconfig.bmp" "$work/command.bmp"
# shellcheck disable=SC2046
cc -o "$work/pkgconfig-api-consumer" tests/consumer/api_main.c \
  $(pkg-config --cflags --libs tessera-api) -Wl,-rpath,"$libdir"
"$work/pkgconfig-api-consumer" "$work/pkgconfig-api.bmp"
cmp "$work/pkgconfig-api.bmp" "$work/command.bmp"

# The C example of docs/api.md (its first C block, a whole program; the later ones are fragments),
# built against the installed API and run.
awk '/^```c$/ { inside = 1; next } inside && /^```$/ { exit } inside' docs/api.md > "$work/example.c"
# shellcheck disable=SC2046
cc -Wall -Werror -o "$work/example" "$work/example.c" $(pkg-config --cflags --libs tessera-api) \
  -Wl,-rpath,"$libdir"
(cd "$work" && ./example && head -c 8 code.png | od -An -tx1 | tr -d ' \n' | grep -q 89504e47)

# The installed Python module, finding the installed libraries beside its prefix.
env -u TESSERA_LIBRARY -u TESSERA_API_LIBRARY TESSERA_PYTHON_PATH="$prefix/share/tessera/python" \
  python3 tests/python/test_tessera.py
echo "package: installed, both libraries consumed by CMake and pkg-config, Python module tested"
