// Run report texts, written through stdio like every other line on standard
// output, so all of them appear in program order.
#include "cli/run_banner.h"

#include <cstdio>

void printBanner()
{
    std::printf("\nQuorlin v. 0.1\nInfo: %s\n\n", "quorlin-dev@example.org");
}

void printCommandWords(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        std::printf("%d  %s\n", i, argv[i]);
}

long long elapsedMsecs(int startMsecsOfDay, int endMsecsOfDay)
{
    long long msecs = static_cast<long long>(endMsecsOfDay) - startMsecsOfDay;
    if (msecs < 0)
        msecs += 24LL * 3600 * 1000;
    return msecs;
}

std::string elapsedText(long long msecs)
{
    const long long hours = msecs / 3600000;
    const long long mins = msecs / 60000 - 60 * hours;
    const long long secs = msecs / 1000 - 60 * mins - 3600 * hours;
    const long long ms = msecs - 1000 * secs - 60000 * mins - 3600000 * hours;
    char text[128];
    if (hours > 0)
        std::snprintf(text, sizeof text, "DONE in %lld h %lld min %lld sec %lld msec\n\n", hours, mins, secs, ms);
    else if (mins > 0)
        std::snprintf(text, sizeof text, "DONE in %lld min %lld sec %lld msec\n\n", mins, secs, ms);
    else if (secs > 0)
        std::snprintf(text, sizeof text, "DONE in %lld sec %lld msec\n\n", secs, ms);
    else
        std::snprintf(text, sizeof text, "DONE in %lld msec\n\n", ms);
    return text;
}
