#!/bin/sh
# What `cmake --install` gives a desktop: bin/qavren, the thumbnailer entry
# that runs it, and a MIME package that shared-mime-info compiles into a glob
# and the LWOB magic. Usage: install_test.sh BUILD_DIR
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
grep -qx 'Exec=qavren thumbnail -s %s %i %o' "$entry" || fail "wrong Exec line"
grep -qx 'MimeType=image/x-lwo;' "$entry" || fail "wrong MimeType line"

if command -v update-mime-database >/dev/null; then
    update-mime-database "$prefix/share/mime" 2>/dev/null
    grep -q 'image/x-lwo:\*\.lwo' "$prefix/share/mime/globs2" || fail "no *.lwo glob compiled"
    grep -q 'LWOB' "$prefix/share/mime/magic" || fail "no LWOB magic compiled"
fi

# The thumbnailer's own command line, as a desktop runs it.
obj="$prefix/object.lwo"
printf 'FORM\000\000\000\004LWOB' >"$obj"   # LWOB without chunks: refused, exit 1
if "$prefix/bin/qavren" thumbnail -s 64 "$obj" "$prefix/out.png" 2>/dev/null; then
    fail "a thumbnail of a broken object succeeded"
fi
[ ! -e "$prefix/out.png" ] || fail "a failed thumbnail left a file"
echo "install_test: 1 passed, 0 failed"
