#!/usr/bin/env bash
# Styled symbols over every conformance vector: each shape with each finder style shares out the
# vectors that encode, so that every one of them is drawn in some style as PNG, SVG and 1-bit BMP
# and read back by zxing-cpp and zbar, byte for byte. The ordinary run reads two vectors a style;
# this is the whole set (some minutes on two cores). Runs the round-trip suite of the build
# scripts/test.sh made.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${TESSERA_BUILD_DIR:-build}"  # the build of scripts/test.sh
started=$SECONDS
TESSERA_STYLED_EVERY_VECTOR=1 "$build/tests/roundtrip/tessera_roundtrip_tests" \
  --gtest_filter='Shapes/ShapeRoundTrip.*'
echo "--- styled round trip over every vector passed ($((SECONDS - started)) s)"
