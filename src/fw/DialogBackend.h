// fw::DialogBackend: what a backend keeps for one fw::Dialog (on Windows its real window and
// dialog procedure, on the host the model of its controls), held by the dialog under this one
// backend-neutral name.
#pragma once

namespace fw {

class DialogBackend {
public:
    DialogBackend() = default;
    virtual ~DialogBackend() = default;
    DialogBackend(const DialogBackend&) = delete;
    DialogBackend& operator=(const DialogBackend&) = delete;
};

} // namespace fw
