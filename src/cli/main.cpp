#include "cli/run.hpp"

int main(int argc, char** argv) { return note2md::cli::run(argc, argv); }
