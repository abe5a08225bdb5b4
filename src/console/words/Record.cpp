// The JSON of a report record.
#include "console/words/Record.h"

#include <cstdio>

#include "console/words/ExitCodes.h"
#include "update/DeviceProtocol.h"

namespace console {

namespace {

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string JsonOrNull(const std::string& text) {
    return text.empty() ? "null" : Json(text);
}

std::string UtcTime(std::time_t t) {
    std::tm utc{};
#ifdef _WIN32
    const bool ok = ::gmtime_s(&utc, &t) == 0;
#else
    const bool ok = ::gmtime_r(&t, &utc) != nullptr;
#endif
    char text[32] = {};
    if (ok) {
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    }
    return text;
}

} // namespace

std::string DeviceSerial(const std::string& identity) {
    const std::size_t at = update::kIdentityPrefixLength;
    return identity.size() >= at + 6 ? identity.substr(at, 6) : std::string();
}

const char* OutcomeWord(int exitCode) {
    switch (exitCode) {
    case kExitSuccess:
        return "updated";
    case kExitPackage:
        return "package";
    case kExitPort:
        return "port";
    case kExitDeviceEntry:
        return "entry";
    case kExitTransfer:
        return "transfer";
    default:
        return exitCode >= kExitSignalBase ? "stopped" : "internal";
    }
}

const char* DeviceStateWord(update::DeviceState state) {
    switch (state) {
    case update::DeviceState::kUnchanged:
        return "unchanged";
    case update::DeviceState::kRestartRequested:
        return "restart requested";
    case update::DeviceState::kUnknown:
        return "unknown";
    case update::DeviceState::kIncomplete:
        return "incomplete";
    case update::DeviceState::kUpdated:
        return "updated";
    }
    return "unknown";
}

std::string RecordLine(const UpdateRecord& r) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", r.seconds);
    return "{\"time\":" + Json(UtcTime(r.started)) + ",\"host\":" + Json(r.host) +
           ",\"tool_version\":" + Json(r.toolVersion) + ",\"port\":" + Json(r.port) +
           ",\"device\":" + JsonOrNull(r.device) +
           ",\"package_version\":" + (r.packageRead ? Json(r.packageVersion) : "null") +
           ",\"hex_file\":" + (r.packageRead ? Json(r.hexFile) : "null") +
           ",\"hex_sha256\":" + (r.packageRead ? JsonOrNull(r.hexSha256) : "null") +
           ",\"device_serial\":" + JsonOrNull(r.deviceSerial) +
           ",\"boot_loader_version\":" + JsonOrNull(r.bootLoaderVersion) +
           ",\"rows_sent\":" + std::to_string(r.rowsSent) +
           ",\"rows_total\":" + std::to_string(r.rowsTotal) +
           ",\"data_bytes\":" + std::to_string(r.dataBytes) + ",\"seconds\":" + seconds +
           ",\"outcome\":" + Json(r.outcome) + ",\"device_state\":" + Json(r.deviceState) +
           ",\"exit_code\":" + std::to_string(r.exitCode) + ",\"message\":" + Json(r.message) + "}";
}

} // namespace console
