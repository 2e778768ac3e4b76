// Entry point: banner, echo of the command line, start line, the run, end
// line and elapsed time. An error stop ends with status 1 right after its
// message, without the end lines.
#include "run.h"
#include "options.h"
#include "run_banner.h"

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
    printBanner();
    printCommandWords(argc, argv);
    const std::vector<std::string> words = collectOptionWords(argc, argv);
    const QTime start = QTime::currentTime();
    std::printf("\n");
    printClockLine("START TIME", start);
    if (!runQuorlin(words)) {
        std::fflush(stdout);
        return 1;
    }
    const QTime end = QTime::currentTime();
    printClockLine("END TIME", end);
    std::fputs(elapsedText(elapsedMsecs(start.msecsSinceStartOfDay(), end.msecsSinceStartOfDay())).c_str(), stdout);
    return std::fflush(stdout) != 0 ? 1 : 0;
}
