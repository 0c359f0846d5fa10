#!/usr/bin/env bash
# The program as a user gets it, from the build folder BUILD:
#   install_test.sh install BUILD  cmake --install into an empty prefix
#   install_test.sh man BUILD      the man page passes mandoc's lint
#   install_test.sh package BUILD  cpack's Debian package, unpacked into an
#                                  empty root, holds what it should and converts
# Exits 77 (a skip for ctest) when a tool it needs is missing.
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/note2md-install-XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; exit 1; }
need() { command -v "$1" >/dev/null || { echo "SKIP: $1 is not installed"; exit 77; }; }

# Converts an example with the given binary and compares with what is stored.
converts() {
  local binary=$1 record
  record=$("$binary" "$source_dir/examples/meeting-notes.txt" "$work/out.md" HSAXL) || fail "$binary failed: $record"
  [ "$record" = "$(cat "$source_dir/examples/meeting-notes.record")" ] || fail "unexpected record: $record"
  cmp -s "$work/out.md" "$source_dir/examples/meeting-notes.md" || fail "unexpected Markdown from $binary"
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

case $mode in
install)
  cmake --install "$build" --prefix "$work/prefix" >/dev/null
  for file in bin/note2md share/man/man1/note2md.1 share/doc/note2md/README.md share/doc/note2md/LICENSE \
              share/doc/note2md/LICENSE.ICU share/doc/note2md/copyright; do
    [ -f "$work/prefix/$file" ] || fail "cmake --install did not install $file"
  done
  converts "$work/prefix/bin/note2md"
  ;;
man)
  need mandoc
  page="$build/doc/note2md.1"
  lint=$(mandoc -Tlint -Wwarning "$page" 2>&1) || fail "mandoc -Tlint: $lint"
  [ -z "$lint" ] || fail "mandoc -Tlint: $lint"
  grep -q "^\.Os note2md $version\$" "$page" || fail "the man page does not show version $version"
  ;;
package)
  need dpkg-deb
  need dpkg-shlibdeps
  (cd "$build" && cpack -G DEB -B "$work/cpack" >/dev/null) || fail "cpack -G DEB failed"
  deb=$(ls "$work/cpack"/note2md_"$version"_*.deb) || fail "no note2md_${version}_ARCH.deb"
  [ "$(dpkg-deb -f "$deb" Package Version Section)" = "Package: note2md
Version: $version
Section: utils" ] || fail "unexpected control fields: $(dpkg-deb -f "$deb")"
  # Captured first: grep -q would stop reading early and fail the pipe.
  fields=$(dpkg-deb -f "$deb" Maintainer Description)
  [[ $fields == *"Maintainer: "?*"Description: "?* ]] || fail "no Maintainer or Description: $fields"
  mkdir "$work/root"
  dpkg-deb -x "$deb" "$work/root"
  for file in usr/bin/note2md usr/share/man/man1/note2md.1.gz usr/share/doc/note2md/copyright; do
    [ -f "$work/root/$file" ] || fail "the package does not hold /$file"
  done
  grep -q "^License: ICU" "$work/root/usr/share/doc/note2md/copyright" || fail "the copyright file lacks ICU's licence"
  gzip -dc "$work/root/usr/share/man/man1/note2md.1.gz" >"$work/note2md.1"
  grep -q "^\.Os note2md $version\$" "$work/note2md.1" || fail "the packaged man page does not show version $version"
  converts "$work/root/usr/bin/note2md"
  ;;
*)
  fail "unknown mode $mode"
  ;;
esac
echo "ok: $mode"
