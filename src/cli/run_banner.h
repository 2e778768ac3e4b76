// The run report around the work: banner, echo of the command line, clock
// lines and the elapsed time, all on standard output.
#pragma once
#include <string>

// An empty line, the name and version, the contact line, an empty line.
void printBanner();
// Every word after the program path as "%d  %s".
void printCommandWords(int argc, char** argv);
// "DONE in ..." text for an elapsed time in milliseconds.
std::string elapsedText(long long msecs);
// Milliseconds from start to end time of day, one whole day added across midnight.
long long elapsedMsecs(int startMsecsOfDay, int endMsecsOfDay);
