#!/usr/bin/env bash
# The example notes: each converts with HSAXL to exactly the Markdown and
# record stored beside it, and that Markdown renders as intended in a real
# CommonMark renderer (every line of NAME.html is in the rendered HTML).
. "$(dirname "$0")/lib.sh"
examples=$(cd "$here/../../examples" && pwd)

for note in "$examples"/*.txt; do
  base=${note%.txt}
  convert -- "$note" out.md HSAXL
  expect "$note: record" "0:$(cat "$base.record")" "$status:$out"
  cmp -s out.md "$base.md" || expect "$note: Markdown" "$(cat "$base.md")" "$(cat out.md)"
done
expect "six examples or more" yes "$([ "$(ls "$examples"/*.txt | count_lines)" -ge 6 ] && echo yes)"

need cmark-gfm cmark-gfm cmark-gfm
for note in "$examples"/*.txt; do
  html=$(cmark-gfm "${note%.txt}.md")
  while IFS= read -r line; do
    [[ $html == *"$line"* ]] || expect "${note%.txt}.md renders" "a line $line" "$html"
  done <"${note%.txt}.html"
done
finish
