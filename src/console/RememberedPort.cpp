// The remembered port under the dialog's own names: HKCU\Software\Fenmoor Systems\KeystrandUpdate,
// section "Settings", value "ComPort" (on the host, the settings file's [Settings] ComPort=n).
#include "console/RememberedPort.h"

#include "app/ProgramNames.h"

namespace console {

namespace {

const char* const kCompany = COMPANY_NAME;
const char* const kApplication = PROGRAM_NAME; // the dialog program's file name
const char* const kSection = SETTINGS_SECTION;
const char* const kEntry = SETTINGS_PORT_ENTRY;

} // namespace

int ReadRememberedPort(fw::Profile& profile) {
    profile.setRegistryKey(kCompany, kApplication);
    const int port = profile.getProfileInt(kSection, kEntry, 0);
    return port > 0 ? port : 0;
}

bool RememberPort(fw::Profile& profile, int port) {
    profile.setRegistryKey(kCompany, kApplication);
    return profile.writeProfileInt(kSection, kEntry, port);
}

} // namespace console
