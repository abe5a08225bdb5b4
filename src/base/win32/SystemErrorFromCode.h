// base::SystemErrorFromCode: what a GetLastError code of a port or a file means for a user.
#pragma once
#include "base/SystemError.h"

namespace base {

// The cause a user can act on (a port that is not there, held by another program, not a serial
// port), with the system's own words for the code.
SystemError SystemErrorFromCode(unsigned long code);

} // namespace base
