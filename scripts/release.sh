#!/usr/bin/env bash
# Writes the release files of this commit to dist/:
#   note2md-VERSION-x86_64-linux.tar.gz     fully static, runs on any x86-64 Linux
#   note2md_VERSION_amd64.deb               the Debian package
#   note2md-VERSION-macos-universal.tar.gz  Apple Silicon and Intel, macOS 13 and later
#   note2md.rb                              the Homebrew formula for the tarball above
#   SHA256SUMS
# Each archive holds the binary, the man page, the README and the licences of
# the binary's parts. Two runs of one commit give the same bytes, in any folder
# and under any umask: time stamps from SOURCE_DATE_EPOCH (as
# packaging/release-facts.cmake gives it), sorted members owned by 0, gzip
# without name or time.
# NOTE2MD_RELEASE_URL is where the files will be downloaded from (for the
# formula); by default the GitHub release of this version.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" dpkg-dev

# NOTE2MD_VERSION and SOURCE_DATE_EPOCH, as the package takes them.
facts=$(mktemp)
cmake -DSOURCE="$root" -DFACTS="$facts" -P packaging/release-facts.cmake
. "$facts" && rm "$facts"
version=$NOTE2MD_VERSION
export SOURCE_DATE_EPOCH
url=${NOTE2MD_RELEASE_URL:-https://github.com/${GITHUB_REPOSITORY:-note2md/note2md}/releases/download/v$version}
dist=$root/dist
rm -rf "$dist" && mkdir -p "$dist"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# pack NAME: dist/NAME.tar.gz from the folder $stage/NAME.
pack() {
  tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
    --mode=u+rwX,go+rX,go-w -cf - "$1" | gzip -9n >"$dist/$1.tar.gz"
}

# stage NAME BUILD [BINARY]: what `cmake --install` puts in place from BUILD
# (the binary, the man page, the README and the licences), in one folder;
# BINARY in place of BUILD's binary.
stage() {
  local folder=$stage/$1 prefix=$stage/prefix-$1
  cmake --install "$2" --prefix "$prefix" --component note2md >/dev/null
  mkdir -p "$folder"
  install -m 755 "${3:-$prefix/bin/note2md}" "$folder/note2md"
  install -m 644 "$prefix"/share/man/man1/note2md.1 "$prefix"/share/doc/note2md/* "$folder/"
}

# Linux: static-pie, so that it runs whatever the C library; the C library
# is linked in too.
linux=note2md-$version-x86_64-linux
configure build-release-static -DCMAKE_BUILD_TYPE=Release -DNOTE2MD_TESTS=OFF -DNOTE2MD_STATIC=ON
cmake --build build-release-static
stage "$linux" build-release-static
strip "$stage/$linux/note2md"
install -m 644 /usr/share/doc/libc6/copyright "$stage/$linux/LICENSE.glibc"
install -m 644 /usr/share/common-licenses/LGPL-2.1 "$stage/$linux/LGPL-2.1"
pack "$linux"

# The Debian package, from a Release build of its own.
configure build-release -DCMAKE_BUILD_TYPE=Release -DNOTE2MD_TESTS=OFF
cmake --build build-release --target deb
cp build-release/note2md_"$version"_*.deb "$dist/"

# macOS: the universal binary. Linked in are ICU, LLVM's C++ library and
# Zig's compiler runtime; the Linux build's copyright file does not apply.
macos=note2md-$version-macos-universal
bash scripts/build-macos.sh
stage "$macos" build-release build-macos/note2md
rm "$stage/$macos/copyright"
install -m 644 build-macos/LICENSE.libcxx build-macos/LICENSE.zig "$stage/$macos/"
pack "$macos"

# The formula, pointing at the tarball above.
sum=$(sha256sum "$dist/note2md-$version-macos-universal.tar.gz" | cut -d' ' -f1)
sed -e "s|^  url .*|  url \"$url/note2md-$version-macos-universal.tar.gz\"|" -e "s|^  sha256 .*|  sha256 \"$sum\"|" \
  -e "s|^  version .*|  version \"$version\"|" packaging/homebrew/note2md.rb >"$dist/note2md.rb"

(cd "$dist" && sha256sum -- *.tar.gz *.deb note2md.rb >SHA256SUMS)
ls -l "$dist"
