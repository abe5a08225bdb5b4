// console::LockedPlatform: the platform as several updates' threads reach it, one call at a
// time. The platform is written for one update (its diagnosis of a failed open, for one, reads
// the group database through calls that keep their answer in one static place); the devices of
// a bench often fail together, so their threads would ask at the same moment.
#pragma once
#include "console/Platform.h"
#include "console/WorkerThread.h"

namespace console {

class LockedPlatform : public Platform {
public:
    explicit LockedPlatform(Platform& inner) : m_inner(inner) {}

    std::unique_ptr<fw::Comm> makeComm() override {
        MutexLock lock(m_mutex);
        return m_inner.makeComm();
    }
    // The clock is only read (and slept on): every thread may use it at once.
    fw::Clock& clock() override { return m_inner.clock(); }
    // The settings are not touched while several updates run.
    fw::Profile& profile() override { return m_inner.profile(); }

    std::string programDir() override {
        MutexLock lock(m_mutex);
        return m_inner.programDir();
    }
    std::string folderPrefix(const std::string& folder) override {
        MutexLock lock(m_mutex);
        return m_inner.folderPrefix(folder);
    }
    std::vector<PortListing> ports() override {
        MutexLock lock(m_mutex);
        return m_inner.ports();
    }
    int resolvePort(const std::string& text) override {
        MutexLock lock(m_mutex);
        return m_inner.resolvePort(text);
    }
    std::string settingsPlace() override {
        MutexLock lock(m_mutex);
        return m_inner.settingsPlace();
    }
    bool isTerminal(std::FILE* stream) override {
        MutexLock lock(m_mutex);
        return m_inner.isTerminal(stream);
    }
    int terminalWidth(std::FILE* stream) override {
        MutexLock lock(m_mutex);
        return m_inner.terminalWidth(stream);
    }
    std::string whyUnreadable(const std::string& path) override {
        MutexLock lock(m_mutex);
        return m_inner.whyUnreadable(path);
    }
    std::string openAdvice(int port, const fw::SystemError& error) override {
        MutexLock lock(m_mutex);
        return m_inner.openAdvice(port, error);
    }
    std::string devicePath(int port) override {
        MutexLock lock(m_mutex);
        return m_inner.devicePath(port);
    }

private:
    Platform& m_inner;
    Mutex m_mutex;
};

} // namespace console
