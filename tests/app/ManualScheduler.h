#pragma once

#include "Scheduler.h"

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

// A scheduler with its own clock: time moves only when the test says so.
class ManualScheduler final : public Tidemark::Scheduler {
public:
    void schedule(std::chrono::milliseconds delay, std::function<void()> task) override {
        // Equal times keep their scheduling order.
        timed_.emplace(now_ + delay, std::move(task));
    }
    void post(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(task));
    }

    void runPosted() {
        for (;;) {
            std::vector<std::function<void()>> batch;
            {
                std::lock_guard lock(mutex_);
                batch.swap(posted_);
            }
            if (batch.empty()) return;
            for (auto& task : batch) task();
        }
    }

    void advance(std::chrono::milliseconds duration) {
        const auto target = now_ + duration;
        runPosted();
        while (!timed_.empty() && timed_.begin()->first <= target) {
            auto node = timed_.extract(timed_.begin());
            now_ = node.key();
            node.mapped()();
            runPosted();
        }
        now_ = target;
    }

    std::size_t pendingTimers() const { return timed_.size(); }
    std::chrono::milliseconds elapsed() const { return now_; }
    std::size_t pendingPosts() {
        std::lock_guard lock(mutex_);
        return posted_.size();
    }

private:
    std::chrono::milliseconds now_{0};
    std::multimap<std::chrono::milliseconds, std::function<void()>> timed_;
    std::mutex mutex_;
    std::vector<std::function<void()>> posted_;
};
