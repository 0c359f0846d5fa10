#!/bin/sh
# Builds the Debian package from an installed copy of the build, as Debian's
# own tools would: stripped binary, compressed documentation and changelog,
# folders 0755 and files 0644 or 0755 whatever the umask, files owned by
# root, every time stamp the same, Depends from dpkg-shlibdeps and
# Built-Using naming the source packages linked in. Two builds of the
# same tree give the same bytes.
#
# Usage: make-deb.sh SOURCE_DIR BUILD_DIR OUTPUT_DIR MAINTAINER [EMBEDDED_ARCHIVE...]
set -eu
source_dir=$1 build=$2 output=$3 maintainer=$4
shift 4
umask 022
# NOTE2MD_VERSION and SOURCE_DATE_EPOCH (packaging/release-facts.cmake).
. "$build/release-facts.sh"
version=$NOTE2MD_VERSION
export SOURCE_DATE_EPOCH
arch=$(dpkg --print-architecture)
work=$(mktemp -d "${TMPDIR:-/tmp}/note2md-deb-XXXXXX")
trap 'rm -rf "$work"' EXIT
root=$work/root

# A component of its own, so that this install keeps its manifest apart
# (install_manifest_note2md.txt) from the user's install_manifest.txt.
DESTDIR=$root cmake --install "$build" --prefix /usr --component note2md >/dev/null
doc=$root/usr/share/doc/note2md
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$root/usr/bin/note2md"
# The copyright file holds every licence; one copy each.
rm -f "$doc/LICENSE" "$doc/LICENSE.ICU"
cp "$source_dir/doc/changelog" "$doc/changelog"
gzip -9n "$doc/changelog" "$doc/README.md" "$root"/usr/share/man/man1/*.1
mkdir -p "$root/usr/share/lintian/overrides"
cat >"$root/usr/share/lintian/overrides/note2md" <<'OVERRIDES'
# ICU's licence, quoted whole as ICU ships it, gives the Free Software
# Foundation's old address in one of its third-party notices.
note2md: old-fsf-address-in-copyright-file
OVERRIDES

# What the binary links dynamically (the C library), and what it embeds.
mkdir -p "$work/debian"
printf 'Source: note2md\n\nPackage: note2md\nArchitecture: any\n' >"$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O -e root/usr/bin/note2md 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
built_using=$(for archive in "$@"; do dpkg -S "$archive" | cut -d: -f1; done | sort -u |
  xargs -r dpkg-query -W -f='${source:Package} (= ${source:Version})\n' | sort -u | paste -sd, - | sed 's/,/, /g')

mkdir -p "$root/DEBIAN"
{
  echo "Package: note2md"
  echo "Version: $version"
  echo "Architecture: $arch"
  echo "Maintainer: $maintainer"
  echo "Installed-Size: $(du -sk --apparent-size "$root/usr" | cut -f1)"
  [ -n "$depends" ] && echo "Depends: $depends"
  [ -n "$built_using" ] && echo "Built-Using: $built_using"
  echo "Section: utils"
  echo "Priority: optional"
  echo "Multi-Arch: foreign"
  echo "Description: convert exported plain-text notes to Markdown"
  sed 's/^/ /; s/^ $/ ./' "$source_dir/doc/description.txt"
} >"$root/DEBIAN/control"
(cd "$root" && find usr -type f | sort | xargs md5sum) >"$root/DEBIAN/md5sums"

find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
chmod 0755 "$root/usr/bin/note2md"
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
mkdir -p "$output"
dpkg-deb --root-owner-group -Zxz --build "$root" "$output/note2md_${version}_${arch}.deb" >/dev/null
echo "$output/note2md_${version}_${arch}.deb"
