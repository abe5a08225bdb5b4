// The window libraries that start-up prepares: the common controls and the rich edit 2.0 control.
#include "fw/App.h"

namespace fw {

void InitCommonControls() {
    ::InitCommonControls();
}

// Loaded once per process and kept: a "RichEdit20A" control needs the library while it lives.
BOOL InitRichEdit2() {
    static HMODULE library = ::LoadLibraryA("RICHED20.DLL");
    return library != nullptr ? TRUE : FALSE;
}

} // namespace fw
