#!/usr/bin/env bash
# Packaging: installs the CI build into a temporary prefix, builds a tiny consumer against it with
# find_package and with pkg-config, checks that both write what the installed command writes,
# and runs the Python module's test on the installed module and library.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-packages.sh cli
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
build="${TESSERA_BUILD_DIR:-build}"  # the build of scripts/test.sh

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in include/tessera.h bin/tessera share/tessera/python/tessera.py; do
  test -f "$prefix/$file" || { echo "not installed: $file"; exit 1; }
done

# The installed command: the reference bytes, and PNG output.
"$prefix/bin/tessera" "/THello from an installed tessera" "/O$work/command.bmp" /L3 /S2
"$prefix/bin/tessera" "Hello" -o "$work/hello.png"
[ "$(head -c 8 "$work/hello.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] \
  || { echo "the installed command wrote no PNG"; exit 1; }

# find_package(tessera) and the imported target.
cmake -S tests/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer" "$work/cmake.bmp"
cmp "$work/cmake.bmp" "$work/command.bmp"

# pkg-config, with the prefix found from the .pc file's own folder.
pc_dir="$(dirname "$(find "$prefix" -name tessera.pc | head -n 1)")"
export PKG_CONFIG_PATH="$pc_dir"
[ "$(pkg-config --modversion tessera)" = "1.0.0.1" ]
libdir="$(pkg-config --variable=libdir tessera)"
# shellcheck disable=SC2046
cc -o "$work/pkgconfig-consumer" tests/consumer/main.c $(pkg-config --cflags --libs tessera) \
  -Wl,-rpath,"$libdir"
"$work/pkgconfig-consumer" "$work/pkgconfig.bmp"
cmp "$work/pkgconfig.bmp" "$work/command.bmp"

# The installed Python module, finding the installed library beside its prefix.
env -u TESSERA_LIBRARY TESSERA_PYTHON_PATH="$prefix/share/tessera/python" \
  python3 python/test_tessera.py
echo "package: installed, consumed by CMake and pkg-config, Python module tested"
