// Start-up helpers of the framework on the host: the library loads are recorded, not needed.
#include "fw/App.h"

namespace fw {

void InitCommonControls() {}

BOOL InitRichEdit2() {
    return TRUE;
}

} // namespace fw
