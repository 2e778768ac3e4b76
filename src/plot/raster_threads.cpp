// Starting and keeping the raster painter's pool threads.
//
// Design note: QThreadPool starts a new thread only when no idle thread
// can take the task and fewer than maxThreadCount threads are busy. With
// the expiry timeout at -1 an idle thread stays idle until it is given
// work, so once maxThreadCount threads have started, every later task goes
// to an idle thread or waits in the queue for one: no start can fail after
// this function returns Started. The threads are started by tasks that each
// hold their thread until all have begun, so the pool cannot hand two of
// them to one thread.
#include "plot/raster_threads.h"

#include "plot/address_space.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <memory>

namespace {
constexpr int kMaxThreads = 4;
// Fill tasks keep a few buffers of a few kB each on the stack.
constexpr uint kStackBytes = 1u << 20;
// Each thread's stack and guard page, with room for what starting it takes.
constexpr size_t kRoomPerThread = size_t(2) << 20;
constexpr int kStartWaitMs = 20000;
} // namespace

RasterThreads startRasterThreads(QString* error)
{
    QThreadPool* pool = QThreadPool::globalInstance();
    const int count = std::clamp(QThread::idealThreadCount(), 1, kMaxThreads);
    pool->setStackSize(kStackBytes);
    pool->setExpiryTimeout(-1);
    pool->setMaxThreadCount(count);
    if (!addressSpaceAvailable(kRoomPerThread * static_cast<size_t>(count))) {
        if (error)
            *error = QStringLiteral("not enough memory to start the %1 painting threads of the figures (%2 MB)")
                         .arg(count)
                         .arg(kRoomPerThread * count >> 20);
        return RasterThreads::NoRoom;
    }
    // Shared with the tasks: a task that starts late still finds them.
    const auto begun = std::make_shared<QSemaphore>(), go = std::make_shared<QSemaphore>();
    for (int i = 0; i < count; ++i)
        pool->start([begun, go] {
            begun->release();
            go->acquire();
        });
    const bool all = begun->tryAcquire(count, kStartWaitMs);
    go->release(count);
    if (!all) {
        if (error)
            *error = QStringLiteral("the painting threads of the figures could not be started");
        return RasterThreads::TimedOut;
    }
    return RasterThreads::Started;
}
