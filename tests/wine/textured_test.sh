#!/bin/sh
# The native command's pictures of the textured corpus, then the plug-in's test against them;
# skipped without build/native's qavren or the corpus. Usage: textured_test.sh SOURCE_DIR BUILD_DIR
set -eu
source=$1 build=$2 qavren=$1/build/native/tools/qavren corpus=$1/../shared/corpus/textured
if [ ! -x "$qavren" ] || [ ! -d "$corpus/assimp_boxuv" ]; then echo "textured_test: skipped"; exit 0; fi
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT && cd "$build"
cp -r "$corpus/assimp_boxuv" "$work/wide-日本"  # an object beside its image, below a name only UTF-16 carries
"$qavren" render -q -r --shaded -s 96x72 --format bmp -d "$work/on" "$corpus" || true
"$qavren" render -q -r --shaded --no-textures -s 96x72 --format bmp -d "$work/off" "$corpus" || true
QAVREN_TEXTURED_BMP_DIR=$work "$source/tests/wine/wine-run" "$build/wineprefix" tests/picture_tests.exe \
    --gtest_filter=GetPictureTest.TexturedObjectsByFileNameMatchTheNativeCommand
