// note2md with every operation done by its pattern through the regex engine:
// the straightforward pipeline that the benchmarks compare the program with.
#include "cli/detail.hpp"
#include "reference/reference.hpp"

namespace {
namespace ref = note2md::reference;

template <std::string (*rewrite)(std::string_view)>
bool into(note2md::system::Buffer& text, note2md::system::Buffer& out) {
  out.clear();
  out.append(rewrite(text.view()));
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  const note2md::cli::detail::Operations operations = {
      ref::extractValueForKey,
      ref::createName,
      {into<ref::markHeadingAndSubheadings>, into<ref::addTrailingSpaces>, into<ref::translateAttachmentLinks>,
       into<ref::replaceCheckboxes>, into<ref::convertLinksToMarkdown>},
  };
  return note2md::cli::detail::run(argc, argv, operations);
}
