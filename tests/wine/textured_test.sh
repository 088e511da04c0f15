#!/bin/sh
# End to end: the plug-in given each object of the textured corpus by its
# file name draws the native command's `render --shaded` picture of it, and
# with Textures = 0 that of `render --shaded --no-textures`. Needs the native
# tree's qavren (build/native) and the corpus; without either it is skipped.
# Usage: textured_test.sh SOURCE_DIR BUILD_DIR
set -eu
source=$1 build=$2
qavren=$source/build/native/tools/qavren
corpus=$source/../shared/corpus/textured
if [ ! -x "$qavren" ] || [ ! -f "$corpus/MANIFEST.tsv" ]; then
    echo "textured_test: skipped, no native qavren at $qavren or no textured corpus"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A picture the command cannot draw is left out; the test counts the others.
"$qavren" render -q -r --shaded -s 96x72 --format bmp -d "$work/on" "$corpus" || true
"$qavren" render -q -r --shaded --no-textures -s 96x72 --format bmp -d "$work/off" "$corpus" || true
cd "$build"
QAVREN_TEXTURED_BMP_DIR=$work "$source/tests/wine/wine-run" "$build/wineprefix" tests/picture_tests.exe \
    --gtest_filter=GetPictureTest.TexturedObjectsByFileNameMatchTheNativeCommand
