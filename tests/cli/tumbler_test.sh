#!/bin/sh
# A real consumer of the thumbnailer: tumbler, the thumbnail service of XFCE
# and its file manager, on a private session bus, with qavren's thumbnailer
# entry and MIME package installed into a scratch prefix on XDG_DATA_DIRS.
# A small client queues objects through org.freedesktop.thumbnails.
# Thumbnailer1 and watches its signals: a valid object gets its thumbnail in
# the cache, the very picture `qavren thumbnail` draws; a broken one gets an
# Error and no thumbnail, and the service lives on.
# Usage: tumbler_test.sh BUILD_DIR SOURCE_DIR
set -eu
if [ "${1:-}" = --on-bus ]; then
    shift
    on_bus=yes
else
    on_bus=no
fi
build=$1
source=$2
fail() { echo "tumbler_test: $*" >&2; exit 1; }
skip() { echo "tumbler_test: skipped: $*"; exit 0; }

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
    mkdir -p "$work/home" "$work/cache" "$work/objects"
    cp "$source/examples/torus.lwo" "$work/objects/torus.lwo"
    cp "$source/examples/cube.lwo" "$work/objects/cube-without-extension"
    printf 'FORM\000\000\000\004LWOB' >"$work/objects/broken.lwo"
    # The service finds the thumbnailer and qavren as a desktop would: on
    # XDG_DATA_DIRS and PATH. Nothing of the user's is touched.
    env -i PATH="$work/prefix/bin:/usr/bin:/bin" HOME="$work/home" XDG_CACHE_HOME="$work/cache" \
        XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
        XDG_DATA_DIRS="$work/prefix/share:/usr/local/share:/usr/share" WORK="$work" \
        dbus-run-session -- sh "$0" --on-bus "$build" "$source"
    echo "tumbler_test: 1 passed, 0 failed"
    exit 0
fi

# On the private bus from here; the bus starts tumblerd from its service
# file when the client first calls it, as in a desktop session.
/usr/bin/python3 "$source/tests/cli/thumbnail_client.py" normal "$WORK/objects/torus.lwo" \
    "$WORK/objects/cube-without-extension" "$WORK/objects/broken.lwo" >"$WORK/answers" 2>&1 ||
    fail "the client failed: $(cat "$WORK/answers")"
answered() { grep -qx "$1" "$WORK/answers" || fail "$2: $(cat "$WORK/answers")"; }
answered 'type torus.lwo image/x-lwo' "*.lwo is not image/x-lwo"
answered 'type cube-without-extension image/x-lwo' "the LWOB header is not detected as image/x-lwo"
answered finished "no Finished signal"

uri() { echo "file://$WORK/objects/$1"; }
thumbnail() { echo "$XDG_CACHE_HOME/thumbnails/normal/$(printf %s "$(uri "$1")" | md5sum | cut -c1-32).png"; }
for name in torus.lwo cube-without-extension; do
    answered "ready $(uri $name)" "no thumbnail made of $name"
    t=$(thumbnail $name)
    [ -s "$t" ] || fail "no thumbnail of $name in the cache"
    [ "$(head -c 4 "$t" | tail -c 3)" = PNG ] || fail "the thumbnail of $name is no PNG"
done
# The cached picture holds the pixels qavren draws, re-encoded by tumbler.
if command -v convert >/dev/null; then
    qavren thumbnail -s 128 "$WORK/objects/torus.lwo" "$WORK/direct.png"
    convert "$WORK/direct.png" rgb:"$WORK/direct.rgb"
    convert "$(thumbnail torus.lwo)" -alpha off rgb:"$WORK/cached.rgb"
    cmp -s "$WORK/direct.rgb" "$WORK/cached.rgb" || fail "the cached thumbnail is not qavren's picture"
fi
grep -q "^error $(uri broken.lwo) " "$WORK/answers" || fail "no Error for the broken object: $(cat "$WORK/answers")"
[ ! -e "$(thumbnail broken.lwo)" ] || fail "a thumbnail of the broken object"
# The service lives on and still answers.
gdbus call --session --dest org.freedesktop.thumbnails.Thumbnailer1 --object-path /org/freedesktop/thumbnails/Thumbnailer1 \
    --method org.freedesktop.thumbnails.Thumbnailer1.GetFlavors >/dev/null || fail "tumblerd no longer answers"
