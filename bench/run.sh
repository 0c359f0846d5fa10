#!/usr/bin/env bash
# Builds note2md for release and prints a Markdown table of its speed and
# memory targets, measured on this machine next to the straightforward ICU
# pipeline (every operation done by its pattern through ICU's regex engine)
# and cp. Pass --operations to add Google Benchmark's figures per operation.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev valgrind

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DNOTE2MD_BENCH=ON -DNOTE2MD_TESTS=OFF >/dev/null
cmake --build build-bench >/dev/null

BIN=build-bench/note2md
ICU=build-bench/bench/note2md-icu
TOOL=build-bench/bench/benchtool
WORK=$(mktemp -d "${TMPDIR:-/tmp}/note2md-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
"$TOOL" notes "$WORK"

ICU_TIMEOUT=5
pass() { awk -v v="$1" -v limit="$2" -v op="$3" 'BEGIN { ok = (op == "<=") ? v <= limit : v >= limit; print ok ? "yes" : "NO" }'; }
seconds_or_timeout() { "$TOOL" wall "$1" "${@:2}" || true; }

echo "## note2md benchmarks"
echo
echo "$(date -u +%Y-%m-%d), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'),"
echo "files in $WORK ($(df -T "$WORK" | awk 'NR==2 {print $2}')); every conversion with \"HSAXL\"."
echo

echo "### 1. Linear time: 1 MiB notes, target under 0.1 s each"
echo
echo "| Note | note2md (s) | ICU pipeline (s, stopped after ${ICU_TIMEOUT} s) | Met |"
echo "|---|---|---|---|"
while IFS=$'\t' read -r file name; do
  case "$file" in adversarial-*) ;; *) continue ;; esac
  ours=$(seconds_or_timeout 10 "$BIN" "$WORK/$file" "$WORK/out.md" HSAXL)
  theirs=$(seconds_or_timeout "$ICU_TIMEOUT" "$ICU" "$WORK/$file" "$WORK/ref.md" HSAXL)
  met=NO
  [ "$ours" != timeout ] && met=$(pass "$ours" 0.1 "<=")
  echo "| $name | $ours | $theirs | $met |"
done < "$WORK/index.tsv"
echo

BIG="$WORK/realistic-16m.txt"
SIZE=$(stat -c %s "$BIG")
echo "### 2. Throughput: realistic 16 MiB note, target 150 MB/s or more"
echo
echo "| Output on | note2md median of 7 (s) | MB/s | ICU pipeline (s) | Met |"
echo "|---|---|---|---|---|"
targets=("$WORK")
[ -d /dev/shm ] && [ -w /dev/shm ] && targets+=(/dev/shm)
for dir in "${targets[@]}"; do
  out=$(mktemp "$dir/note2md-bench-out-XXXXXX")
  ours=$("$TOOL" compare 7 "$BIN" "$BIG" "$out" HSAXL)
  theirs=$(seconds_or_timeout 60 "$ICU" "$BIG" "$out" HSAXL)
  rm -f "$out"
  rate=$(awk -v s="$SIZE" -v t="$ours" 'BEGIN { printf "%.0f", s / t / 1e6 }')
  echo "| $(df -T "$dir" | awk 'NR==2 {print $2}') ($dir) | $ours | $rate | $theirs | $(pass "$rate" 150 ">=") |"
done
echo

SMALL="$WORK/realistic-3k.txt"
count() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null | awk '/refs:/ { gsub(",", "", $NF); print $NF }'; }
ours_ir=$(count "$BIN" "$SMALL" "$WORK/o1.md" HSAXL)
icu_ir=$(count "$ICU" "$SMALL" "$WORK/o2.md" HSAXL)
cp_ir=$(count cp "$SMALL" "$WORK/o3.md")
read -r ours_t cp_t icu_t < <("$TOOL" compare 101 "$BIN" "$SMALL" "$WORK/o1.md" HSAXL -- cp "$SMALL" "$WORK/o3.md" -- \
  "$ICU" "$SMALL" "$WORK/o2.md" HSAXL | tr '\n' ' '; echo)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "### 3. Start-up: 3 KB note, targets 3 million instructions and 1.4 times cp's wall time"
echo
echo "| Program | Instructions (callgrind) | Median wall time of 101 (ms) | Time / cp |"
echo "|---|---|---|---|"
echo "| note2md | $ours_ir | $(awk -v t="$ours_t" 'BEGIN { printf "%.2f", t * 1000 }') | $(ratio "$ours_t" "$cp_t") |"
echo "| ICU pipeline | $icu_ir | $(awk -v t="$icu_t" 'BEGIN { printf "%.2f", t * 1000 }') | $(ratio "$icu_t" "$cp_t") |"
echo "| cp | $cp_ir | $(awk -v t="$cp_t" 'BEGIN { printf "%.2f", t * 1000 }') | 1.00 |"
echo
echo "Met: instructions $(pass "$ours_ir" 3000000 "<="), wall time $(pass "$(ratio "$ours_t" "$cp_t")" 1.4 "<=")."
echo

rss=$("$TOOL" rss "$BIN" "$BIG" "$WORK/out.md" HSAXL)
limit=$(( (3 * SIZE + 10 * 1000 * 1000) / 1024 ))
echo "### 4. Memory: 16 MiB note, target peak resident size at most 3 x input + 10 MB"
echo
echo "| Peak resident (KiB) | Limit (KiB) | Met |"
echo "|---|---|---|"
echo "| $rss | $limit | $(pass "$rss" "$limit" "<=") |"

if [ "${1:-}" = "--operations" ]; then
  echo
  echo "### Per operation, 1 MiB realistic note (scan next to its pattern through ICU)"
  echo
  echo '```'
  build-bench/bench/operations_bench --benchmark_min_time=0.2 2>/dev/null
  echo '```'
fi
