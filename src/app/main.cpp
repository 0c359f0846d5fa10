#include "app/run.hpp"

int main(int argc, char** argv) { return note2md::app::run(argc, argv); }
