#include "platform/regex.hpp"
#include "rewrite/rewrite.hpp"

namespace note2md {
namespace {
// A whole line after a line feed, 1 to 100 code points counting a final CR,
// followed by a line feed and another character. The blanks go before a final
// CR: between CR and LF they would split the line end in two.
constexpr std::string_view kLinePattern = "(?<=\\n)(?=[^\\n]{1,100}\\n[^\\n])([^\\n]*?)(\\r?)(?=\\n)";
constexpr std::string_view kLineTemplate = "$1  $2";
}  // namespace

std::string addTrailingSpaces(std::string_view text) {
  platform::Regex line(kLinePattern, platform::Regex::none);
  return line.replaceAll(text, kLineTemplate);
}

}  // namespace note2md
