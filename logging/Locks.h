#pragma once

#include <pthread.h>

#include <memory>
#include <utility>

namespace Logging {

// A platform mutex; a failing platform call stops the program.
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void lock();
    void unlock();

    template <typename Body>
    decltype(auto) withLock(Body&& body) {
        lock();
        struct Unlocker {
            Lock& l;
            ~Unlocker() { l.unlock(); }
        } unlocker{*this};
        return std::forward<Body>(body)();
    }

private:
    std::unique_ptr<pthread_mutex_t> mutex_;
};

// A platform read-write lock; a failing platform call stops the program.
class ReadWriteLock {
public:
    ReadWriteLock();
    ~ReadWriteLock();
    ReadWriteLock(const ReadWriteLock&) = delete;
    ReadWriteLock& operator=(const ReadWriteLock&) = delete;

    void lockRead();
    void lockWrite();
    void unlock();

    template <typename Body>
    decltype(auto) withReaderLock(Body&& body) {
        lockRead();
        Unlocker unlocker{*this};
        return std::forward<Body>(body)();
    }

    template <typename Body>
    decltype(auto) withWriterLock(Body&& body) {
        lockWrite();
        Unlocker unlocker{*this};
        return std::forward<Body>(body)();
    }

private:
    struct Unlocker {
        ReadWriteLock& l;
        ~Unlocker() { l.unlock(); }
    };
    std::unique_ptr<pthread_rwlock_t> rwlock_;
};

}  // namespace Logging
