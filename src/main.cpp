// Entry point: banner, echo and collection of the command line, start line,
// one driver run, end line and elapsed time.
#include "peakcomber1.h"
#include "runreport.h"

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
    welcome();
    echoWords(argc, argv);
    Switches = collectOptions(argc, argv);
    const QTime start = QTime::currentTime();
    std::printf("\n");
    printClockLine("START TIME", start);
    peakcomber();
    const QTime end = QTime::currentTime();
    printClockLine("END TIME", end);
    std::fputs(elapsedText(elapsedMsecs(start.msecsSinceStartOfDay(), end.msecsSinceStartOfDay())).c_str(), stdout);
    Switches.clear();
    if (std::fflush(stdout) != 0)
        return 1;
    return 0;
}
