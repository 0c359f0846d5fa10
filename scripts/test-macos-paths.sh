#!/usr/bin/env bash
# The write path as macOS takes it, run here: a build without what only Linux
# offers (unnamed files, naming through /proc, files opened by O_PATH), then
# the end-to-end tests of the command line and of the safe writes with it.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

configure build-macos-paths -DCMAKE_BUILD_TYPE=Release -DNOTE2MD_TESTS=ON -DNOTE2MD_WERROR=ON -DNOTE2MD_MACOS_PATHS=ON
cmake --build build-macos-paths --target note2md
ctest --test-dir build-macos-paths --output-on-failure -j "$(processors)" -R '^(cli|examples|write_safety\..*)$'
