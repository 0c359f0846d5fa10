// One conversion run: the command line, the note, the rewritings, the output
// file and the line that tells the caller what it needs to know.
#pragma once

#include <string>

namespace note2md {

// Set once from the command line, read only by the run.
extern std::string filePath;        // the note to read, argument 1 verbatim
extern std::string outputFilePath;  // the Markdown file to write, argument 2 verbatim
extern std::string argString;       // the option letters, argument 3 upper-cased

// The whole life of the process; returns its exit status, 0 or 1. Everything
// it prints goes to standard output; nothing ever reaches standard error.
int run(int argc, const char* const* argv);

}  // namespace note2md
