#!/usr/bin/env bash
# Line and branch coverage of src/ by the whole test suite, with clang's
# source-based coverage: every process the suite starts counts, the note2md
# runs of the end-to-end scripts (as other users too) included. Prints
# llvm-cov's table of src/ and its total. Extra cmake arguments may follow,
# e.g. -DNOTE2MD_NAMED_FILES_ONLY=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" clang llvm-14

flags="-fprofile-instr-generate -fcoverage-mapping"
CC=clang CXX=clang++ configure build-coverage -DCMAKE_BUILD_TYPE=Debug -DNOTE2MD_TESTS=ON \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" "$@"
cmake --build build-coverage >/dev/null
profiles=$(mktemp -d)
trap 'rm -rf "$profiles"' EXIT
# Runs as other users write their profiles there too.
chmod 1777 "$profiles"
# A few checks fail here by design: the faults they inject into a run (a file
# size limit, write errors) hit its profile's own write too, which then adds
# a line to its output. Those runs go uncounted (their profiles are missing
# or cut short, and the merge passes over them); the rest is measured.
LLVM_PROFILE_FILE="$profiles/%p-%m.profraw" ctest --test-dir build-coverage -j "$(processors)" >/dev/null ||
  echo "(checks that inject write faults fail under coverage; their runs are not counted)"
llvm-profdata-14 merge -sparse --failure-mode=all "$profiles"/*.profraw -o build-coverage/suite.profdata
objects=()
for binary in build-coverage/tests/{note2md_tests,run_fuzz,differential_fuzz}; do
  objects+=(-object "$binary")
done
sources=$(tree_files | grep -E '^src/.*\.[ch]pp$')
llvm-cov-14 report build-coverage/note2md "${objects[@]}" -instr-profile build-coverage/suite.profdata $sources
