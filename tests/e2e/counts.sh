#!/usr/bin/env bash
# The speed and memory targets as counts that do not drift on a busy
# machine: page faults, instructions and peak memory of realistic notes
# converted with HSAXL. counts.sh SECTION, one ctest entry a section; the
# limits are in bench/limits.sh.
. "$(dirname "$0")/lib.sh"
. "$here/../../bench/limits.sh"
BENCHTOOL=${BENCHTOOL:?set BENCHTOOL to the benchtool binary}
[ "${NOTE2MD_OPTIMISED:-0}" = 1 ] || {
  echo "SKIP: counts are checked on the optimised build without sanitizers only"
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

faults() {
  thp=/sys/kernel/mm/transparent_hugepage/enabled
  [ -r "$thp" ] || { echo "SKIP: no transparent huge pages on this system"; exit 77; }
  grep -q '\[never\]' "$thp" && { echo "SKIP: transparent huge pages are off ($thp says never)"; exit 77; }
  big
  read -r _ count < <("$BENCHTOOL" rss "$NOTE2MD" big.txt out.md HSAXL)
  within "minor page faults, 16 MiB note" "$count" "$BIG_NOTE_FAULTS"
}

instructions() {
  need valgrind
  # An empty environment: the C library's start-up reads every variable.
  count() {
    env -i "$(command -v valgrind)" --tool=callgrind --callgrind-out-file=/dev/null "$NOTE2MD" "$1" out.md HSAXL 2>&1 >/dev/null |
      awk '/refs:/ { gsub(",", "", $NF); print $NF }'
  }
  "$BENCHTOOL" note 3072 small.txt
  "$BENCHTOOL" note $((1 << 20)) mib.txt
  # The second run replaces the file, which costs a little more.
  count small.txt >/dev/null
  within "instructions, 3 KB note" "$(count small.txt)" "$START_UP_INSTRUCTIONS"
  within "instructions, 1 MiB note" "$(count mib.txt)" "$MIB_INSTRUCTIONS"
}

# Linear time on notes that are hard on a backtracking engine: a linear scan
# takes about 100 instructions a byte on the worst of them, a quadratic one
# would take a million times more (and meets the timeout).
hostile() {
  need valgrind
  "$BENCHTOOL" hostile .
  while IFS=$'\t' read -r file name; do
    within "instructions, hostile note: $name" \
      "$(env -i timeout 300 "$(command -v valgrind)" --tool=callgrind --callgrind-out-file=/dev/null \
        "$NOTE2MD" "$file" out.md HSAXL 2>&1 >/dev/null | awk '/refs:/ { gsub(",", "", $NF); print $NF }')" \
      "$HOSTILE_INSTRUCTIONS"
  done <index.tsv
}

memory() {
  big
  read -r peak _ < <("$BENCHTOOL" rss "$NOTE2MD" big.txt out.md HSAXL)
  within "peak resident KiB, 16 MiB note" "$peak" "$(peak_limit_kib "$(wc -c <big.txt)")"
}

"$1"
finish
