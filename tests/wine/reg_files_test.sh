#!/bin/sh
# The .reg files of the ZIP, imported with Wine's regedit as a user
# double-clicking them would: NewerFormsOn makes the module support an LWO2
# object, NewerFormsOff takes that back, and an LWOB object stays supported;
# ThreeQuarterView turns the cube's picture, FrontView gives the front view back;
# ShadedOn changes the polygons' picture, ShadedOff gives the flat one back.
#   reg_files_test.sh SOURCE_DIR BUILD_DIR MODULE
set -eu
source=$1 build=$2 module=$3
run="$source/tests/wine/wine-run $build/wineprefix"
work=$(mktemp -d "$build/reg-files.XXXXXX")
trap 'rm -rf "$work"' EXIT
$run "$build/tools/lwogen.exe" lwo2 cube "$work/cube2.lwo"
$run "$build/tools/lwogen.exe" cube "$work/cube.lwo"
expect() {  # FILE ANSWER
    answer=$($run "$build/tools/spihost.exe" "$module" check "$1" | tr -d '\r' | grep 'IsSupported(file handle)')
    [ "$answer" = "IsSupported(file handle): $2" ] || { echo "$1: $answer, expected $2" >&2; exit 1; }
}
$run regedit /S "$build/packaging/NewerFormsOff.reg"
expect "$work/cube2.lwo" 0
$run regedit /S "$build/packaging/NewerFormsOn.reg"
expect "$work/cube2.lwo" 1
expect "$work/cube.lwo" 1
$run regedit /S "$build/packaging/NewerFormsOff.reg"
expect "$work/cube2.lwo" 0
expect "$work/cube.lwo" 1
picture() {  # NAME
    $run "$build/tools/spihost.exe" "$module" picture "$work/cube.lwo" "$work/$1.bmp" >/dev/null
}
$run regedit /S "$build/packaging/FrontView.reg"
picture front
$run regedit /S "$build/packaging/ThreeQuarterView.reg"
picture turned
$run regedit /S "$build/packaging/FrontView.reg"
picture front-again
cmp -s "$work/front.bmp" "$work/turned.bmp" && { echo "ThreeQuarterView.reg did not turn the cube" >&2; exit 1; }
cmp "$work/front.bmp" "$work/front-again.bmp" || { echo "FrontView.reg did not give the front view back" >&2; exit 1; }
$run reg add 'HKCU\Software\Oru\Susie Plug-in\QAVREN\Draw Image' /v Type /t REG_DWORD /d 1 /f >/dev/null
$run regedit /S "$build/packaging/ShadedOff.reg"
picture flat
$run regedit /S "$build/packaging/ShadedOn.reg"
picture shaded
$run regedit /S "$build/packaging/ShadedOff.reg"
picture flat-again
cmp -s "$work/flat.bmp" "$work/shaded.bmp" && { echo "ShadedOn.reg did not shade the cube" >&2; exit 1; }
cmp "$work/flat.bmp" "$work/flat-again.bmp" || { echo "ShadedOff.reg did not give the flat polygons back" >&2; exit 1; }
echo "1 passed, 0 failed"
