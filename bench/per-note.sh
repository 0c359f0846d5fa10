#!/usr/bin/env bash
# The cost of one note as an exporting script meets it: COUNT small notes
# (examples/weekend-plans.txt), one process each, written as new files and
# then over them, next to cp of the same files and a shell loop of ">".
# Prints the seconds of each loop and the milliseconds per note. For the
# hosted jobs (macOS, where every note costs a full flush, and Linux for the
# ratio); written for the bash of macOS (3.2) and BSD commands.
# Usage: bench/per-note.sh NOTE2MD [COUNT]
set -euo pipefail
note2md=$1
count=${2:-1000}
note="$(cd "$(dirname "$0")/.." && pwd)/examples/weekend-plans.txt"
work=$(mktemp -d "${TMPDIR:-/tmp}/note2md-per-note-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/notes" "$work/md" "$work/cp" "$work/shell"
for i in $(seq "$count"); do cp "$note" "$work/notes/$i.txt"; done

# loop WHAT COMMAND...: runs COMMAND with the note number last, COUNT times.
loop() {
  local what=$1 i seconds
  shift
  TIMEFORMAT=%R
  seconds=$({ time for i in $(seq "$count"); do "$@" "$i" >/dev/null; done; } 2>&1)
  awk -v what="$what" -v s="$seconds" -v n="$count" 'BEGIN { printf "| %s | %.2f | %.3f |\n", what, s, 1000 * s / n }'
}
convert() { "$note2md" "$work/notes/$1.txt" "$work/md/$1.md" HSAXL; }
copy() { cp "$work/notes/$1.txt" "$work/cp/$1.md"; }
shell() { cat "$work/notes/$1.txt" >"$work/shell/$1.md"; }

echo "$count notes of $(wc -c <"$note" | tr -d ' ') bytes, one process each, on $(uname -sm)"
echo
echo "| loop | seconds | ms per note |"
echo "|---|---|---|"
loop "note2md HSAXL, new files" convert
loop "note2md HSAXL, over them" convert
loop "cp, new files" copy
loop "cp, over them" copy
loop "shell >, new files" shell
loop "shell >, over them" shell
if [ "$(uname)" = Darwin ]; then
  echo
  echo "The hosted macOS runners are virtual machines: their disks take a full flush in far less than the"
  echo "about 19 ms of an M1-class Mac's internal drive, so this table tells of the VM, not of a user's Mac"
  echo "(doc/design.md, \"What a note costs on a Mac\")."
fi
