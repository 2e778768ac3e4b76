// The threads Qt's raster painter shares large fills with. Qt 6.4 hands the
// spans of a large fill to QThreadPool::globalInstance() and waits for all
// of them; where the pool cannot start a thread (under an address-space
// limit, say), the task is lost and the painter waits for ever. The pool's
// threads are therefore started once, before any figure is painted, and
// kept: a pool with all its threads alive and idle never starts another.
#pragma once
#include <QString>

// Starts the global pool's threads (at most four, with 1 MiB stacks, which
// never expire). False, with error set, when the address space for them is
// not there or they did not all start within 20 s; after a timeout the
// pool holds a task that will never run, so the process must end without
// destroying the application object (std::_Exit), whose destructor would
// wait for it. Call once, with the QGuiApplication made and before any
// painting, on the thread that will own the application.
enum class RasterThreads { Started, NoRoom, TimedOut };
RasterThreads startRasterThreads(QString* error);
