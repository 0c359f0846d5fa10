// libFuzzer target: any bytes must decode or be refused without harm, and on
// any text every scan must give what its pattern gives through the engine.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "reference/reference.hpp"
#include "support/rewrite_text.hpp"

namespace {

void check(bool agrees) {
  if (!agrees) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The engine's backtracking makes long inputs slow without finding more.
  if (size > 4096) return 0;
  note2md::support::DecodedText decoded =
      note2md::support::decodeText(std::string(reinterpret_cast<const char*>(data), size));
  if (!decoded.ok) return 0;
  const std::string& text = decoded.text;
  namespace ref = note2md::reference;
  check(note2md::support::markHeadingAndSubheadings(text) == ref::markHeadingAndSubheadings(text));
  check(note2md::support::addTrailingSpaces(text) == ref::addTrailingSpaces(text));
  check(note2md::support::translateAttachmentLinks(text) == ref::translateAttachmentLinks(text));
  check(note2md::support::replaceCheckboxes(text) == ref::replaceCheckboxes(text));
  check(note2md::support::convertLinksToMarkdown(text) == ref::convertLinksToMarkdown(text));
  for (const char* key : {"Created:", "Tag\\(s\\):"})
    check(note2md::metadata::extractValueForKey(text, key) == ref::extractValueForKey(text, key));
  check(note2md::metadata::createName(text, "bin/x") == ref::createName(text, "bin/x"));
  return 0;
}
