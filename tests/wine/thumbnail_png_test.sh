#!/bin/sh
# End to end: the native command's thumbnail PNG of each sample, at 256, is
# what Explorer gets from the handler of this tree, premultiplied. Needs the
# native tree's qavren (build/native); without it the test is skipped.
# Usage: thumbnail_png_test.sh SOURCE_DIR BUILD_DIR
set -eu
source=$1 build=$2
qavren=$source/build/native/tools/qavren
if [ ! -x "$qavren" ]; then
    echo "thumbnail_png_test: skipped, no native qavren at $qavren"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for object in "$source"/examples/*.lwo; do
    name=$(basename "$object" .lwo)
    "$qavren" thumbnail -s 256 "$object" "$work/$name.png"
    python3 "$source/tests/wine/png_to_bgra.py" "$work/$name.png" "$work/$name.bgra"
done
cd "$build"
QAVREN_THUMBNAIL_PNG_DIR=$work "$source/tests/wine/wine-run" "$build/wineprefix" tests/thumbnail_host_tests.exe \
    --gtest_filter=ThumbnailHost.MatchesTheNativeCommandsPng
