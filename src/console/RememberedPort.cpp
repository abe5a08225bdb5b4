// The remembered port under the dialog's own names (on the host, in the settings file).
#include "console/RememberedPort.h"

#include "app/ProgramNames.h"

namespace console {

int ReadRememberedPort(fw::Profile& profile) {
    profile.setRegistryKey(COMPANY_NAME, PROGRAM_NAME);
    const int port = profile.getProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, 0);
    return port > 0 ? port : 0;
}

bool RememberPort(fw::Profile& profile, int port) {
    profile.setRegistryKey(COMPANY_NAME, PROGRAM_NAME);
    return profile.writeProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, port);
}

} // namespace console
