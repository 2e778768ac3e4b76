// The whole run after the banner: options, then one table or every table of
// a list, with their messages printed in order.
#pragma once
#include "cli/options.h"
#include "io/output_file.h"

#include <string>
#include <vector>

// Runs the parsed options (their messages are printed first); every
// output's temporary file is registered in temps. False after an error
// stop, whose message has been printed.
bool runQuorlin(ParsedOptions parsed, TemporaryFiles& temps, const std::vector<std::string>& commandLine = {});
