# Sourced by the end-to-end scripts, over tests/harness.sh: the binary under
# test ($NOTE2MD, copied into the scratch folder), a note in the folder the
# script works in, and what runs it.
# Written for the bash of macOS (3.2) too.
NOTE2MD=${NOTE2MD:?set NOTE2MD to the note2md binary}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../harness.sh"
# Other users act in it too, with a copy of the binary: the build folder may
# lie where they cannot enter (a clone in /root).
chmod 755 "$scratch" && mkdir -m 755 "$scratch/bin" "$scratch/work" && cp "$NOTE2MD" "$scratch/bin/note2md" || exit 1
NOTE2MD=$scratch/bin/note2md
cd "$scratch/work" || exit 1
printf 'Title\n\nbody\n' >note.txt
# A sanitizer build's leak check cannot work under strace's ptrace.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

# convert [PROGRAM-PREFIX...] -- NOTE2MD-ARGUMENTS: sets $out and $status.
convert() {
  local prefix=()
  while [ "$1" != -- ]; do prefix+=("$1"); shift; done
  shift
  out=$(${prefix[@]+"${prefix[@]}"} "$NOTE2MD" "$@" 2>&1)
  status=$?
}

# The record of note.txt, which every successful run here prints.
record='{tagList:{}, createdDate:"", updatedDate:"", name:"Title  body"}'

as_user() { local id=$1; shift; setpriv --reuid "$id" --regid "$id" --clear-groups "$@"; }
mode_owner() { file_stat '%a %u:%g' '%Lp %u:%g' "$1"; }
leftovers() { find . -name '.note2md-*' | count_lines; }
