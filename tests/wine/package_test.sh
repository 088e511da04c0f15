#!/bin/sh
# What a Windows user unpacks from the tree's ZIP: the module of the tree's
# width with a lower-case extension (some hosts load only "*.spi" / "*.sph"
# exactly), an install note that names it and its width, a readme and the
# licence, each with CRLF line ends. Usage: package_test.sh BUILD_DIR BITS
set -eu
build=$1 bits=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

case $bits in
32) module=QAVREN.spi other=QAVREN.sph ;;
64) module=QAVREN.sph other=QAVREN.spi ;;
*) fail "BITS is 32 or 64" ;;
esac
(cd "$build" && cpack -G ZIP -B "$work/out" >/dev/null) || fail "cpack failed"
set -- "$work"/out/QAVREN-*-win$bits.zip
[ -f "$1" ] || fail "no QAVREN-*-win$bits.zip"
(cd "$work" && cmake -E tar xf "$1")
dir=$(basename "$1" .zip)
cd "$work/$dir"
[ "$(ls | LC_ALL=C sort | tr '\n' ' ')" = "FrontView.reg INSTALL.txt LICENSE.txt NewerFormsOff.reg NewerFormsOn.reg $module README.txt ShadedOff.reg ShadedOn.reg ThreeQuarterView.reg qavren_thumbnails.dll " ] ||
    fail "the ZIP holds: $(ls | tr '\n' ' ')"
cmp -s "$module" "$build/$(echo "$module" | tr a-z A-Z)" || fail "$module is not the built module"
grep -q "$module is a plug-in for $bits-bit Windows image viewers" INSTALL.txt || fail "the note does not name $module and $bits bits"
cmp -s qavren_thumbnails.dll "$build/qavren_thumbnails.dll" || fail "qavren_thumbnails.dll is not the built handler"
grep -q 'regsvr32 qavren_thumbnails.dll' INSTALL.txt && grep -q 'regsvr32 /u qavren_thumbnails.dll' INSTALL.txt &&
    grep -q '"Thumbnails"' INSTALL.txt || fail "the note does not say how to register, unregister and clear the thumbnail cache"
grep -q "$other" INSTALL.txt || fail "the note does not point to $other for the other width"
grep -q 'Permission is hereby granted' LICENSE.txt || fail "no licence text"
for note in INSTALL.txt README.txt LICENSE.txt; do
    [ "$(tr -cd '\n' <"$note" | wc -c)" = "$(tr -cd '\r' <"$note" | wc -c)" ] || fail "$note has bare LF line ends"
done
version=${dir#QAVREN-}
version=${version%-win*}
grep -q "^QAVREN $version" README.txt || fail "README.txt does not give the package's version $version"
