#!/usr/bin/env bash
# Makes every release file of the commit checked out into DIST_DIR (default dist/), with their
# SHA-256 sums in SHA256SUMS:
#   tessera-VERSION.tar.gz                      the sources (git archive)
#   *_VERSION_*.deb                             libtessera1, libtessera-api1, libtessera-dev,
#                                               tessera, python3-tessera (dpkg-buildpackage)
#   tessera_qr-VERSION-py3-none-linux_x86_64.whl, tessera_qr-VERSION-py3-none-win_amd64.whl
#   tessera-qr-VERSION.tgz                      the npm package (npm pack)
#   tessera-VERSION-win64.zip                   the DLLs, the command, headers, import libraries
#   Tessera.VERSION.nupkg
# Everything is built from the source tarball unpacked in a fresh folder, dated by the commit
# (SOURCE_DATE_EPOCH) with the build folders mapped out of the binaries, so that two runs give the
# same bytes. Debian 12's packages and npm only; missing packages are installed.
#   scripts/release.sh [DIST_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
scripts/install-packages.sh release js
command -v npm >/dev/null || scripts/install-packages.sh js-npm
if ! git diff --quiet HEAD --; then
  echo "release.sh: the work tree differs from the commit it builds; commit or stash first" >&2
  exit 1
fi

version="$(cat VERSION)"
dist="$(realpath -m "${1:-dist}")"
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct HEAD)"
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C.UTF-8
umask 022
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
src="$work/tessera-$version"
log="$work/log"
started=$SECONDS
# Runs a step with its output in $log, shown only when it fails.
quietly() {
  "$@" >"$log" 2>&1 || { tail -n 60 "$log"; echo "release.sh: failed: $*" >&2; exit 1; }
}

rm -rf "$dist"
mkdir -p "$dist"
git archive --format=tar --prefix="tessera-$version/" HEAD | gzip -9n >"$dist/tessera-$version.tar.gz"
tar -xzf "$dist/tessera-$version.tar.gz" -C "$work"
cd "$src"

# Debian packages, built in the unpacked tree (obj-*/); debian/<package>/ keeps their files. The
# debug symbol packages are left out.
quietly env DEB_BUILD_OPTIONS=noddebs dpkg-buildpackage -b -us -uc -j2
cp "$work"/*.deb "$dist/"
echo "release.sh: Debian packages after $((SECONDS - started)) s"

# The Windows files, cross-built with MinGW-w64; tessera.exe is stripped as the DLLs are.
windows="$work/build-windows"
quietly env CFLAGS="-ffile-prefix-map=$work=." CXXFLAGS="-ffile-prefix-map=$work=." \
  cmake -S "$src" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTESSERA_BUILD_TESTS=OFF -DTESSERA_WERROR=ON -DTESSERA_SANITIZE= \
  -DTESSERA_FUZZ=OFF -DTESSERA_BUILD_BENCH=OFF
quietly cmake --build "$windows" -j2 --target tessera tessera_api tessera_cli
x86_64-w64-mingw32-strip "$windows/tessera.exe"
echo "release.sh: Windows build after $((SECONDS - started)) s"

# The zip: bin/, include/, lib/ (MinGW's .dll.a from the link, MSVC's .lib from the .def files),
# csharp/ (the C# examples of docs/windows.md, each named by its first line), the notices.
zip_root="$work/zip/tessera-$version-win64"
mkdir -p "$zip_root"/{bin,include,lib,csharp}
cp "$windows"/{tessera.dll,tessera_api.dll,tessera.exe} "$zip_root/bin/"
cp module/tessera.h module/tessera_api.h module/tessera_style.h "$zip_root/include/"
# dlltool names the library's members and symbols after its output and temporary names: both are
# given without a folder, so that the .lib is the same wherever it is built.
for dll in tessera tessera_api; do
  cp "$windows/lib$dll.dll.a" module/$dll.def "$zip_root/lib/"
  (cd "$zip_root/lib" && x86_64-w64-mingw32-dlltool --machine i386:x86-64 \
    --deterministic-libraries --temp-prefix $dll --input-def $dll.def --dllname $dll.dll \
    --output-lib $dll.lib)
done
awk -v out="$zip_root/csharp" '
  /^```csharp$/ { getline; split($0, name, /[ :]/); file = out "/" name[2] }
  /^```$/ { if (file) close(file); file = "" }
  file { print > file }' docs/windows.md
cp LICENSE NOTICE "$zip_root/"
cp packaging/windows/README.txt "$zip_root/"
find "$work/zip" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$work/zip" && find "tessera-$version-win64" | LC_ALL=C sort \
  | zip -X -D -q -9 -@ "$dist/tessera-$version-win64.zip")

# The wheels: the package python/tessera beside the libraries of one platform.
#   wheel PLATFORM FILE NAME [FILE NAME]
wheel() {
  local stage="$work/wheel-$1"
  mkdir -p "$stage/tessera"
  cp packaging/python/{pyproject.toml,setup.py,README.md} LICENSE NOTICE VERSION "$stage/"
  cp python/tessera/*.py "$stage/tessera/"
  printf '[bdist_wheel]\nplat_name = %s\n' "$1" >"$stage/setup.cfg"
  shift
  while [ $# -gt 0 ]; do
    install -m 644 "$1" "$stage/tessera/$2"
    shift 2
  done
  (cd "$stage" && quietly /usr/bin/python3 -m build --wheel --no-isolation --outdir "$dist")
}
# The Linux libraries are those of the Debian packages, as dh_strip left them.
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
wheel linux_x86_64 \
  "debian/libtessera-api1/usr/lib/$multiarch/libtessera_api.so.$version" libtessera_api.so \
  "debian/libtessera1/usr/lib/$multiarch/libtessera.so.$version" libtessera.so
wheel win_amd64 "$windows/tessera_api.dll" tessera_api.dll "$windows/tessera.dll" tessera.dll

# The npm package: the WebAssembly module built here (Debian's zlib and libpng sources are taken
# from the work tree's build-js/ when it has them, else fetched), packed with the notices.
if [ -d "$root/build-js/deps/src" ]; then
  mkdir -p build-js/deps
  cp -R "$root/build-js/deps/src" build-js/deps/
fi
quietly env CFLAGS="-ffile-prefix-map=$work=." CXXFLAGS="-ffile-prefix-map=$work=." \
  scripts/build-js.sh
mkdir "$work/npm"
cp js/package.json js/index.js js/calls.js js/payload.js js/symbol.js js/index.mjs js/index.d.ts \
  js/tessera_wasm.js LICENSE NOTICE \
  "$work/npm/"
(cd "$work/npm" && quietly npm pack --pack-destination "$dist")
echo "release.sh: wheels, zip and npm package after $((SECONDS - started)) s"

# The NuGet package, over the native libraries built above: the Debian build's and the Windows one.
quietly env TESSERA_BUILD_DIR="$src/obj-$(dpkg-architecture -qDEB_HOST_GNU_TYPE)" \
  TESSERA_WINDOWS_BUILD_DIR="$windows" bash scripts/build-nuget.sh "$dist"

cd "$dist"
sums="$(find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort \
  | xargs sha256sum)"
printf '%s\n' "$sums" >SHA256SUMS
cat SHA256SUMS
echo "release.sh: $(($(wc -l <SHA256SUMS))) files of tessera $version in $dist in" \
  "$((SECONDS - started)) s"
