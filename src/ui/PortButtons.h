// The main dialog's port buttons: one automatic radio button for each offered port, numbered in a
// row from IDC_COM1, so that a button's id and its port number follow from each other.
#pragma once
#include "ui/PortRange.h"
#include "ui/resource.h"

// The id of COMn's button.
constexpr int PortButtonId(int port) {
    return IDC_COM1 + (port - kFirstComPort);
}

inline constexpr int kFirstPortButton = PortButtonId(kFirstComPort);
inline constexpr int kLastPortButton = PortButtonId(kLastComPort);

// The port number of a port button's id; 0 for any other id (0 is also what
// GetCheckedRadioButton returns when no button is checked).
constexpr int PortOfButton(int id) {
    return id >= kFirstPortButton && id <= kLastPortButton ? id - IDC_COM1 + kFirstComPort : 0;
}

static_assert(kLastPortButton == IDC_COM12,
              "resource.h numbers one button for each offered port, in a row from IDC_COM1");
