# Sourced by every shell test: a scratch folder ($scratch, removed at the
# end), checks that count and print what was expected and what came, and
# the portable forms of the commands whose BSD and GNU forms differ. A
# script ends with `finish`; `need` ends it as skipped (77).
# Written for the bash of macOS (3.2) and BSD commands.
set -uo pipefail
scratch=$(mktemp -d "${TMPDIR:-/tmp}/note2md-test-XXXXXX") || exit 1
cleanup() { chmod -R u+rwx "$scratch"; rm -rf "$scratch"; }
trap cleanup EXIT
checks=0
failures=0

# expect WHAT EXPECTED ACTUAL
expect() {
  checks=$((checks + 1))
  [ "$2" = "$3" ] && return 0
  failures=$((failures + 1))
  printf 'FAIL: %s\n  expected: %s\n  got:      %s\n' "$1" "$2" "$3"
}

# ok WHAT COMMAND...: a check that COMMAND succeeds.
ok() {
  local what=$1 && shift
  checks=$((checks + 1))
  "$@" && return 0
  failures=$((failures + 1))
  echo "FAIL: $what"
}

# need root | need COMMAND [DEBIAN_PACKAGE [HOMEBREW_FORMULA]]: skips the
# rest, unless a check before has failed.
need() {
  case $1 in
  root) [ "$(id -u)" -eq 0 ] || skip "only root can act as other users and own their files" ;;
  *) command -v "$1" >/dev/null ||
    skip "$1 is not installed (Debian package ${2:-$1}; ${3:+Homebrew formula $3}${3:-none for macOS})" ;;
  esac
}

# skip WHY: skips the rest, unless a check before has failed.
skip() {
  [ "$failures" -eq 0 ] || { finish; exit 1; }
  echo "SKIP: $1"
  exit 77
}

# file_stat GNU-FORMAT BSD-FORMAT FILE: stat's formats differ on macOS.
file_stat() { stat -c "$1" "$3" 2>/dev/null || stat -f "$2" "$3"; }
# The number of lines on standard input, without the blanks before it that
# macOS's wc prints.
count_lines() { awk 'END { print NR }'; }

finish() {
  echo "$checks checks, $failures failed"
  [ "$checks" -gt 0 ] && [ "$failures" -eq 0 ]
}
