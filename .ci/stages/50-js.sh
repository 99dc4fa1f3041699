#!/usr/bin/env bash
# The generator page (web/) from file:// in Debian's headless Chromium, driven by puppeteer-core
# from npm (which never fetches a browser of its own), with zxing-cpp reading its screenshots. The
# package's module is the one scripts/test.sh built.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-packages.sh js-browser
[ -f js/tessera_wasm.js ] || scripts/build-js.sh
cd js
PUPPETEER_SKIP_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund
node --test ../tests/js/browser/page.browser.js
