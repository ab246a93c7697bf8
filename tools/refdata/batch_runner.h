#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace korvex::refdata {

// Runs run_batch(0) .. run_batch(batches - 1) on `threads` threads, each batch once. Every
// history is seeded from its own index, so the results do not depend on which thread ran
// a batch. The first exception stops the remaining batches and is rethrown here.
inline void RunBatches(int batches, int threads, const std::function<void(int batch)>& run_batch) {
    std::atomic<int> next_batch{0};
    std::exception_ptr failure;
    std::mutex failure_mutex;
    auto worker = [&] {
        try {
            for (int batch = next_batch.fetch_add(1); batch < batches;
                 batch = next_batch.fetch_add(1)) {
                run_batch(batch);
            }
        } catch (...) {
            std::lock_guard lock(failure_mutex);
            if (!failure) {
                failure = std::current_exception();
            }
            next_batch.store(batches);
        }
    };
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t) {
        workers.emplace_back(worker);
    }
    worker();
    for (std::thread& thread : workers) {
        thread.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace korvex::refdata
