#!/usr/bin/env bash
# The write path and the scripts as macOS meets them, run here: a build
# without what only Linux offers (unnamed files, naming through /proc, files
# opened by O_PATH), then the end-to-end tests with it, first with every
# tool, then as the hosted macOS jobs run them: with only macOS's commands
# on the PATH (BSD stand-ins where Debian's differ) and without root, and
# scripts/example.sh the same way.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" clang

configure build-macos-paths -DCMAKE_BUILD_TYPE=Release -DNOTE2MD_TESTS=ON -DNOTE2MD_WERROR=ON \
  -DNOTE2MD_NAMED_FILES_ONLY=ON
cmake --build build-macos-paths --target note2md
ctest --test-dir build-macos-paths --output-on-failure -j "$(processors)" -R '^(cli|examples|write_safety\..*)$'
NOTE2MD="$PWD/build-macos-paths/note2md" bash scripts/macos-commands.sh
