// One conversion run: the command line, the note, the rewritings, the output
// file and the line that tells the caller what it needs to know.
#pragma once

namespace note2md::cli {

// The whole life of the process; returns its exit status, 0 or 1. Everything
// it prints goes to standard output; nothing ever reaches standard error.
int run(int argc, const char* const* argv);

}  // namespace note2md::cli
