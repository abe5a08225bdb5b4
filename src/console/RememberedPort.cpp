// The remembered port under the dialog's own names: HKCU\Software\Fenmoor Systems\KeystrandUpdate,
// section "Settings", value "ComPort" (on the host, the settings file's [Settings] ComPort=n).
#include "console/RememberedPort.h"

namespace console {

namespace {

const char* const kCompany = "Fenmoor Systems";
const char* const kApplication = "KeystrandUpdate"; // the dialog program's file name
const char* const kSection = "Settings";
const char* const kEntry = "ComPort";

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
