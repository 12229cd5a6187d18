// The grabline command-line tool; everything but the entry lives in the tool's files.
#include "tool_main.hpp"

int main(int argc, char **argv) { return grabline::tool::ToolMain(argc, argv); }
