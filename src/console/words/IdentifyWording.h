// What --identify found at one port and its words: a pure function, checked without a device.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/SystemError.h"
#include "serial/Line.h"

namespace console {

struct Identification {
    bool opened = false;
    base::SystemError openError; // why the port did not open
    std::string openAdvice;      // the platform's word on that, e.g. the group to join
    serial::Dsr dsr = serial::Dsr::kUnknown;
    std::string identity;    // the 18 characters of a right identity reply; empty when none came
    std::string received;    // what came instead (its first 25 characters)
    bool lineFailed = false; // the line failed while the reply was awaited
    base::SystemError lineError;
    int stopSignal = 0; // the signal that stopped the look
    std::uint32_t elapsedMs = 0;
};

struct IdentifyWords {
    int exitCode = 0;   // 0: the port was looked at, whatever answered; 4: it failed; stopped
    std::string serial; // the six characters after "\rKYST-SM-00,"; empty when none answered
    // What is told after the port's name: the finding, then the system's words and advice.
    std::vector<std::string> lines;
};

// "DSR on: application firmware, serial 654321."; "DSR off: a boot loader, or a cable without
// DSR; not asked."; "DSR on, but nothing answered "<V" within 2 s." ...
IdentifyWords DescribeIdentification(const Identification& found);

} // namespace console
