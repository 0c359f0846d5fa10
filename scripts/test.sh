#!/usr/bin/env bash
# Builds note2md and its tests, then runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" libgtest-dev

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DNOTE2MD_TESTS=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure
