// The run report printed around the driver: banner, echo of the command line,
// collection of the option words, start and end lines, elapsed time.
#pragma once
#include <string>
#include <vector>

// The banner: an empty line, the name and version, the contact line, an empty line.
void welcome();
// Echoes every word after the program path as "%d  %s".
void echoWords(int argc, char** argv);
// Collects each option word that has a following word, with that word.
std::vector<std::string> collectOptions(int argc, char** argv);
// "DONE in ..." text for an elapsed time in milliseconds.
std::string elapsedText(long long msecs);
// Milliseconds from start to end time of day, one whole day added across midnight.
long long elapsedMsecs(int startMsecsOfDay, int endMsecsOfDay);
