#!/usr/bin/env bash
# Installs the Debian packages named in scripts/packages/<list>.txt (default: test) that are
# missing. Needs root (apt-get) only when something is missing.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
missing=()
for list in "${@:-test}"; do
  while read -r package; do
    [ -z "$package" ] || [[ "$package" == \#* ]] && continue
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
      || missing+=("$package")
  done < "$here/packages/$list.txt"
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
