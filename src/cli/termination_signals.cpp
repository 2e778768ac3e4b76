// The signal thread: sigwait, remove the temporary files, _exit.
#include "cli/termination_signals.h"

#include <csignal>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace {

// What the thread needs: the signals it waits for and the files to remove.
// Lives until the process ends (the thread is detached and never returns).
struct SignalWatch {
    sigset_t wanted;
    TemporaryFiles* temps;
};

void* watch(void* arg)
{
    const SignalWatch* w = static_cast<const SignalWatch*>(arg);
    int received = 0;
    while (sigwait(&w->wanted, &received) != 0) {
    }
    w->temps->removeAllAndHold();
    _exit(128 + received);
}

// sigwait and removing a few files take little: 256 KiB is ample.
constexpr size_t kStackBytes = size_t(256) << 10;

} // namespace

bool takeTerminationSignals(TemporaryFiles& temps, std::string* error)
{
    auto* w = new SignalWatch; // for the thread's lifetime, the process's
    sigemptyset(&w->wanted);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&w->wanted, s);
    w->temps = &temps;
    pthread_sigmask(SIG_BLOCK, &w->wanted, nullptr);
    pthread_attr_t attr;
    int code = pthread_attr_init(&attr);
    if (code == 0) {
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        pthread_attr_setstacksize(&attr, kStackBytes);
        pthread_t thread;
        code = pthread_create(&thread, &attr, watch, w);
        pthread_attr_destroy(&attr);
    }
    if (code == 0)
        return true;
    delete w;
    if (error)
        *error = std::string("cannot start the thread that takes the termination signals: ") + std::strerror(code);
    return false;
}
