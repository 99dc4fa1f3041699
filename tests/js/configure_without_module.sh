#!/bin/sh
# Configures a copy of the sources at $1 without js/tessera_wasm.js, with cmake $2, and checks
# that configuration says in one line why js_package is not registered and that ctest ($3) lists
# no js_package.
set -eu
source=$1 cmake=$2 ctest=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/source"
tar -C "$source" --exclude='./build*' --exclude=./.git --exclude=./js/node_modules \
  --exclude=./js/tessera_wasm.js -cf - . | tar -C "$work/source" -xf -
"$cmake" -S "$work/source" -B "$work/build" >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
said=$(grep -c 'js_package is not registered: js/tessera_wasm.js is not built' "$work/log" || true)
[ "$said" = 1 ] || { echo "configuration said it $said times:"; cat "$work/log"; exit 1; }
if "$ctest" --test-dir "$work/build" -N | grep -q ' js_package$'; then
  echo "js_package is registered without its module"
  exit 1
fi
echo "js_package is not registered without its module, and configuration says why"
