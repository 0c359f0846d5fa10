#!/usr/bin/env bash
# Builds note2md and converts the bundled example note with all five options.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target note2md

echo
echo "$ build/note2md examples/note.txt build/note.md HSAXL"
status=0
build/note2md examples/note.txt build/note.md HSAXL || status=$?
echo "(exit status $status)"
echo
echo "--- build/note.md ---"
cat build/note.md
exit "$status"
