// The remembered port: the same per-user setting as the update dialog's, so that both front ends
// remember the same port.
#pragma once
#include "fw/Profile.h"

namespace console {

// The port of the last successful update, or 0 when none is remembered.
int ReadRememberedPort(fw::Profile& profile);
// Stores the port of a successful update; false when it could not be stored.
bool RememberPort(fw::Profile& profile, int port);

} // namespace console
