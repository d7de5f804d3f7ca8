#include <ZuzizavAdiduDazorud/logging/Locks.h>

#include <ZuzizavAdiduDazorud/logging/Logger.h>

#include <cstring>
#include <string>

namespace Logging {

namespace {
void check(int result, const char* call) {
    if (result != 0) fatalError(std::string(call) + " failed: " + std::strerror(result));
}
}  // namespace

Lock::Lock() : mutex_(std::make_unique<pthread_mutex_t>()) {
    check(pthread_mutex_init(mutex_.get(), nullptr), "pthread_mutex_init");
}

Lock::~Lock() { check(pthread_mutex_destroy(mutex_.get()), "pthread_mutex_destroy"); }

void Lock::lock() { check(pthread_mutex_lock(mutex_.get()), "pthread_mutex_lock"); }

void Lock::unlock() { check(pthread_mutex_unlock(mutex_.get()), "pthread_mutex_unlock"); }

ReadWriteLock::ReadWriteLock() : rwlock_(std::make_unique<pthread_rwlock_t>()) {
    check(pthread_rwlock_init(rwlock_.get(), nullptr), "pthread_rwlock_init");
}

ReadWriteLock::~ReadWriteLock() { check(pthread_rwlock_destroy(rwlock_.get()), "pthread_rwlock_destroy"); }

void ReadWriteLock::lockRead() { check(pthread_rwlock_rdlock(rwlock_.get()), "pthread_rwlock_rdlock"); }

void ReadWriteLock::lockWrite() { check(pthread_rwlock_wrlock(rwlock_.get()), "pthread_rwlock_wrlock"); }

void ReadWriteLock::unlock() { check(pthread_rwlock_unlock(rwlock_.get()), "pthread_rwlock_unlock"); }

}  // namespace Logging
