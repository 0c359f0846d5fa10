#!/usr/bin/env bash
# The program as a user gets it, from the build folder BUILD:
#   install_test.sh install BUILD   cmake --install into an empty prefix
#   install_test.sh man BUILD       the man page passes mandoc's lint
#   install_test.sh package BUILD   the Debian package: lintian finds nothing, a
#                                   second build under umask 077 gives the same
#                                   bytes, and unpacked into an empty root it
#                                   holds what it should and converts
#   install_test.sh hardening BUILD the binary has Debian's hardening
#   install_test.sh formula BUILD   the Homebrew formula is valid Ruby
#   install_test.sh source BUILD    the scripts read the source tree in a git
#                                   checkout that another user owns, and
#                                   without git, as a source archive has it
mode=$1
build=$(cd "$2" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
. "$source_dir/tests/harness.sh"
work=$scratch
# NOTE2MD_VERSION (packaging/release-facts.cmake).
. "$build/release-facts.sh" || exit 1
version=$NOTE2MD_VERSION

# converts BINARY: an example converts to what is stored beside it.
converts() {
  expect "$1: record" "$(cat "$source_dir/examples/meeting-notes.record")" \
    "$("$1" "$source_dir/examples/meeting-notes.txt" "$work/out.md" HSAXL)"
  ok "$1: Markdown" cmp -s "$work/out.md" "$source_dir/examples/meeting-notes.md"
}

case $mode in
install)
  cmake --install "$build" --prefix "$work/prefix" >/dev/null
  for file in bin/note2md share/man/man1/note2md.1 share/doc/note2md/README.md share/doc/note2md/LICENSE \
              share/doc/note2md/LICENSE.ICU share/doc/note2md/copyright; do
    ok "cmake --install installs $file" test -f "$work/prefix/$file"
  done
  converts "$work/prefix/bin/note2md"
  ;;
man)
  need mandoc mandoc mandoc
  expect "mandoc -Tlint" "" "$(mandoc -Tlint -Wwarning "$build/doc/note2md.1" 2>&1)"
  ok "the man page shows version $version" grep -q "^\.Os note2md $version\$" "$build/doc/note2md.1"
  ;;
package)
  [ "$(uname)" = Linux ] || skip "the Debian package is built on Linux only"
  for tool in dpkg-deb dpkg-shlibdeps lintian; do need "$tool"; done
  ok "the deb target" cmake --build "$build" --target deb >/dev/null
  deb=$build/note2md_${version}_$(dpkg --print-architecture).deb
  cp "$deb" "$work/first.deb" || exit 1
  ok "the deb target under umask 077" sh -c "umask 077 && cmake --build '$build' --target deb >/dev/null"
  ok "a second build of the package under umask 077 is the same" cmp -s "$deb" "$work/first.deb"
  # Warnings count as much as errors; overrides carry their reasons.
  ok "lintian finds nothing" lintian --fail-on error,warning "$deb"
  expect "control fields" "Package: note2md
Version: $version
Section: utils
Multi-Arch: foreign" "$(dpkg-deb -f "$deb" Package Version Section Multi-Arch)"
  expect "Maintainer and Description" yes \
    "$([[ $(dpkg-deb -f "$deb" Maintainer Description) == *"Maintainer: "?*"Description: "?* ]] && echo yes)"
  mkdir "$work/root" && dpkg-deb -x "$deb" "$work/root"
  for file in usr/bin/note2md usr/share/man/man1/note2md.1.gz usr/share/doc/note2md/copyright \
              usr/share/doc/note2md/changelog.gz; do
    ok "the package holds /$file" test -f "$work/root/$file"
  done
  ok "the packaged man page shows version $version" \
    sh -c "gzip -dc '$work/root/usr/share/man/man1/note2md.1.gz' | grep -q '^\.Os note2md $version\$'"
  converts "$work/root/usr/bin/note2md"
  ;;
hardening)
  [ "$(uname)" = Linux ] || skip "hardening-check reads ELF binaries only"
  need hardening-check devscripts
  grep -q '^CMAKE_BUILD_TYPE:STRING=Debug$' "$build/CMakeCache.txt" &&
    skip "a Debug build is not optimised, so its string functions are not checked"
  ok "hardening-check" hardening-check --quiet --nocfprotection "$build/note2md"
  # hardening-check knows only the looped form of stack-clash probes; the
  # unrolled one is there wherever a frame is larger than a page: the stack
  # pointer goes down a page and touches it, by "or $0x0" (g++) or
  # "mov $0x0" (clang).
  probes=$(objdump -d --no-show-raw-insn "$build/note2md" |
    awk '/sub +\$0x1000,%rsp/ { page = 1; next } page && /(or|mov)q? +\$0x0,\(%rsp\)/ { n++ } { page = 0 }
         END { print n + 0 }')
  ok "stack-clash probes in the binary" test "$probes" -gt 0
  ;;
formula)
  need ruby ruby ruby
  ok "ruby -c accepts the formula" ruby -c "$source_dir/packaging/homebrew/note2md.rb"
  ;;
source)
  # A CI container's steps run as root in a checkout that the runner's user
  # owns, which git refuses unless told to trust it. This commit's files as a
  # checkout of another user's, with an untracked file and the build folders
  # that .gitignore leaves out; then the same files without .git.
  need git
  [ -e "$source_dir/.git" ] || skip "the source is not a git checkout"
  . "$source_dir/scripts/deps.sh"
  tree=$work/tree
  mkdir "$tree" && (cd "$source_dir" && tree_git archive HEAD) | tar -xf - -C "$tree" || exit 1
  (cd "$source_dir" && tree_git ls-tree -r --name-only HEAD && echo notes.txt) | LC_ALL=C sort >"$work/expected"
  (cd "$tree" && git -c init.defaultBranch=main init -q && git add -A &&
    GIT_COMMITTER_DATE="1600000000 +0000" git -c user.name=test -c user.email=test@example.invalid \
      commit -q --no-verify -m tree) || exit 1
  mkdir "$tree/build-x" "$tree/dist" && touch "$tree/build-x/CMakeCache.txt" "$tree/dist/SHA256SUMS" "$tree/notes.txt"
  # Another user's for real as root; otherwise git's own switch makes it take the tree for one.
  if [ "$(id -u)" -eq 0 ]; then chown -R 1001:1001 "$tree"; else export GIT_TEST_ASSUME_DIFFERENT_OWNER=1; fi
  # What differs from the files expected, if anything.
  listed() { (cd "$tree" && tree_files) | diff "$work/expected" -; }
  expect "git lists a checkout that another user owns" "" "$(listed)"
  expect "the release date is the commit's in a checkout that another user owns" 1600000000 \
    "$(env -u SOURCE_DATE_EPOCH cmake -DSOURCE="$tree" -DFACTS="$work/facts.sh" \
      -P "$source_dir/packaging/release-facts.cmake" && . "$work/facts.sh" && echo "$SOURCE_DATE_EPOCH")"
  rm -rf "$tree/.git"
  expect "find lists the same files without git" "" "$(listed)"
  ;;
esac
finish
