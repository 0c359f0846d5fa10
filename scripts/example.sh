#!/usr/bin/env bash
# Builds note2md (the program only: no test tools needed) and converts one of
# the bundled example notes with all five options.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}"

configure build -DCMAKE_BUILD_TYPE=Release -DNOTE2MD_TESTS=OFF >/dev/null
cmake --build build --target note2md

echo
echo "$ build/note2md examples/weekend-plans.txt build/weekend-plans.md HSAXL"
status=0
build/note2md examples/weekend-plans.txt build/weekend-plans.md HSAXL || status=$?
echo "(exit status $status)"
echo
echo "--- build/weekend-plans.md ---"
cat build/weekend-plans.md
exit "$status"
