#!/usr/bin/env bash
# Rewrites the expected results next to each example note, for a deliberate
# change of the conversion: NAME.md (the Markdown for HSAXL) and NAME.record
# (the metadata record). Review the difference before committing it.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}"

configure build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target note2md >/dev/null
for note in examples/*.txt; do
  base=${note%.txt}
  # Started by a path that ends in /note2md, as the test starts it, so that a
  # short note's name is the same.
  "$PWD/build/note2md" "$note" "$base.md" HSAXL >"$base.record"
done
if has_git; then
  tree_git status --short examples
else
  echo "Rewrote examples/*.md and *.record; without git here, compare them with the previous ones yourself"
fi
