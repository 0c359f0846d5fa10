#!/usr/bin/env bash
# The toolchain of macOS, as far as it can be had here: clang with libc++,
# ICU linked dynamically, GoogleTest compiled from its sources. Builds Debug,
# so that the preconditions are checked, under AddressSanitizer and
# UndefinedBehaviorSanitizer, so that a read past the end of a buffer fails
# the suite, with warnings as errors, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" clang libc++-dev libc++abi-dev

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
CC=clang CXX=clang++ configure build-libcxx -DCMAKE_BUILD_TYPE=Debug -DNOTE2MD_TESTS=ON -DNOTE2MD_WERROR=ON \
  -DCMAKE_CXX_FLAGS="-stdlib=libc++ $sanitizers" -DCMAKE_EXE_LINKER_FLAGS="-stdlib=libc++ $sanitizers"
cmake --build build-libcxx
ctest --test-dir build-libcxx --output-on-failure -j "$(processors)"
