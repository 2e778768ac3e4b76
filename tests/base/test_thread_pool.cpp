// The thread pool and the pipelines: results placed and taken in order,
// exceptions carried to the caller, threads that cannot be started (the
// work is done on the threads there are, at worst on the caller), and
// pipelines left early. Each case runs with several pool sizes, the ones
// whose threads fail to start included.
#include "base/ordered_work.h"
#include "base/pipeline.h"
#include "base/thread_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace {

// Starts the first `allowed` threads, then fails as the system does when
// it has no thread to give.
ThreadStart startingOnly(int allowed)
{
    auto left = std::make_shared<int>(allowed);
    return [left](std::function<void()> body) {
        if (*left <= 0)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        --*left;
        return std::thread(std::move(body));
    };
}

struct PoolCase {
    int workers;
    int started; // how many of them the start function lets start
};
const PoolCase kPools[] = {{0, 0}, {1, 1}, {3, 3}, {3, 1}, {4, 0}};

std::string nameOf(const PoolCase& c)
{
    return std::to_string(c.started) + " of " + std::to_string(c.workers) + " workers";
}

// A little work that takes a different time for different i, so the
// workers finish out of order.
void busy(size_t i)
{
    if (i % 7 == 3)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

} // namespace

TEST(ThreadPool, EveryIndexOnceInItsPlaceOnTheThreadsThereAre)
{
    for (const PoolCase& c : kPools) {
        SCOPED_TRACE(nameOf(c));
        ThreadPool pool(c.workers, startingOnly(c.started));
        ASSERT_EQ(pool.workers(), c.started);
        const size_t n = 500;
        std::vector<size_t> result(n, 0);
        std::vector<long> perSlot(static_cast<size_t>(pool.workers()) + 1, 0); // unlocked: one call per slot at a time
        const std::thread::id caller = std::this_thread::get_id();
        bool slotZeroOnCaller = true;
        for (int round = 0; round < 3; ++round) { // the pool serves one loop after another
            pool.parallelFor(n, [&](size_t i, int slot) {
                busy(i);
                result[i] += i * i;
                ++perSlot[static_cast<size_t>(slot)];
                if (slot == 0 && std::this_thread::get_id() != caller)
                    slotZeroOnCaller = false;
            });
        }
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(result[i], 3 * i * i) << i;
        EXPECT_EQ(std::accumulate(perSlot.begin(), perSlot.end(), 0L), 3L * static_cast<long>(n));
        EXPECT_TRUE(slotZeroOnCaller);
        pool.parallelFor(0, [&](size_t, int) { FAIL(); });
    }
}

TEST(ThreadPool, TheLowestFailingIndexIsRethrownAndThePoolServesOn)
{
    for (const PoolCase& c : kPools) {
        SCOPED_TRACE(nameOf(c));
        ThreadPool pool(c.workers, startingOnly(c.started));
        for (int round = 0; round < 20; ++round) {
            try {
                pool.parallelFor(200, [](size_t i, int) {
                    busy(i);
                    if (i == 17 || i == 40 || i >= 120)
                        throw std::runtime_error(std::to_string(i));
                });
                FAIL() << "nothing thrown";
            } catch (const std::runtime_error& e) {
                ASSERT_STREQ(e.what(), "17");
            }
        }
        std::vector<int> after(50, 0);
        pool.parallelFor(after.size(), [&](size_t i, int) { after[i] = 1; });
        EXPECT_EQ(std::accumulate(after.begin(), after.end(), 0), 50);
    }
}

TEST(ThreadPool, ARoundsExceptionComesBackAtWait)
{
    ThreadPool pool(2);
    ASSERT_EQ(pool.workers(), 2);
    pool.start([](int slot) {
        if (slot == 2)
            throw std::runtime_error("slot 2");
    });
    EXPECT_THROW(pool.wait(), std::runtime_error);
    pool.start([](int) {});
    EXPECT_NO_THROW(pool.wait());
    pool.start([](int) { throw std::runtime_error("left for the destructor"); });
} // the destructor waits for the round and drops its exception

TEST(PipelineSource, ItemsInOrderThenTheProducersException)
{
    for (const PoolCase& c : kPools) {
        SCOPED_TRACE(nameOf(c));
        for (const int failAt : {-1, 0, 1000}) { // -1: no failure; 0: before the first item
            int made = 0;
            PipelineSource<std::unique_ptr<int>> source(
                2,
                [&](std::unique_ptr<int>& item) {
                    if (made == failAt)
                        throw std::runtime_error("bad input");
                    if (made == 3000)
                        return false;
                    busy(static_cast<size_t>(made));
                    item = std::make_unique<int>(made++);
                    return true;
                },
                startingOnly(c.started > 0 ? 1 : 0));
            std::unique_ptr<int> item;
            int taken = 0;
            bool thrown = false;
            try {
                while (source.next(item))
                    ASSERT_EQ(*item, taken++);
            } catch (const std::runtime_error&) {
                thrown = true;
            }
            EXPECT_EQ(thrown, failAt >= 0);
            EXPECT_EQ(taken, failAt >= 0 ? failAt : 3000);
            EXPECT_EQ(made, taken); // read after the end: written by the producer before it
        }
    }
}

TEST(PipelineSource, LeftEarlyItStopsTheProducer)
{
    for (const int started : {0, 1}) {
        long made = 0;
        {
            PipelineSource<long> endless(
                3,
                [&](long& item) {
                    item = made++;
                    return true;
                },
                startingOnly(started));
            long item = -1;
            for (int k = 0; k < 5; ++k)
                ASSERT_TRUE(endless.next(item));
            EXPECT_EQ(item, 4);
        } // returns: the producer waiting on the full queue is let go
        EXPECT_LE(made, 5 + 3 + 1);
    }
}

TEST(PipelineSink, ItemsConsumedInOrderWithSparesBackAndTheConsumersException)
{
    for (const int started : {0, 1}) {
        SCOPED_TRACE(started);
        for (const int failAt : {-1, 7}) {
            std::vector<int> seen;
            PipelineSink<std::vector<int>> sink(
                2,
                [&](std::vector<int>& item) {
                    if (item.front() == failAt)
                        throw std::runtime_error("full");
                    busy(static_cast<size_t>(item.front()));
                    seen.insert(seen.end(), item.begin(), item.end());
                    item.clear();
                },
                startingOnly(started));
            size_t reused = 0;
            for (int k = 0; k < 400; ++k) { // after a failure the pushes return at once, however many
                std::vector<int> item;
                if (sink.spare(item)) {
                    EXPECT_TRUE(item.empty());
                    ++reused;
                }
                item.assign({k, k});
                sink.push(std::move(item));
            }
            bool thrown = false;
            try {
                sink.finish();
            } catch (const std::runtime_error&) {
                thrown = true;
            }
            EXPECT_EQ(thrown, failAt >= 0);
            const size_t consumed = failAt >= 0 ? static_cast<size_t>(failAt) : 400;
            ASSERT_EQ(seen.size(), 2 * consumed);
            for (size_t k = 0; k < seen.size(); ++k)
                ASSERT_EQ(seen[k], static_cast<int>(k / 2));
            if (failAt < 0) {
                EXPECT_GT(reused, 0u);
            }
        }
    }
}

TEST(OrderedWork, ResultsInInputOrderWithFailuresInTheirPlace)
{
    for (const PoolCase& c : kPools) {
        SCOPED_TRACE(nameOf(c));
        OrderedWork<int, std::string> work(
            c.workers,
            [](int& in, int) {
                busy(static_cast<size_t>(in));
                if (in % 50 == 13)
                    throw std::runtime_error("failed " + std::to_string(in));
                return std::to_string(in * 3);
            },
            startingOnly(c.started));
        ASSERT_EQ(work.workers(), c.started);
        std::vector<std::string> results;
        std::string out;
        for (int in = 0; in < 300; ++in) { // pushing and taking interleaved, as a reader does
            work.push(in);
            while (work.inFlight() > 4 && results.size() < 300) {
                try {
                    if (work.take(out, work.inFlight() > 8))
                        results.push_back(out);
                } catch (const std::runtime_error& e) {
                    results.push_back(e.what());
                }
            }
        }
        while (work.inFlight() > 0) {
            try {
                ASSERT_TRUE(work.take(out, true));
                results.push_back(out);
            } catch (const std::runtime_error& e) {
                results.push_back(e.what());
            }
        }
        EXPECT_FALSE(work.take(out, true));
        ASSERT_EQ(results.size(), 300u);
        for (int in = 0; in < 300; ++in)
            ASSERT_EQ(results[static_cast<size_t>(in)],
                      in % 50 == 13 ? "failed " + std::to_string(in) : std::to_string(in * 3));
    }
}

TEST(OrderedWork, CancelDropsWhatHasNotStartedAndKeepsTheOldestResults)
{
    for (const PoolCase& c : kPools) {
        SCOPED_TRACE(nameOf(c));
        std::atomic<int> ran{0};
        OrderedWork<int, int> work(
            c.workers,
            [&](int& in, int) {
                ++ran;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                return in;
            },
            startingOnly(c.started));
        for (int in = 0; in < 100; ++in)
            work.push(in);
        int out = -1;
        ASSERT_TRUE(work.take(out, true));
        EXPECT_EQ(out, 0);
        work.cancel();
        const int started = ran.load();
        EXPECT_EQ(static_cast<int>(work.inFlight()), started - 1);
        for (int expected = 1; expected < started; ++expected) {
            ASSERT_TRUE(work.take(out, false));
            EXPECT_EQ(out, expected);
        }
        EXPECT_FALSE(work.take(out, true));
        if (c.started > 0) {
            EXPECT_LT(started, 100);
        }
    }
}
