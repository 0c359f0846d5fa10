#!/usr/bin/env bash
# The program as a user gets it, from the build folder BUILD:
#   install_test.sh install BUILD  cmake --install into an empty prefix
#   install_test.sh man BUILD      the man page passes mandoc's lint
#   install_test.sh package BUILD  the Debian package: lintian finds nothing, a
#                                  second build under umask 077 gives the same
#                                  bytes, and unpacked into an empty root it
#                                  holds what it should and converts
#   install_test.sh hardening BUILD the binary has Debian's hardening
#   install_test.sh formula BUILD  the Homebrew formula is valid Ruby
# Exits 77 (a skip for ctest) when a tool it needs is missing.
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/note2md-install-XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; exit 1; }
need() {
  command -v "$1" >/dev/null ||
    { echo "SKIP: $1 is not installed (Debian package ${2:-$1}; ${3:+Homebrew formula $3}${3:-none for macOS})"; exit 77; }
}
# Written for the bash of macOS (3.2) too.

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
  need mandoc mandoc mandoc
  page="$build/doc/note2md.1"
  lint=$(mandoc -Tlint -Wwarning "$page" 2>&1) || fail "mandoc -Tlint: $lint"
  [ -z "$lint" ] || fail "mandoc -Tlint: $lint"
  grep -q "^\.Os note2md $version\$" "$page" || fail "the man page does not show version $version"
  ;;
package)
  [ "$(uname)" = Linux ] || { echo "SKIP: the Debian package is built on Linux only"; exit 77; }
  need dpkg-deb
  need dpkg-shlibdeps
  need lintian
  cmake --build "$build" --target deb >/dev/null || fail "the deb target failed"
  deb=$(ls "$build"/note2md_"$version"_*.deb) || fail "no note2md_${version}_ARCH.deb"
  cp "$deb" "$work/first.deb"
  (umask 077 && cmake --build "$build" --target deb >/dev/null) || fail "the deb target failed under umask 077"
  cmp -s "$deb" "$work/first.deb" || fail "a second build of the package under umask 077 differs"
  # Warnings count as much as errors; overrides carry their reasons.
  report=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $report"
  [ "$(dpkg-deb -f "$deb" Package Version Section Multi-Arch)" = "Package: note2md
Version: $version
Section: utils
Multi-Arch: foreign" ] || fail "unexpected control fields: $(dpkg-deb -f "$deb")"
  # Captured first: grep -q would stop reading early and fail the pipe.
  fields=$(dpkg-deb -f "$deb" Maintainer Description)
  [[ $fields == *"Maintainer: "?*"Description: "?* ]] || fail "no Maintainer or Description: $fields"
  mkdir "$work/root"
  dpkg-deb -x "$deb" "$work/root"
  for file in usr/bin/note2md usr/share/man/man1/note2md.1.gz usr/share/doc/note2md/copyright \
              usr/share/doc/note2md/changelog.gz; do
    [ -f "$work/root/$file" ] || fail "the package does not hold /$file"
  done
  gzip -dc "$work/root/usr/share/man/man1/note2md.1.gz" >"$work/note2md.1"
  grep -q "^\.Os note2md $version\$" "$work/note2md.1" || fail "the packaged man page does not show version $version"
  converts "$work/root/usr/bin/note2md"
  ;;
hardening)
  [ "$(uname)" = Linux ] || { echo "SKIP: hardening-check reads ELF binaries only"; exit 77; }
  need hardening-check devscripts
  grep -q '^CMAKE_BUILD_TYPE:STRING=Debug$' "$build/CMakeCache.txt" &&
    { echo "SKIP: a Debug build is not optimised, so its string functions are not checked"; exit 77; }
  report=$(hardening-check --nocfprotection "$build/note2md") || fail "hardening-check: $report"
  # hardening-check knows only the looped form of stack-clash probes; the
  # unrolled one is there wherever a frame is larger than a page: the stack
  # pointer goes down a page and touches it, by "or $0x0" (g++) or
  # "mov $0x0" (clang).
  probes=$(objdump -d --no-show-raw-insn "$build/note2md" |
    awk '/sub +\$0x1000,%rsp/ { page = 1; next } page && /(or|mov)q? +\$0x0,\(%rsp\)/ { n++ } { page = 0 }
         END { print n + 0 }')
  [ "$probes" -gt 0 ] || fail "no stack-clash probe in the binary"
  ;;
formula)
  need ruby ruby ruby
  check=$(ruby -c "$source_dir/packaging/homebrew/note2md.rb" 2>&1) || fail "ruby -c: $check"
  ;;
*)
  fail "unknown mode $mode"
  ;;
esac
echo "ok: $mode"
