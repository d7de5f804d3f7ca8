#pragma once

#include <QObject>

#include <chrono>
#include <functional>

namespace Tidemark {

// The app's one hand-off between threads: runs `task` on `context`'s thread, at once when called there,
// otherwise queued behind what that thread was handed before (one caller's tasks keep their order).
// Queued tasks are dropped if `context` is destroyed first.
void runOnThreadOf(QObject* context, std::function<void()> task);

// Runs tasks on the main thread: later, or as soon as possible.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    // From the main thread: run `task` on it after `delay`.
    virtual void schedule(std::chrono::milliseconds delay, std::function<void()> task) = 0;
    // From any thread: run `task` on the main thread (at once when called there), in the order posted.
    virtual void post(std::function<void()> task) = 0;
};

// The product's scheduler: Qt timers and `runOnThreadOf` on the context object's thread.
// Tasks whose context object is gone are dropped.
class QtScheduler final : public Scheduler {
public:
    explicit QtScheduler(QObject* context) : context_(context) {}
    void schedule(std::chrono::milliseconds delay, std::function<void()> task) override;
    void post(std::function<void()> task) override;

private:
    QObject* context_;
};

}  // namespace Tidemark
