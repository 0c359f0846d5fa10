#!/usr/bin/env bash
# The speed and memory targets as counts that do not drift on a busy
# machine: page faults, instructions and peak memory of realistic notes
# converted with HSAXL. counts.sh SECTION, one ctest entry a section; the
# limits are in bench/limits.sh, measured on the build the releases come
# from (NOTE2MD_COUNTED=yes; otherwise it names the build, which skips).
. "$(dirname "$0")/lib.sh"
. "$here/../../bench/limits.sh"
BENCHTOOL=${BENCHTOOL:?set BENCHTOOL to the benchtool binary}
[ "${NOTE2MD_COUNTED:-}" = yes ] || {
  echo "SKIP: the limits were measured on an optimised build with ICU linked in;"\
    "this is ${NOTE2MD_COUNTED:-another build}"
  exit 77
}

# within WHAT FIGURE LIMIT
within() {
  echo "$1: $2 (limit $3)"
  checks=$((checks + 1))
  [ "$2" -le "$3" ] && return 0
  failures=$((failures + 1))
  echo "FAIL: $1 is $2, over the limit of $3"
}

big() { "$BENCHTOOL" note $((16 << 20)) big.txt; }

# instructions NOTE: what callgrind counts for converting NOTE, in an empty
# environment (the C library's start-up reads every variable); a conversion
# that fails counts as far more than any limit.
instructions() {
  local log=callgrind.log
  env -i "$(command -v valgrind)" --tool=callgrind --callgrind-out-file=/dev/null "$NOTE2MD" "$1" out.md HSAXL \
    >/dev/null 2>"$log" || {
    echo "FAIL: the conversion of $1 failed: $(tail -1 "$log")" >&2
    echo 999999999999
    return
  }
  awk '/refs:/ { gsub(",", "", $NF); print $NF }' "$log"
}

faults() {
  thp=/sys/kernel/mm/transparent_hugepage/enabled
  [ -r "$thp" ] || { echo "SKIP: no transparent huge pages on this system"; exit 77; }
  grep -q '\[never\]' "$thp" && { echo "SKIP: transparent huge pages are off ($thp says never)"; exit 77; }
  big
  read -r _ count < <("$BENCHTOOL" rss "$NOTE2MD" big.txt out.md HSAXL)
  within "minor page faults, 16 MiB note" "$count" "$BIG_NOTE_FAULTS"
}

start() {
  need valgrind
  "$BENCHTOOL" note 3072 small.txt
  "$BENCHTOOL" note $((1 << 20)) mib.txt
  # The second run replaces the file, which costs a little more.
  instructions small.txt >/dev/null
  within "instructions, 3 KB note" "$(instructions small.txt)" "$START_UP_INSTRUCTIONS"
  within "instructions, 1 MiB note" "$(instructions mib.txt)" "$MIB_INSTRUCTIONS"
}

# Linear time on notes that are hard on a backtracking engine: a linear scan
# takes about 100 instructions a byte on the worst of them, a quadratic one
# would take a million times more.
hostile() {
  need valgrind
  "$BENCHTOOL" hostile .
  while IFS=$'\t' read -r file name; do
    within "instructions, hostile note: $name" "$(instructions "$file")" "$HOSTILE_INSTRUCTIONS"
  done <index.tsv
}

memory() {
  big
  read -r peak _ < <("$BENCHTOOL" rss "$NOTE2MD" big.txt out.md HSAXL)
  within "peak resident KiB, 16 MiB note" "$peak" "$(peak_limit_kib "$(wc -c <big.txt)")"
  # A file past the largest note is refused before anything is read.
  dd if=/dev/zero of=huge.txt bs=1 count=0 seek=$(((1 << 30) + 1)) 2>/dev/null
  read -r peak _ < <("$BENCHTOOL" rss "$NOTE2MD" huge.txt out.md HSAXL)
  within "peak resident KiB, a 1 GiB + 1 note refused" "$peak" "$(peak_limit_kib 0)"
}

case $1 in
instructions) start ;;
*) "$1" ;;
esac
finish
