// The usage summary: every option with its value, default and meaning, and
// examples; printed on standard output for -h, -help or --help.
#pragma once
#include <string>

// The summary text; every line is shorter than 80 columns.
std::string usageText();

// True when the command line is one of -h, -help, --help and nothing else
// (argv[0] is the program).
bool isHelpRequest(int argc, const char* const* argv);
