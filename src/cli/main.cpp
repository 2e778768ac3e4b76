// Entry point: banner, echo of the command line, start line, the run, end
// line and elapsed time. An error stop ends with status 1 right after its
// message, without the end lines.
#include "options.h"
#include "run.h"
#include "run_banner.h"
#include "usage.h"

#include <QCoreApplication>
#include <QDate>
#include <QTime>
#include <cstdio>

namespace {
void printClockLine(const char* label, const QTime& time)
{
    std::printf("%s: %s, ", label, time.toString().toLocal8Bit().constData());
    std::printf("%s\n\n", QDate::currentDate().toString().toLocal8Bit().constData());
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (isHelpRequest(argc, argv)) {
        std::fputs(usageText().c_str(), stdout);
        return std::fflush(stdout) != 0 ? 1 : 0;
    }
    printBanner();
    printCommandWords(argc, argv);
    for (const std::string& word : unknownOptionWords(argc, argv))
        std::fprintf(stderr, "quorlin: warning: unknown option word '%s' is ignored (see quorlin --help)\n",
                     word.c_str());
    const std::vector<std::string> words = collectOptionWords(argc, argv);
    const QTime start = QTime::currentTime();
    std::printf("\n");
    printClockLine("START TIME", start);
    if (!runQuorlin(words)) {
        std::fputs("quorlin: see 'quorlin --help' for the options\n", stderr);
        std::fflush(stdout);
        return 1;
    }
    const QTime end = QTime::currentTime();
    printClockLine("END TIME", end);
    std::fputs(elapsedText(elapsedMsecs(start.msecsSinceStartOfDay(), end.msecsSinceStartOfDay())).c_str(), stdout);
    return std::fflush(stdout) != 0 ? 1 : 0;
}
