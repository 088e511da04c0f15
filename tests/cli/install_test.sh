#!/bin/sh
# What `cmake --install` gives a desktop: bin/qavren, the thumbnailer entry
# that runs it, and a MIME package that adds the objects' header magic to
# shared-mime-info's image/x-lwo without redeclaring it. Usage:
# install_test.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/qavren share/thumbnailers/qavren.thumbnailer share/mime/packages/qavren-lwo.xml; do
    [ -f "$prefix/$f" ] || fail "$f not installed"
done
[ -x "$prefix/bin/qavren" ] || fail "bin/qavren is not executable"
"$prefix/bin/qavren" --version | grep -q '^qavren [0-9]' || fail "installed qavren does not run"

entry="$prefix/share/thumbnailers/qavren.thumbnailer"
grep -qx '\[Thumbnailer Entry\]' "$entry" || fail "no [Thumbnailer Entry] group"
grep -qx 'Exec=qavren thumbnail --take-turns -s %s %i %o' "$entry" || fail "wrong Exec line"
grep -qx 'MimeType=image/x-lwo;' "$entry" || fail "wrong MimeType line"

if command -v update-mime-database >/dev/null; then
    update-mime-database "$prefix/share/mime" 2>/dev/null
    for form in LWOB LWO2 LWO3 LWLO; do
        grep -q "$form" "$prefix/share/mime/magic" || fail "no $form magic compiled"
    done
    # The system's glob and its ~50 translated descriptions stay the only
    # ones: a comment or glob here would hide them.
    ! grep -q 'lwo' "$prefix/share/mime/globs2" || fail "the package redeclares the *.lwo glob"
    ! grep -q '<comment' "$prefix/share/mime/image/x-lwo.xml" || fail "the package redeclares the description"
fi

# The thumbnailer's own command line, as a desktop runs it.
obj="$prefix/object.lwo"
printf 'FORM\000\000\000\004LWOB' >"$obj"   # LWOB without chunks: refused, exit 1
if "$prefix/bin/qavren" thumbnail -s 64 "$obj" "$prefix/out.png" 2>/dev/null; then
    fail "a thumbnail of a broken object succeeded"
fi
[ ! -e "$prefix/out.png" ] || fail "a failed thumbnail left a file"
echo "install_test: 1 passed, 0 failed"
