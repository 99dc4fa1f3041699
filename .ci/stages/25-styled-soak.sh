#!/usr/bin/env bash
# Styled symbols over every conformance vector: each shape with each finder style shares out the
# vectors that encode, so that every one of them is drawn in some style as PNG, SVG and 1-bit BMP
# and read back by zxing-cpp and zbar, byte for byte. The ordinary run reads two vectors a style;
# this is the whole set (some minutes on two cores). With TESSERA_STYLED_EVERY_VECTOR=all in the
# environment it is the whole cross product instead: every style reads every vector (90 minutes
# at low priority on two cores busy with builds); TESSERA_STYLED_FINDER=NAME limits it to one
# finder style. Runs the round-trip suite of the build scripts/test.sh made, one process per
# shape, two at a time.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${TESSERA_BUILD_DIR:-build}"  # the build of scripts/test.sh
suite="$build/tests/roundtrip/tessera_roundtrip_tests"
export TESSERA_STYLED_EVERY_VECTOR="${TESSERA_STYLED_EVERY_VECTOR:-1}"
started=$SECONDS
"$suite" --gtest_list_tests --gtest_filter='Shapes/ShapeRoundTrip.*' |
  awk '/^ / { print "Shapes/ShapeRoundTrip." $1 }' |
  xargs -P 2 -I{} "$suite" --gtest_brief=1 --gtest_filter={}
echo "--- styled round trip (TESSERA_STYLED_EVERY_VECTOR=$TESSERA_STYLED_EVERY_VECTOR) passed" \
  "($((SECONDS - started)) s)"
