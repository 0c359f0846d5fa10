# Sourced by the end-to-end scripts: a scratch folder with a note in it, the
# binary under test, and checks that print what ran, what was expected and
# what came. A script ends with `finish`; `need` ends it as skipped (77).
# Written for the bash of macOS (3.2) too.
set -uo pipefail
NOTE2MD=${NOTE2MD:?set NOTE2MD to the note2md binary}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/note2md-e2e-XXXXXX") || exit 1
cleanup() { chmod -R u+rwx "$scratch"; rm -rf "$scratch"; }
trap cleanup EXIT
# Other users act in it too, with a copy of the binary: the build folder may
# lie where they cannot enter (a clone in /root).
chmod 755 "$scratch" && mkdir -m 755 "$scratch/bin" "$scratch/work" && cp "$NOTE2MD" "$scratch/bin/note2md" || exit 1
NOTE2MD=$scratch/bin/note2md
cd "$scratch/work" || exit 1
printf 'Title\n\nbody\n' >note.txt
checks=0
failures=0
# A sanitizer build's leak check cannot work under strace's ptrace.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

# need root | need COMMAND [DEBIAN_PACKAGE [HOMEBREW_FORMULA]]: skips the
# rest, unless a check before has failed.
need() {
  case $1 in
  root) [ "$(id -u)" -eq 0 ] && return 0 ;;
  *) command -v "$1" >/dev/null && return 0 ;;
  esac
  [ "$failures" -eq 0 ] || { finish; exit 1; }
  if [ "$1" = root ]; then
    echo "SKIP: only root can act as other users and own their files"
  else
    echo "SKIP: $1 is not installed (Debian package ${2:-$1}; ${3:+Homebrew formula $3}${3:-none for macOS})"
  fi
  exit 77
}

# convert [PROGRAM-PREFIX...] -- NOTE2MD-ARGUMENTS: sets $out and $status.
convert() {
  local prefix=()
  while [ "$1" != -- ]; do prefix+=("$1"); shift; done
  shift
  out=$(${prefix[@]+"${prefix[@]}"} "$NOTE2MD" "$@" 2>&1)
  status=$?
}

# expect WHAT EXPECTED ACTUAL
expect() {
  checks=$((checks + 1))
  [ "$2" = "$3" ] && return 0
  failures=$((failures + 1))
  printf 'FAIL: %s\n  expected: %s\n  got:      %s\n' "$1" "$2" "$3"
}

# The record of note.txt, which every successful run here prints.
record='{tagList:{}, createdDate:"", updatedDate:"", name:"Title  body"}'

as_user() { local id=$1; shift; setpriv --reuid "$id" --regid "$id" --clear-groups "$@"; }
# file_stat GNU-FORMAT BSD-FORMAT FILE: stat's formats differ on macOS.
file_stat() { stat -c "$1" "$3" 2>/dev/null || stat -f "$2" "$3"; }
mode_owner() { file_stat '%a %u:%g' '%Lp %u:%g' "$1"; }
# The number of lines on standard input, without the blanks before it that
# macOS's wc prints.
count_lines() { awk 'END { print NR }'; }
leftovers() { find . -name '.note2md-*' | count_lines; }

finish() {
  echo "$checks checks, $failures failed"
  [ "$checks" -gt 0 ] && [ "$failures" -eq 0 ]
}
