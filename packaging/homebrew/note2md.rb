# Homebrew formula for a tap: the universal macOS binary of a release.
# scripts/release.sh writes this file with the url, sha256 and version of the
# release it makes (dist/note2md.rb); the values here are those of the last
# release written into it by hand.
class Note2md < Formula
  desc "Convert an exported plain-text note to Markdown"
  homepage "https://github.com/note2md/note2md"
  url "https://github.com/note2md/note2md/releases/download/v1.0.0/note2md-1.0.0-macos-universal.tar.gz"
  sha256 "0000000000000000000000000000000000000000000000000000000000000000"
  version "1.0.0"
  license "MIT"

  depends_on macos: :ventura

  def install
    bin.install "note2md"
    man1.install "note2md.1"
    doc.install "README.md", Dir["LICENSE*"]
  end

  test do
    (testpath/"note.txt").write <<~NOTE
      Shopping list

      Tag(s): errands, weekly
      Created: 2 December 2026 at 08:05

      ☐ Leeks
    NOTE
    record = shell_output("#{bin}/note2md note.txt out.md HX").chomp
    assert_equal '{tagList:{"errands", "weekly"}, createdDate:"2 December 2026 at 08:05", updatedDate:"", ' \
                 'name:"Shopping list  Tag s   errands  weekly Created  2 December 2026 at 08 05    Leeks"}', record
    assert_equal "# Shopping list", (testpath/"out.md").read.lines.first.chomp
    assert_match "[ ] Leeks", (testpath/"out.md").read
  end
end
