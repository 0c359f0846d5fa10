#!/usr/bin/env bash
# What the hosted macOS jobs run, run here with only the commands a stock
# macOS has on the PATH, stand-ins with the BSD behaviour where Debian's
# differs (bsd/), and as a user without root: every end-to-end script
# against $NOTE2MD (scripts/e2e.sh), then scripts/example.sh in a copy of the tree,
# then a short round of bench/per-note.sh.
# Besides macOS's own commands the PATH holds what a Mac that builds from
# source has too: bash 3.2 and a compiler as Xcode's tools give them,
# cmake, ninja and cmark-gfm as the job installs them with Homebrew, and
# dpkg-query, which deps.sh asks here where it would ask brew on a Mac.
# Usage: scripts/macos-commands.sh   (NOTE2MD set; as root it acts as uid 1001)
set -euo pipefail
NOTE2MD=${NOTE2MD:?set NOTE2MD to the note2md binary}
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
here=$root/tests/e2e
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/tmp" "$work/home" "$work/tree"

macos="awk basename cat chmod chown cmp cp cut dd diff dirname env expr find getconf grep head id ln ls mkdir
mkfifo mktemp mv od readlink rm rmdir seq sh sleep sort tail tee touch tr uname uniq xargs"
for command in $macos bash cmake ninja cmark-gfm dpkg-query; do
  path=$(command -v "$command") || { echo "SKIP: $command is not installed"; exit 77; }
  ln -s "$path" "$work/bin/$command"
done
for command in $(ls "$here/bsd"); do ln -s "$here/bsd/$command" "$work/bin/$command"; done
# Xcode's compiler: clang by its Unix names, and its tools; objcopy for the
# data subset of the Linux build that this is (a Mac links all of ICU's).
ln -s "$(command -v clang)" "$work/bin/cc" && ln -s "$(command -v clang++)" "$work/bin/c++"
for command in ld ar ranlib objcopy; do ln -s "$(command -v "$command")" "$work/bin/$command"; done

cp "$NOTE2MD" "$work/note2md"
(cd "$root" && tree_files | tar -cf - -T -) | tar -xf - -C "$work/tree"
as=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R 1001:1001 "$work" && chmod 755 "$work"
  as=(setpriv --reuid 1001 --regid 1001 --clear-groups)
  # Every script sends output to /dev/null. Where a damaged system lets only
  # root write there, the run gets one of its own, in a mount namespace.
  if ! "${as[@]}" sh -c ': >/dev/null' 2>/dev/null; then
    mknod -m 666 "$work/null" c 1 3
    as=(unshare --mount sh -c 'mount --bind "$0" /dev/null && exec "$@"' "$work/null" "${as[@]}")
  fi
fi
macos_run() {
  "${as[@]+"${as[@]}"}" env -i PATH="$work/bin" HOME="$work/home" TMPDIR="$work/tmp" NOTE2MD="$work/note2md" "$@"
}
macos_run bash "$work/tree/scripts/e2e.sh"
macos_run bash "$work/tree/scripts/example.sh" >"$work/example.log" 2>&1 || { cat "$work/example.log"; exit 1; }
cmp "$work/tree/build/weekend-plans.md" "$root/examples/weekend-plans.md"
echo "scripts/example.sh: the example converts as stored"
macos_run bash "$work/tree/bench/per-note.sh" "$work/note2md" 20
