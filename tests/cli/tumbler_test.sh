#!/bin/sh
# A real consumer of the thumbnailer: tumbler, the thumbnail service of XFCE
# and its file manager, on a private session bus, with qavren's thumbnailer
# entry and MIME package installed into a scratch prefix on XDG_DATA_DIRS.
# Several clients queue the same objects at once, each more than once and at
# the normal and large sizes, as a zoomed-in file manager does, in a few
# rounds of fresh copies. What is checked is the thumbnailer's part: every
# request is answered, every valid object gets its thumbnail at both sizes,
# a whole PNG holding the very picture `qavren thumbnail` draws, with no
# error; a broken object gets an Error and no thumbnail, and the service
# lives on. A spy first on PATH logs every run of qavren the service makes:
# each ran as the entry says, succeeded for a valid object, and the runs for
# one object took turns (ended well apart), which is what keeps the service
# from saving one thumbnail twice in the same second. The service's own temporary files
# (<hash>-<n>.png in the cache, named after the second of the save) are its
# business and are not counted; qavren's are.
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
    mkdir -p "$work/home" "$work/cache" "$work/tmp" "$work/spy"
    cat >"$work/spy/qavren" <<SPY
#!/bin/sh
start=\$(date +%s.%N)
"$work/prefix/bin/qavren" "\$@"
status=\$?
echo "\$start \$(date +%s.%N) \$status \$*" >>"$work/runs"
exit \$status
SPY
    chmod +x "$work/spy/qavren"
    r=1
    while [ $r -le $rounds ]; do
        mkdir -p "$work/objects/$r"
        cp "$source/examples/torus.lwo" "$work/objects/$r/torus.lwo"
        cp "$source/examples/sphere.lwo" "$work/objects/$r/SPHERE.LWO"
        cp "$source/examples/cube.lwo" "$work/objects/$r/cube-without-extension"
        printf 'FORM\000\000\000\004LWOB' >"$work/objects/$r/broken.lwo"
        r=$((r + 1))
    done
    # The service finds the thumbnailer and qavren (the spy) as a desktop
    # would: on XDG_DATA_DIRS and PATH. Nothing of the user's is touched.
    env -i PATH="$work/spy:$work/prefix/bin:/usr/bin:/bin" HOME="$work/home" XDG_CACHE_HOME="$work/cache" \
        XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
        XDG_DATA_DIRS="$work/prefix/share:/usr/local/share:/usr/share" TMPDIR="$work/tmp" WORK="$work" \
        dbus-run-session -- sh "$0" --on-bus "$build" "$source" 2>"$work/session.log" ||
        fail "$(cat "$work/session.log")"
    ! grep -E 'Corrupt' "$work/session.log" >&2 || fail "tumblerd could not read a thumbnail: see above"
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
            # The service's own failure to save a result ("Could not save",
            # its same-second temporary names) is its own; any other error is
            # the thumbnailer's.
            ! grep "^error $flavor $(uri $r/$name) " "$WORK/answers" | grep -v ' Could not save thumbnail to ' >&2 ||
                fail "errors for the $flavor thumbnail of $r/$name"
            answered "ready $flavor $(uri $r/$name)" "no $flavor thumbnail made of $r/$name"
            expected="$expected $(thumbnail $flavor $r/$name)"
        done
    done
    grep -q "^error normal $(uri $r/broken.lwo) " "$WORK/answers" || fail "no Error for the broken object: $(cat "$WORK/answers")"
    [ ! -e "$(thumbnail normal $r/broken.lwo)" ] || fail "a thumbnail of the broken object"
    r=$((r + 1))
done
# Whole pictures of the size asked (tumbler re-encodes them as RGBA), and
# no thumbnail but those: none of the broken object, none under another
# name. No unfinished file of qavren's (.NAME.XXXXXX) in the temporary
# folder where the service has the thumbnailer write.
/usr/bin/python3 "$source/tests/cli/png_check.py" $expected || fail "a cached thumbnail is not a whole PNG"
found=$(cd "$XDG_CACHE_HOME/thumbnails" && find . -type f | grep -Ev '/[0-9a-f]{32}-[^/]*[.]png$' | sort | tr '\n' ' ')
wanted=$(for t in $expected; do echo "./${t#"$XDG_CACHE_HOME/thumbnails/"}"; done | sort | tr '\n' ' ')
[ "$found" = "$wanted" ] || fail "the cache holds $found, not $wanted"
[ -z "$(ls -A "$TMPDIR" | grep '^[.]')" ] || fail "left in the temporary folder: $(ls -A "$TMPDIR")"
# The spy's log: START END STATUS ARGUMENTS. Every run is the entry's
# command line and fails exactly for the broken objects. A valid object's
# runs take turns, each ending more than a second after the one before
# (unless it waited its longest, 5 s, and went ahead); the spy notes an end
# only once its `date` has started, late on a loaded machine, so a gap under
# half a second is what counts, and one of them is forgiven: runs that do not
# take turns end together again and again.
awk -v objects="$WORK/objects/" '
    $4 != "thumbnail" || $5 != "--take-turns" || $6 != "-s" || NF != 9 { print "not the entry: " $0; bad = 1; next }
    index($8, objects) != 1 { print "another object: " $0; bad = 1; next }
    ($8 ~ /broken[.]lwo$/) != ($3 != 0) { print "wrong status: " $0; bad = 1; next }
    $3 == 0 { n = ++runs[$8]; end[$8, n] = $2; waited[$8, n] = $2 - $1 >= 4.9; good++ }
    END {
        for (object in runs) {
            for (i = 1; i <= runs[object]; i++) {  # each run against the one that ended last before it
                before = -1
                for (j = 1; j <= runs[object]; j++) {
                    if (j != i && end[object, j] <= end[object, i] && (before < 0 || end[object, j] > end[object, before])) before = j
                }
                if (before > 0 && end[object, i] - end[object, before] < 0.5 && !waited[object, i]) {
                    print "no turn: " object " ended at " end[object, before] " and " end[object, i]
                    close_pairs++
                }
            }
        }
        if (close_pairs > 1) bad = 1
        if (good < 2 * 3 * '"$rounds"') { print "only " good " good runs"; bad = 1 }
        exit bad
    }' "$WORK/runs" >&2 || fail "the thumbnailer's runs, above, are not as they should be"
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
