#!/usr/bin/env bash
# Builds note2md for release and prints Markdown tables of its speed and
# memory targets, measured on this machine next to the straightforward ICU
# pipeline (every operation done by its pattern through ICU's regex engine),
# the I/O floor of an atomic conversion, and cp. Pass --operations to add Google Benchmark's figures per operation.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(uname)" != Linux ]; then
  echo "bench/run.sh measures on Linux only (GNU stat and df, /proc, valgrind); nothing was run."
  exit 0
fi
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev valgrind

configure build-bench -DCMAKE_BUILD_TYPE=Release -DNOTE2MD_BENCH=ON -DNOTE2MD_TESTS=OFF
cmake --build build-bench >/dev/null

BIN=build-bench/note2md
ICU=build-bench/bench/note2md-icu
TOOL=build-bench/bench/benchtool
. bench/limits.sh
WORK=$(mktemp -d "${TMPDIR:-/tmp}/note2md-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
"$TOOL" notes "$WORK"

ICU_TIMEOUT=5
pass() {
  awk -v v="$1" -v limit="$2" -v op="$3" \
    'BEGIN { ok = (op == "<=") ? v <= limit : v >= limit; print ok ? "yes" : "NO" }'
}
seconds_or_timeout() { "$TOOL" wall "$1" "${@:2}" || true; }
fs_of() { df -T "$1" | awk 'NR==2 {print $2}'; }

echo "## note2md benchmarks"
echo
echo "$(date -u +%Y-%m-%d), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'),"
echo "files in $WORK ($(fs_of "$WORK")); every conversion with \"HSAXL\"."
echo

echo "### 1. Linear time: 1 MiB hostile notes, target under 0.03 s each end to end"
echo
echo "| Note | note2md, median of 5 (s) | ICU pipeline (s, stopped after ${ICU_TIMEOUT} s) | Same output | Met |"
echo "|---|---|---|---|---|"
while IFS=$'\t' read -r file name; do
  case "$file" in adversarial-*) ;; *) continue ;; esac
  ours=$("$TOOL" compare 5 "$BIN" "$WORK/$file" "$WORK/out.md" HSAXL)
  theirs=$(seconds_or_timeout "$ICU_TIMEOUT" "$ICU" "$WORK/$file" "$WORK/ref.md" HSAXL)
  same="n/a"
  [ "$theirs" != timeout ] && { cmp -s "$WORK/out.md" "$WORK/ref.md" && same=yes || same=NO; }
  echo "| $name | $ours | $theirs | $same | $(pass "$ours" 0.03 "<=") |"
done < "$WORK/index.tsv"
echo

BIG="$WORK/realistic-16m.txt"
SIZE=$(stat -c %s "$BIG")
echo "### 2. Throughput: realistic 16 MiB note, target at most 2 x the I/O floor"
echo
echo "The floor reads the note, writes it beside the output, syncs it, renames it over the"
echo "output and syncs the folder, in one process (benchtool copy): what any atomic conversion"
echo "must do. Medians of 11 runs, taken in turns."
echo
echo "| Output on | note2md (s) | MB/s | I/O floor (s) | Ratio | ICU pipeline (s) | Same output | Met |"
echo "|---|---|---|---|---|---|---|---|"
targets=("$WORK")
[ -d /dev/shm ] && [ -w /dev/shm ] && targets+=(/dev/shm)
for dir in "${targets[@]}"; do
  out=$(mktemp "$dir/note2md-bench-out-XXXXXX")
  floor_out=$(mktemp "$dir/note2md-bench-floor-XXXXXX")
  read -r ours floor < <(
    "$TOOL" compare 11 "$BIN" "$BIG" "$out" HSAXL -- "$TOOL" copy "$BIG" "$floor_out" | tr '\n' ' '
    echo
  )
  theirs=$(seconds_or_timeout 60 "$ICU" "$BIG" "$floor_out" HSAXL)
  cmp -s "$out" "$floor_out" && same=yes || same=NO
  rm -f "$out" "$floor_out"
  rate=$(awk -v s="$SIZE" -v t="$ours" 'BEGIN { printf "%.0f", s / t / 1e6 }')
  ratio=$(awk -v a="$ours" -v b="$floor" 'BEGIN { printf "%.2f", a / b }')
  echo "| $(fs_of "$dir") ($dir) | $ours | $rate | $floor | $ratio | $theirs | $same | $(pass "$ratio" 2 "<=") |"
done
echo

SMALL="$WORK/realistic-3k.txt"
# Counted in an empty environment, as the tests count: the C library's
# start-up reads every variable. The second run of each replaces its file.
count() {
  env -i "$(command -v valgrind)" --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    awk '/refs:/ { gsub(",", "", $NF); print $NF }'
}
for run in 1 2; do
  ours_ir=$(count "$BIN" "$SMALL" "$WORK/o1.md" HSAXL)
  icu_ir=$(count "$ICU" "$SMALL" "$WORK/o2.md" HSAXL)
  cp_ir=$(count "$(command -v cp)" "$SMALL" "$WORK/o3.md")
done
mib_ir=$(count "$BIN" "$WORK/realistic-1m.txt" "$WORK/o1.md" HSAXL)
read -r ours_t cp_t icu_t < <("$TOOL" compare 101 "$BIN" "$SMALL" "$WORK/o1.md" HSAXL -- cp "$SMALL" "$WORK/o3.md" -- \
  "$ICU" "$SMALL" "$WORK/o2.md" HSAXL | tr '\n' ' '; echo)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "### 3. Start-up: 3 KB note, targets at most $START_UP_INSTRUCTIONS instructions and 1.4 times cp's wall time"
echo
echo "| Program | Instructions (callgrind) | Median wall time of 101 (ms) | Time / cp |"
echo "|---|---|---|---|"
echo "| note2md | $ours_ir | $(awk -v t="$ours_t" 'BEGIN { printf "%.2f", t * 1000 }') | $(ratio "$ours_t" "$cp_t") |"
echo "| ICU pipeline | $icu_ir | $(awk -v t="$icu_t" 'BEGIN { printf "%.2f", t * 1000 }') | $(ratio "$icu_t" "$cp_t") |"
echo "| cp | $cp_ir | $(awk -v t="$cp_t" 'BEGIN { printf "%.2f", t * 1000 }') | 1.00 |"
echo
echo "Met: instructions $(pass "$ours_ir" "$START_UP_INSTRUCTIONS" "<="),"\
  "wall time $(pass "$(ratio "$ours_t" "$cp_t")" 1.4 "<=")."
echo "A 1 MiB realistic note takes $mib_ir instructions (limit $MIB_INSTRUCTIONS):"\
  "$(pass "$mib_ir" "$MIB_INSTRUCTIONS" "<=")."
echo

echo "### 4. Memory: peak resident size at most 2 x the note + 10 MB; 16 MiB note at most $BIG_NOTE_FAULTS page faults"
echo
echo "| Note | Size (bytes) | Peak resident (KiB) | Limit (KiB) | Minor page faults | Met |"
echo "|---|---|---|---|---|---|"
for note in realistic-16m realistic-200m; do
  file="$WORK/$note.txt"
  size=$(stat -c %s "$file")
  read -r rss faults < <("$TOOL" rss "$BIN" "$file" "$WORK/out.md" HSAXL)
  limit=$(peak_limit_kib "$size")
  met=$(pass "$rss" "$limit" "<=")
  [ "$note" = realistic-16m ] && [ "$(pass "$faults" "$BIG_NOTE_FAULTS" "<=")" = NO ] && met=NO
  echo "| $note | $size | $rss | $limit | $faults | $met |"
done

if [ "${1:-}" = "--operations" ]; then
  echo
  echo "### Per operation, 1 MiB realistic note (scan next to its pattern through ICU)"
  echo
  echo '```'
  build-bench/bench/operations_bench --benchmark_min_time=0.2 2>/dev/null
  echo '```'
fi
