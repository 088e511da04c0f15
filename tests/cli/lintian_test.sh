#!/bin/sh
# lintian, Debian's package checker, on every package one `cpack -G DEB` run
# makes (the command's, and the viewers' where the tree builds them): no
# error and no warning, and none of the hardening tags --pedantic -I shows
# (the binaries are built with dpkg-buildflags' hardening flags). Skipped
# where lintian is not installed, as the tumbler test is without tumbler.
# Usage: lintian_test.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
fail() { echo "lintian_test: $*" >&2; exit 1; }
skip() { echo "lintian_test: skipped: $*"; exit 0; }
for tool in lintian dpkg-deb dpkg-shlibdeps; do
    command -v $tool >/dev/null || skip "$tool is not installed (scripts/bootstrap installs it)"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || fail "cpack: $(cat "$work/cpack.log")"
n=0
for deb in "$work"/out/*.deb; do
    [ -f "$deb" ] || fail "cpack made no package: $(cat "$work/cpack.log")"
    n=$((n + 1))
    name=$(basename "$deb")
    # Status 1 means tags of the --fail-on levels, shown below; above 1,
    # lintian itself failed.
    status=0
    lintian --pedantic --display-info --tag-display-limit 0 --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
        status=$?
    [ $status -le 1 ] || fail "lintian could not check $name (status $status): $(cat "$work/lintian.log")"
    ! grep -E '^[EW]: ' "$work/lintian.log" >&2 || fail "$name: the errors and warnings above"
    ! grep -E ' hardening-no-(bindnow|relro|pie)' "$work/lintian.log" >&2 ||
        fail "$name is not hardened as Debian builds packages"
    # lintian sees fortification only where a binary calls a checked
    # function (__memcpy_chk and the like), which needs a size known when
    # compiling: the command does; a plug-in whose copies all have sizes
    # known only at run time shows the tag although it was built fortified.
    case $name in
    qavren_*) ! grep -E ' hardening-no-fortify-functions' "$work/lintian.log" >&2 ||
        fail "$name is not built with fortified functions" ;;
    esac
    # The fields a person reads first: a summary that is no placeholder.
    summary=$(dpkg-deb -f "$deb" Description | head -n 1)
    case "$summary" in
    *"built using CMake"* | "") fail "$name has no summary of its own: '$summary'" ;;
    esac
done
echo "lintian_test: $n passed, 0 failed"
