#!/usr/bin/env bash
# Builds note2md and its tests with warnings as errors, then runs the whole
# test suite: unit, end-to-end, differential, examples, install and package.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

configure build -DCMAKE_BUILD_TYPE=Release -DNOTE2MD_TESTS=ON -DNOTE2MD_WERROR=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j "$(processors)"
