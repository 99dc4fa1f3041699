#!/usr/bin/env bash
# C#: every ```csharp example of docs/windows.md is compiled with Mono's mcs and run with mono
# against the Linux libraries of the test build, and what each writes is compared with what the
# command writes for the same symbol.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-packages.sh csharp
build="$(pwd)/${TESSERA_BUILD_DIR:-build}"  # the build of scripts/test.sh
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Each example begins with a comment naming its file: "// Door.cs: ...".
python3 - docs/windows.md "$work" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-8").read()
blocks = re.findall(r"```csharp\n(.*?)```", text, re.S)
names = []
for block in blocks:
    name = re.match(r"// (\w+\.cs):", block)
    if not name:
        sys.exit("a csharp example does not begin with // Name.cs:")
    open(f"{sys.argv[2]}/{name.group(1)}", "w", encoding="utf-8").write(block)
    names.append(name.group(1))
print(" ".join(names))
PY
examples=("$work"/*.cs)
[ "${#examples[@]}" -ge 2 ] || { echo "expected the door and API examples"; exit 1; }

cd "$work"
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
echo "csharp: ${#examples[@]} examples compiled, run and checked"
