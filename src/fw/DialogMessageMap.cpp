// Message dispatch through the dialog classes' message maps, the same on every backend.
#include "fw/Dialog.h"

#include <exception>
#include <new>

#include "fw/App.h"

namespace fw {

namespace {

bool Matches(const MessageMapEntry& entry, UINT message, WPARAM wParam, LPARAM lParam) {
    if (entry.message != message) {
        return false;
    }
    if (message == WM_COMMAND) {
        return entry.id == LOWORD(wParam) && entry.code == HIWORD(wParam);
    }
    if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        return header != nullptr && entry.id == static_cast<UINT>(header->idFrom) &&
               entry.code == header->code;
    }
    return true;
}

LRESULT CallOnOK(Dialog& d, WPARAM, LPARAM) {
    d.OnOK();
    return 0;
}

LRESULT CallOnCancel(Dialog& d, WPARAM, LPARAM) {
    d.OnCancel();
    return 0;
}

const MessageMapEntry kDialogEntries[] = {
    {WM_COMMAND, BN_CLICKED, IDOK, &CallOnOK},
    {WM_COMMAND, BN_CLICKED, IDCANCEL, &CallOnCancel},
    {0, 0, 0, nullptr},
};

const MessageMap kDialogMap = {nullptr, kDialogEntries};

} // namespace

const MessageMap* Dialog::GetThisMessageMap() {
    return &kDialogMap;
}

const MessageMap* Dialog::GetMessageMap() const {
    return &kDialogMap;
}

BOOL Dialog::DispatchMessageToMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
        for (const MessageMapEntry* entry = map->entries; entry->thunk != nullptr; ++entry) {
            if (Matches(*entry, message, wParam, lParam)) {
                LRESULT value = 0;
                std::string failure;
                try {
                    value = entry->thunk(*this, wParam, lParam);
                } catch (const std::bad_alloc&) {
                    failure = "out of memory";
                } catch (const std::exception& e) {
                    failure = e.what();
                    if (failure.empty()) {
                        // Still a failure: it must not pass for a handler that returned.
                        failure = "an unknown exception";
                    }
                } catch (...) {
                    failure = "an unknown exception";
                }
                if (!failure.empty()) {
                    try {
                        OnHandlerException(failure);
                    } catch (...) {
                        // The report itself failed; the window must still live on.
                    }
                }
                if (result != nullptr) {
                    *result = value;
                }
                return TRUE;
            }
        }
    }
    return FALSE;
}

void Dialog::OnHandlerException(const std::string& what) {
    const App* app = App::Current();
    MessageBox("The operation stopped because of an internal error (" + what + ").     ",
               app != nullptr ? app->AppName() : std::string(), MB_OK | MB_ICONEXCLAMATION);
}

} // namespace fw
