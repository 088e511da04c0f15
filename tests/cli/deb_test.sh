#!/bin/sh
# The Debian package of the native tree: built by cpack -G DEB, named
# qavren_VERSION_ARCH.deb, holding only the command and its desktop files
# under /usr, with no maintainer script (shared-mime-info's dpkg trigger
# rebuilds the MIME database); then installed into and removed from a
# private dpkg root, which must end as empty as it began.
# Usage: deb_test.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
fail() { echo "deb_test: $*" >&2; exit 1; }
for tool in dpkg dpkg-deb dpkg-shlibdeps; do
    command -v $tool >/dev/null || { echo "deb_test: skipped: $tool is missing"; exit 0; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || fail "cpack: $(cat "$work/cpack.log")"
version=$("$build/tools/qavren" --version | sed 's/^qavren //')
deb="$work/out/qavren_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work/out")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = qavren ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version), the command says $version"
field Depends | grep -q libdeflate0 || fail "Depends lacks the PNG encoder's library: $(field Depends)"

dpkg-deb -c "$deb" >"$work/listing"
awk '{print $6}' "$work/listing" | sort >"$work/contents"
for f in ./usr/bin/qavren ./usr/share/thumbnailers/qavren.thumbnailer ./usr/share/mime/packages/qavren-lwo.xml \
    ./usr/share/man/man1/qavren.1.gz ./usr/share/doc/qavren/copyright ./usr/share/doc/qavren/changelog.gz; do
    grep -qx "$f" "$work/contents" || fail "$f missing: $(cat "$work/contents")"
done
! grep -v '^\./usr/' "$work/contents" || fail "files outside /usr"
grep -q '^-rwxr-xr-x root/root .* \./usr/bin/qavren$' "$work/listing" || fail "usr/bin/qavren is not root's and executable"
# The changelog's latest entry is this version; the copyright is LICENSE's.
dpkg-deb --fsys-tarfile "$deb" | tar -xf - -C "$work" ./usr/share/doc/qavren ./usr/share/man/man1
gzip -dc "$work/usr/share/doc/qavren/changelog.gz" | head -n 1 | grep -q "^qavren ($version) " ||
    fail "the changelog's latest entry is not $version: $(gzip -dc "$work/usr/share/doc/qavren/changelog.gz" | head -n 1)"
grep -q '^License: Expat$' "$work/usr/share/doc/qavren/copyright" || fail "the copyright names no Expat (MIT) licence"
grep -q ' THE SOFTWARE IS PROVIDED "AS IS"' "$work/usr/share/doc/qavren/copyright" || fail "the copyright lacks LICENSE's terms"
gzip -dc "$work/usr/share/man/man1/qavren.1.gz" | grep -q '^\.SH "EXIT STATUS"' || fail "the manual page has no exit status"

# No maintainer scripts: the MIME database is dpkg's trigger's business.
dpkg-deb -e "$deb" "$work/control"
for script in preinst postinst prerm postrm; do
    [ ! -e "$work/control/$script" ] || fail "a $script script"
done
triggers=/var/lib/dpkg/info/shared-mime-info.triggers
if [ -f $triggers ]; then
    grep -q '^interest-noawait /usr/share/mime/packages$' $triggers || fail "shared-mime-info watches no /usr/share/mime/packages"
fi

# Install and remove in a private root: every file goes and comes back.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg="dpkg --root=$root --force-depends --force-script-chrootless --log=/dev/null"
$dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$work/dpkg.log")"
[ -x "$root/usr/bin/qavren" ] || fail "dpkg -i installed no usr/bin/qavren"
"$root/usr/bin/qavren" --version >/dev/null || fail "the installed qavren does not run"
$dpkg -r qavren >"$work/dpkg.log" 2>&1 || fail "dpkg -r: $(cat "$work/dpkg.log")"
[ -z "$(find "$root" -path "$root/var" -prune -o -print | grep -v "^$root\$")" ] ||
    fail "left after removal: $(find "$root" -path "$root/var" -prune -o -print)"
echo "deb_test: 1 passed, 0 failed"
