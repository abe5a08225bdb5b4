// The lock and the worker thread on Linux: the standard library's.
#include <mutex>
#include <system_error>
#include <thread>

#include "console/WorkerThread.h"

namespace console {

struct Mutex::Impl {
    std::mutex mutex;
};

Mutex::Mutex() : m_impl(std::make_unique<Impl>()) {}
Mutex::~Mutex() = default;
void Mutex::lock() {
    m_impl->mutex.lock();
}
void Mutex::unlock() {
    m_impl->mutex.unlock();
}

struct WorkerThread::Impl {
    std::thread thread;
};

WorkerThread::WorkerThread() : m_impl(std::make_unique<Impl>()) {}

WorkerThread::~WorkerThread() {
    join();
}

bool WorkerThread::start(std::function<void()> job) {
    try {
        m_impl->thread = std::thread(std::move(job));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void WorkerThread::join() {
    if (m_impl->thread.joinable()) {
        m_impl->thread.join();
    }
}

} // namespace console
