// The COM ports that Windows' serial-port map names.
#include "serial/win32/WinPorts.h"

#include <algorithm>

#include "serial/ComName.h"
#include "serial/PortMapWalk.h"

namespace serial::win32 {

std::vector<PortInfo> ListComPorts(fw::PortMap& map) {
    std::vector<std::pair<int, PortInfo>> numbered;
    HKEY key = nullptr;
    // Buffers larger than any name or COM name the map holds, so that the walk sees them all.
    WalkPortMap(map, &key, 256, 256, [&](const std::string& device, const std::string& com) {
        const int n = ComNumberFromText(com);
        if (n > 0 && (com[0] == 'C' || com[0] == 'c')) {
            PortInfo p;
            p.name = ComName(n);
            p.description = device;
            numbered.emplace_back(n, p);
        }
    });
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<PortInfo> ports;
    for (const auto& entry : numbered) {
        ports.push_back(entry.second);
    }
    return ports;
}

} // namespace serial::win32
