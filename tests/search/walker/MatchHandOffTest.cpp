#include "MatchHandOff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <thread>

using lurkel::MatchHandOff;

// Six producers, one consumer woken by the producers, as walkers and the main thread are.
TEST(HandOff, EveryItemOnceInProducerOrderAndNothingAfterTheEnd)
{
    constexpr int kProducers = 6;
    constexpr int kPerProducer = 20000;
    std::mutex mutex;
    std::condition_variable cv;
    int wakes = 0;
    MatchHandOff<std::pair<int, int>> handOff([&]() {
        std::lock_guard lock(mutex);
        ++wakes;
        cv.notify_one();
    });

    std::atomic<bool> producersDone{false};
    std::vector<int> nextExpected(kProducers, 0);
    std::size_t received = 0;
    bool ordered = true;
    auto take = [&](std::vector<std::pair<int, int>> batch) {
        for (const auto &[producer, n] : batch) {
            ordered = ordered && n == nextExpected[static_cast<std::size_t>(producer)];
            nextExpected[static_cast<std::size_t>(producer)] = n + 1;
        }
        received += batch.size();
    };
    std::thread consumer([&]() {
        int handled = 0;
        for (;;) {
            std::unique_lock lock(mutex);
            cv.wait(lock, [&]() { return wakes > handled || producersDone.load(); });
            handled = wakes;
            const bool done = producersDone.load();
            lock.unlock();
            take(handOff.drain());
            if (done) break;
        }
    });

    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&handOff, p]() {
            for (int n = 0; n < kPerProducer; ++n)
                handOff.push({p, n});
        });
    }
    for (std::thread &t : producers)
        t.join();
    {
        std::lock_guard lock(mutex);
        producersDone = true;
        cv.notify_one();
    }
    consumer.join();
    take(handOff.drain()); // the completion's own last drain finds nothing left over
    EXPECT_TRUE(ordered);
    EXPECT_EQ(received, static_cast<std::size_t>(kProducers * kPerProducer));
    EXPECT_LT(wakes, kProducers * kPerProducer); // batched, not one wake per item
}
