// Entry point: banner, echo of the command line, start line, the run, end
// line and elapsed time. An error stop ends with status 1 right after its
// message, without the end lines. SIGINT, SIGTERM and SIGHUP are taken by
// one thread that removes the run's temporary files and exits with 128 +
// the signal's number; the earlier outputs stay as they were.
#include "figure_render.h"
#include "options.h"
#include "run.h"
#include "run_banner.h"
#include "usage.h"

#include <QCoreApplication>
#include <QDate>
#include <QTime>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

// Blocks the termination signals in this thread and every thread started
// after it; a thread of their own waits for them.
void takeTerminationSignals(TemporaryFiles& temps)
{
    sigset_t wanted;
    sigemptyset(&wanted);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&wanted, s);
    pthread_sigmask(SIG_BLOCK, &wanted, nullptr);
    std::thread([wanted, &temps] {
        int received = 0;
        while (sigwait(&wanted, &received) != 0) {
        }
        temps.removeAllAndHold();
        _exit(128 + received);
    }).detach();
}

// PNG and PDF figures need Qt's fonts, which need a QGuiApplication.
bool asksForRenderedFigures(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        const QString option = QString::fromLocal8Bit(argv[i]), value = QString::fromLocal8Bit(argv[i + 1]);
        FigureFormat format = FigureFormat::Svg;
        if (option == "-plot" && figureFormatOfPath(value, &format) && format != FigureFormat::Svg)
            return true;
        if (option == "-regional-format" && figureFormatOfWord(value, &format) && format != FigureFormat::Svg)
            return true;
    }
    return false;
}

void printClockLine(const char* label, const QTime& time)
{
    std::printf("%s: %s, ", label, time.toString().toLocal8Bit().constData());
    std::printf("%s\n\n", QDate::currentDate().toString().toLocal8Bit().constData());
}
} // namespace

int main(int argc, char** argv)
{
    const auto app = makeFigureApplication(argc, argv, asksForRenderedFigures(argc, argv));
    if (isHelpRequest(argc, argv)) {
        std::fputs(usageText().c_str(), stdout);
        return std::fflush(stdout) != 0 ? 1 : 0;
    }
    TemporaryFiles temps;
    takeTerminationSignals(temps);
    printBanner();
    printCommandWords(argc, argv);
    for (const std::string& word : unknownOptionWords(argc, argv))
        std::fprintf(stderr, "quorlin: warning: unknown option word '%s' is ignored (see quorlin --help)\n",
                     word.c_str());
    const std::vector<std::string> words = collectOptionWords(argc, argv);
    const QTime start = QTime::currentTime();
    std::printf("\n");
    printClockLine("START TIME", start);
    if (!runQuorlin(words, temps, std::vector<std::string>(argv, argv + argc))) {
        std::fputs("quorlin: see 'quorlin --help' for the options\n", stderr);
        std::fflush(stdout);
        return 1;
    }
    const QTime end = QTime::currentTime();
    printClockLine("END TIME", end);
    std::fputs(elapsedText(elapsedMsecs(start.msecsSinceStartOfDay(), end.msecsSinceStartOfDay())).c_str(), stdout);
    return std::fflush(stdout) != 0 ? 1 : 0;
}
