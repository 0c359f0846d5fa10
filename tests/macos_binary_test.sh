#!/usr/bin/env bash
# The macOS binary that scripts/build-macos.sh makes, checked where it cannot
# run: macos_binary_test.sh DIR, with DIR/note2md (universal) and its slices.
# The hosted macOS jobs run it.
dir=$1
binary=$dir/note2md
. "$(dirname "$0")/harness.sh"
[ -f "$binary" ] ||
  skip "no macOS binary in $dir; scripts/build-macos.sh builds it with Zig from the npm registry (x86-64 Linux)"
for tool in llvm-lipo-14 llvm-objdump-14 llvm-nm-14; do need "$tool" llvm-14; done

expect "slices" "arm64 x86_64" "$(llvm-lipo-14 -archs "$binary" | tr ' ' '\n' | sort | xargs)"
for arch in arm64 x86_64; do
  headers=$(llvm-objdump-14 --macho --private-headers --arch="$arch" "$binary")
  expect "$arch: oldest macOS" "13.0" \
    "$(awk '/cmd LC_BUILD_VERSION/ { b = 1 } b && $1 == "minos" { print $2; exit }' <<<"$headers")"
  expect "$arch: libraries" "/usr/lib/libSystem.B.dylib" \
    "$(llvm-objdump-14 --macho --dylibs-used --arch="$arch" "$binary" | sed 1d | awk '{ print $1 }' | xargs)"
  # Every symbol that the binary does not define comes from libSystem.
  expect "$arch: symbols from elsewhere" 0 \
    "$(llvm-nm-14 -m -u --arch="$arch" "$binary" | grep -vc '(from libSystem)')"
done
# Apple Silicon runs nothing unsigned.
expect "arm64: signed" 1 \
  "$(llvm-objdump-14 --macho --private-headers --arch=arm64 "$binary" | grep -c 'cmd LC_CODE_SIGNATURE')"
# The ICU data items that the program loads are inside, under ICU's names.
for item in brkitr/char.brk cnvalias.icu; do
  ok "ICU data item $item linked in" env LC_ALL=C grep -q -a "$item" "$binary"
done
size=$(wc -c <"$binary")
ok "at most 6 MB ($size bytes)" test "$size" -le 6000000
finish
