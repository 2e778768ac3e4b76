// Entry point: banner, echo of the command line, start line, the run, end
// line and elapsed time. An error stop ends with status 1 right after its
// message, without the end lines. SIGINT, SIGTERM and SIGHUP are taken by
// one thread that removes the run's temporary files and exits with 128 +
// the signal's number; the earlier outputs stay as they were (see
// termination_signals.h). Running out of memory or threads anywhere is an
// error stop too: "Not enough memory" and the reason.
#include "plot/address_space.h"
#include "plot/figure_render.h"
#include "cli/malloc_limits.h"
#include "cli/options.h"
#include "plot/raster_threads.h"
#include "cli/run.h"
#include "cli/run_banner.h"
#include "cli/termination_signals.h"
#include "cli/usage.h"

#include <QCoreApplication>
#include <QDate>
#include <QTime>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <system_error>
#include <utility>

namespace {

void printClockLine(const char* label, const QTime& time)
{
    std::printf("%s: %s, ", label, time.toString().toLocal8Bit().constData());
    std::printf("%s\n\n", QDate::currentDate().toString().toLocal8Bit().constData());
}

// The error stop of a resource failure.
int notEnoughMemory(const std::string& reason)
{
    std::fputs("Not enough memory\n", stdout);
    std::fprintf(stderr, "quorlin: %s\nquorlin: see 'quorlin --help' for the options\n", reason.c_str());
    return std::fflush(stdout), 1;
}
} // namespace

int main(int argc, char** argv)
{
    fitMallocToAddressLimit();
    // The options are read whole before the application is made, which
    // depends on them: PNG and PDF figures need Qt's fonts and so a
    // QGuiApplication. Their messages are printed after the start line.
    const std::vector<std::string> words = collectOptionWords(argc, argv);
    ParsedOptions parsed = parseOptions(words);
    const bool rendersFigures = parsed.ok && rendersRasterFigures(parsed.options);
    const auto app = makeFigureApplication(argc, argv, rendersFigures);
    if (isHelpRequest(argc, argv)) {
        std::fputs(usageText().c_str(), stdout);
        return std::fflush(stdout) != 0 ? 1 : 0;
    }
    TemporaryFiles temps;
    std::string shortage; // a resource failure before the run: reported after the start line
    bool threadsLost = false;
    const bool signalsTaken = takeTerminationSignals(temps, &shortage);
    if (signalsTaken && rendersFigures) { // after the signals are blocked: the painting threads inherit that
        QString why;
        const RasterThreads started = startRasterThreads(&why);
        if (started != RasterThreads::Started)
            shortage = why.toStdString();
        threadsLost = started == RasterThreads::TimedOut;
    }
    try {
        printBanner();
        printCommandWords(argc, argv);
        for (const std::string& word : unknownOptionWords(argc, argv))
            std::fprintf(stderr, "quorlin: warning: unknown option word '%s' is ignored (see quorlin --help)\n",
                         word.c_str());
        const QTime start = QTime::currentTime();
        std::printf("\n");
        printClockLine("START TIME", start);
        if (!shortage.empty()) {
            const int status = notEnoughMemory(shortage);
            if (threadsLost) // the application's destructor would wait for the lost thread
                std::_Exit(status);
            return status;
        }
        if (!runQuorlin(std::move(parsed), temps, std::vector<std::string>(argv, argv + argc))) {
            std::fputs("quorlin: see 'quorlin --help' for the options\n", stderr);
            std::fflush(stdout);
            return 1;
        }
        const QTime end = QTime::currentTime();
        printClockLine("END TIME", end);
        std::fputs(elapsedText(elapsedMsecs(start.msecsSinceStartOfDay(), end.msecsSinceStartOfDay())).c_str(),
                   stdout);
        return std::fflush(stdout) != 0 ? 1 : 0;
    } catch (const std::bad_alloc& e) { // outside any table: the annotation, the list, the study's outputs
        return notEnoughMemory(dynamic_cast<const MemoryShortage*>(&e) ? e.what() : "not enough memory for this run");
    } catch (const std::system_error& e) {
        return notEnoughMemory(std::string("cannot start a thread: ") + e.what());
    }
}
