// The lock and the worker thread on Windows: a critical section and CreateThread (the MinGW
// compiler of this build has no std::thread).
#include <windows.h>

#include "console/WorkerThread.h"

namespace console {

struct Mutex::Impl {
    CRITICAL_SECTION section;
};

Mutex::Mutex() : m_impl(std::make_unique<Impl>()) {
    ::InitializeCriticalSection(&m_impl->section);
}
Mutex::~Mutex() {
    ::DeleteCriticalSection(&m_impl->section);
}
void Mutex::lock() {
    ::EnterCriticalSection(&m_impl->section);
}
void Mutex::unlock() {
    ::LeaveCriticalSection(&m_impl->section);
}

struct WorkerThread::Impl {
    std::function<void()> job;
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(LPVOID self) {
        static_cast<Impl*>(self)->job();
        return 0;
    }
};

WorkerThread::WorkerThread() : m_impl(std::make_unique<Impl>()) {}

WorkerThread::~WorkerThread() {
    join();
}

bool WorkerThread::start(std::function<void()> job) {
    m_impl->job = std::move(job);
    m_impl->thread = ::CreateThread(nullptr, 0, &Impl::Run, m_impl.get(), 0, nullptr);
    return m_impl->thread != nullptr;
}

void WorkerThread::join() {
    if (m_impl->thread != nullptr) {
        ::WaitForSingleObject(m_impl->thread, INFINITE);
        ::CloseHandle(m_impl->thread);
        m_impl->thread = nullptr;
    }
}

} // namespace console
