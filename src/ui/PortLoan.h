// The message by which the companion serial test program is asked to lend a port and told it is
// back.
#pragma once
#include "base/ProductNames.h"

#define WM_PORT_HANDOFF 0x8065
#define PORT_RELEASE_REQUEST 1001
#define PORT_RETURN_NOTICE 1002
#define PORT_LOAN_WAIT_MS 1000
