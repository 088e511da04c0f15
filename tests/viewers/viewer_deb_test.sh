#!/bin/sh
# The viewer plug-ins' Debian packages, made by cpack with components from
# this tree's own package config and viewers/packaging.cmake: their names,
# contents, dependencies, no maintainer scripts, lintian with no error or
# warning, then installed into and removed from a private dpkg root, which
# must end as empty as it began.
# Usage: viewer_deb_test.sh BUILD_DIR SOURCE_DIR COMPONENT...
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
shift 2
fail() { echo "viewer_deb_test: $*" >&2; exit 1; }
for tool in dpkg dpkg-deb dpkg-shlibdeps; do
    command -v $tool >/dev/null || { echo "viewer_deb_test: skipped: $tool is missing"; exit 0; }
done
work=$(mktemp -d)
trap '[ -n "${KEEP_DEBS:-}" ] && cp "$work"/out/*.deb "$KEEP_DEBS"/; rm -rf "$work"' EXIT

# The packages of the given components only, each with its own summary.
cat >"$work/config.cmake" <<CONFIG
include("$build/CPackConfig.cmake")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL $*)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "\${CPACK_DEFAULT_PACKAGE_DESCRIPTION_SUMMARY}")
include("$source/viewers/packaging.cmake")
CONFIG
(cd "$build" && cpack --config "$work/config.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
    fail "cpack: $(cat "$work/cpack.log")"
version=$("$build/tools/qavren" --version | sed 's/^qavren //')
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)

# Per component: the package, the files it must hold, what it must depend on.
expect() {
    case $1 in
    gdk-pixbuf) package=qavren-gdk-pixbuf
        files="./usr/lib/$multiarch/gdk-pixbuf-2.0/2.10.0/loaders/libpixbufloader-lwo.so"
        depends="libgdk-pixbuf-2.0-0 qavren" ;;
    kde) package=qavren-kde
        files="./usr/lib/$multiarch/qt5/plugins/imageformats/libqavren_lwo.so"
        [ ! -f "$build/viewers/qt5/kf5/thumbcreator/qavrenthumbnail.so" ] ||
            files="$files ./usr/lib/$multiarch/qt5/plugins/kf5/thumbcreator/qavrenthumbnail.so"
        [ ! -f "$build/viewers/qt6/imageformats/libqavren_lwo.so" ] ||
            files="$files ./usr/lib/$multiarch/qt6/plugins/imageformats/libqavren_lwo.so"
        depends="libqt5gui5" ;;
    *) fail "no expectations for component $1" ;;
    esac
    files="$files ./usr/share/doc/$package/copyright ./usr/share/doc/$package/changelog.gz"
}

debs=""
for component in "$@"; do
    expect "$component"
    deb="$work/out/${package}_${version}_${arch}.deb"
    [ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work/out")"
    debs="$debs $deb"
    [ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "$package: package name $(dpkg-deb -f "$deb" Package)"
    summary=$(dpkg-deb -f "$deb" Description | head -1)
    case $summary in *LightWave*) ;; *) fail "$package: summary '$summary'" ;; esac
    for d in $depends; do
        dpkg-deb -f "$deb" Depends | grep -q "$d" || fail "$package: Depends lacks $d: $(dpkg-deb -f "$deb" Depends)"
    done
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/contents"
    printf '%s\n' $files | sort >"$work/expected"
    cmp -s "$work/contents" "$work/expected" || fail "$package holds: $(cat "$work/contents")"
    rm -rf "$work/control" && dpkg-deb -e "$deb" "$work/control"
    for script in preinst postinst prerm postrm; do
        [ ! -e "$work/control/$script" ] || fail "$package: a $script script"
    done
    if command -v lintian >/dev/null; then
        lintian --fail-on error,warning --suppress-tags bad-distribution-in-changes-file "$deb" \
            >"$work/lintian.log" 2>&1 || fail "lintian on $package: $(cat "$work/lintian.log")"
    else
        echo "viewer_deb_test: lintian is missing, not run"
    fi
done

# gdk-pixbuf's trigger on its loader folder is what refreshes the cache.
triggers=$(ls /var/lib/dpkg/info/libgdk-pixbuf-2.0-0*.triggers 2>/dev/null | head -1)
if [ -n "$triggers" ]; then
    grep -q "^interest-noawait /usr/lib/$multiarch/gdk-pixbuf-2.0/2.10.0/loaders\$" "$triggers" ||
        fail "gdk-pixbuf watches no loader folder of ours"
fi

root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg="dpkg --root=$root --force-depends --force-script-chrootless --log=/dev/null"
# shellcheck disable=SC2086
$dpkg -i $debs >"$work/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$work/dpkg.log")"
for component in "$@"; do
    expect "$component"
    for f in $files; do [ -f "$root/$f" ] || fail "dpkg -i installed no $f"; done
    $dpkg -r "$package" >"$work/dpkg.log" 2>&1 || fail "dpkg -r $package: $(cat "$work/dpkg.log")"
done
[ -z "$(find "$root" -path "$root/var" -prune -o -print | grep -v "^$root\$")" ] ||
    fail "left after removal: $(find "$root" -path "$root/var" -prune -o -print)"
echo "viewer_deb_test: $# passed, 0 failed"
