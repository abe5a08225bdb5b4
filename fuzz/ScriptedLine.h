// A lean scripted device on a serial line: it answers the program's writes by script.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "serial/Line.h"

namespace fuzzing {

// One line, COM1. The device queues an answer when the program writes a given text in one write,
// and may drop DSR at that moment. Everything is counted, nothing is logged per call, so that a
// run with long time-outs stays cheap. Operations on the line while it is closed fail and are
// counted: the program should never make them.
class ScriptedLine : public serial::Line {
public:
    static constexpr const char* kName = "COM1";

    struct Answer {
        std::string trigger; // the program's write that sets it off
        std::string bytes;   // what the device then sends
        bool dropDsr;        // whether the device drops DSR at that moment
        bool fired;
    };

    void onWrite(const std::string& trigger, const std::string& bytes, bool dropDsr = false) {
        m_answers.push_back({trigger, bytes, dropDsr, false});
    }
    void setDsr(bool on) { m_dsr = on; }

    bool isOpen() const { return m_open; }
    int opens() const { return m_opens; }
    int closes() const { return m_closes; }
    int callsWhileClosed() const { return m_callsWhileClosed; }
    // Every byte the program wrote, in order, and the single writes.
    const std::string& written() const { return m_written; }
    const std::vector<std::string>& writes() const { return m_writes; }

    const std::string& name() const override { return m_name; }
    bool open(std::uint32_t) override {
        close();
        m_open = true;
        m_opens++;
        return true;
    }
    void close() override {
        if (!m_open) {
            return;
        }
        m_open = false;
        m_closes++;
        m_input.clear();
    }
    bool setSpeed(std::uint32_t) override {
        if (!usable()) {
            return false;
        }
        m_input.clear();
        return true;
    }
    bool write(const std::string& data) override {
        if (!usable()) {
            return false;
        }
        m_written += data;
        m_writes.push_back(data);
        for (Answer& a : m_answers) {
            if (!a.fired && a.trigger == data) {
                a.fired = true;
                m_input.insert(m_input.end(), a.bytes.begin(), a.bytes.end());
                if (a.dropDsr) {
                    m_dsr = false;
                }
                break;
            }
        }
        return true;
    }
    // Never waits: nothing more comes until the program writes again.
    int read(char* buffer, int max, std::uint32_t) override {
        if (!usable()) {
            return kReadFailed;
        }
        int n = 0;
        while (n < max && !m_input.empty()) {
            buffer[n++] = m_input.front();
            m_input.pop_front();
        }
        return n;
    }
    bool purgeInput() override {
        if (!usable()) {
            return false;
        }
        m_input.clear();
        return true;
    }
    serial::Dsr dsr() override {
        if (!usable()) {
            return serial::Dsr::kUnknown;
        }
        return m_dsr ? serial::Dsr::kOn : serial::Dsr::kOff;
    }
    base::SystemError lastError() const override { return base::SystemError(); }

private:
    bool usable() {
        if (m_open) {
            return true;
        }
        m_callsWhileClosed++;
        return false;
    }

    std::string m_name = kName;
    std::vector<Answer> m_answers;
    std::deque<char> m_input;
    bool m_dsr = false;
    bool m_open = false;
    int m_opens = 0;
    int m_closes = 0;
    int m_callsWhileClosed = 0;
    std::string m_written;
    std::vector<std::string> m_writes;
};

} // namespace fuzzing
