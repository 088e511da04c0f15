#!/bin/sh
# A real consumer of the thumbnailer: tumbler, the thumbnail service of XFCE
# and its file manager, on a private session bus, with qavren's thumbnailer
# entry and MIME package installed into a scratch prefix on XDG_DATA_DIRS.
# Several clients queue the same objects at once, each more than once and at
# the normal and large sizes, as a zoomed-in file manager does, in a few
# rounds of fresh copies (a clash of duplicate saves is a matter of luck in
# any one round): every valid
# object gets its thumbnail at both sizes, a whole PNG holding the very
# picture `qavren thumbnail` draws; no request reports an error for it; no
# unfinished file stays in the cache or the temporary folder; a broken object
# gets an Error and no thumbnail, and the service lives on.
# Usage: tumbler_test.sh BUILD_DIR SOURCE_DIR
set -eu
if [ "${1:-}" = --on-bus ]; then
    shift
    on_bus=yes
else
    on_bus=no
fi
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
fail() { echo "tumbler_test: $*" >&2; exit 1; }
skip() { echo "tumbler_test: skipped: $*"; exit 0; }
clients=6
rounds=4

if [ $on_bus = no ]; then
    ls /usr/lib/*/tumbler-1/tumblerd >/dev/null 2>&1 || skip "tumbler is not installed (scripts/bootstrap installs it)"
    for tool in dbus-run-session gdbus update-mime-database md5sum; do
        command -v $tool >/dev/null || skip "$tool is missing"
    done
    /usr/bin/python3 -c 'from gi.repository import Gio' 2>/dev/null || skip "python3-gi is missing"
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cmake --install "$build" --prefix "$work/prefix" >/dev/null
    update-mime-database "$work/prefix/share/mime" 2>/dev/null
    mkdir -p "$work/home" "$work/cache" "$work/tmp"
    r=1
    while [ $r -le $rounds ]; do
        mkdir -p "$work/objects/$r"
        cp "$source/examples/torus.lwo" "$work/objects/$r/torus.lwo"
        cp "$source/examples/sphere.lwo" "$work/objects/$r/SPHERE.LWO"
        cp "$source/examples/cube.lwo" "$work/objects/$r/cube-without-extension"
        printf 'FORM\000\000\000\004LWOB' >"$work/objects/$r/broken.lwo"
        r=$((r + 1))
    done
    # The service finds the thumbnailer and qavren as a desktop would: on
    # XDG_DATA_DIRS and PATH. Nothing of the user's is touched; the
    # service's own messages are kept for the checks.
    env -i PATH="$work/prefix/bin:/usr/bin:/bin" HOME="$work/home" XDG_CACHE_HOME="$work/cache" \
        XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
        XDG_DATA_DIRS="$work/prefix/share:/usr/local/share:/usr/share" TMPDIR="$work/tmp" WORK="$work" \
        dbus-run-session -- sh "$0" --on-bus "$build" "$source" 2>"$work/session.log" ||
        fail "$(cat "$work/session.log")"
    ! grep -E 'Could not save|Corrupt' "$work/session.log" >&2 || fail "tumblerd reported the failures above"
    echo "tumbler_test: 1 passed, 0 failed"
    exit 0
fi

# On the private bus from here; the bus starts tumblerd from its service
# file when the first client calls it, as in a desktop session. Every client
# sends its requests twice at each size before it waits for an answer.
objects="torus.lwo SPHERE.LWO cube-without-extension broken.lwo"
r=1
while [ $r -le $rounds ]; do
    k=1
    while [ $k -le $clients ]; do
        (cd "$WORK/objects/$r" && exec /usr/bin/python3 "$source/tests/cli/thumbnail_client.py" --repeat 2 normal,large \
            $objects >"$WORK/answers.$r.$k" 2>&1) &
        k=$((k + 1))
    done
    wait
    r=$((r + 1))
done
cat "$WORK"/answers.* >"$WORK/answers"
answered() { grep -qx "$1" "$WORK/answers" || fail "$2: $(cat "$WORK/answers")"; }
answered 'type torus.lwo image/x-lwo' "*.lwo is not image/x-lwo"
answered 'type SPHERE.LWO image/x-lwo' "*.LWO is not image/x-lwo"
answered 'type cube-without-extension image/x-lwo' "the LWOB header is not detected as image/x-lwo"
! grep -q '^timeout' "$WORK/answers" || fail "a client waited in vain: $(cat "$WORK/answers")"
for flavor in normal large; do
    [ "$(grep -cx "finished $flavor" "$WORK/answers")" -eq $((2 * clients * rounds)) ] ||
        fail "not every $flavor request finished: $(cat "$WORK/answers")"
done

uri() { echo "file://$WORK/objects/$1"; }
thumbnail() { echo "$XDG_CACHE_HOME/thumbnails/$1/$(printf %s "$(uri "$2")" | md5sum | cut -c1-32).png"; }
expected=""
r=1
while [ $r -le $rounds ]; do
    for name in torus.lwo SPHERE.LWO cube-without-extension; do
        for flavor in normal large; do
            ! grep "^error $flavor $(uri $r/$name) " "$WORK/answers" >&2 || fail "errors for the $flavor thumbnail of $r/$name"
            answered "ready $flavor $(uri $r/$name)" "no $flavor thumbnail made of $r/$name"
            expected="$expected $(thumbnail $flavor $r/$name)"
        done
    done
    grep -q "^error normal $(uri $r/broken.lwo) " "$WORK/answers" || fail "no Error for the broken object: $(cat "$WORK/answers")"
    [ ! -e "$(thumbnail normal $r/broken.lwo)" ] || fail "a thumbnail of the broken object"
    r=$((r + 1))
done
# Whole pictures of the size asked (tumbler re-encodes them as RGBA), and
# nothing else: no unfinished file in the cache, none in the temporary
# folder where the service has the thumbnailer write.
/usr/bin/python3 "$source/tests/cli/png_check.py" $expected || fail "a cached thumbnail is not a whole PNG"
found=$(cd "$XDG_CACHE_HOME/thumbnails" && find . -type f | sort | tr '\n' ' ')
wanted=$(for t in $expected; do echo "./${t#"$XDG_CACHE_HOME/thumbnails/"}"; done | sort | tr '\n' ' ')
[ "$found" = "$wanted" ] || fail "the cache holds $found, not $wanted"
[ -z "$(ls -A "$TMPDIR")" ] || fail "left in the temporary folder: $(ls -A "$TMPDIR")"
# The cached picture holds the pixels qavren draws, re-encoded by tumbler.
if command -v convert >/dev/null; then
    for flavor in normal:128 large:256; do
        qavren thumbnail -s "${flavor#*:}" "$WORK/objects/1/torus.lwo" "$WORK/direct.png"
        convert "$WORK/direct.png" rgb:"$WORK/direct.rgb"
        convert "$(thumbnail "${flavor%:*}" 1/torus.lwo)" -alpha off rgb:"$WORK/cached.rgb"
        cmp -s "$WORK/direct.rgb" "$WORK/cached.rgb" || fail "the ${flavor%:*} thumbnail is not qavren's picture"
    done
fi
# The service lives on and still answers.
gdbus call --session --dest org.freedesktop.thumbnails.Thumbnailer1 --object-path /org/freedesktop/thumbnails/Thumbnailer1 \
    --method org.freedesktop.thumbnails.Thumbnailer1.GetFlavors >/dev/null || fail "tumblerd no longer answers"
