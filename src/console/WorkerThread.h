// The little of threads that several updates at once need, on every build: a lock, and a thread
// that runs one job. (The Windows build's compiler has no std::thread.)
#pragma once
#include <functional>
#include <memory>

namespace console {

class Mutex {
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock();
    void unlock();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Holds the mutex for its scope.
class MutexLock {
public:
    explicit MutexLock(Mutex& mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~MutexLock() { m_mutex.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& m_mutex;
};

// One job on a thread of its own. The job must not throw.
class WorkerThread {
public:
    WorkerThread();
    // Waits for the job to end.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // False when the system gives no thread (the job is not run).
    bool start(std::function<void()> job);
    // Waits for the job to end; nothing when none was started.
    void join();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace console
