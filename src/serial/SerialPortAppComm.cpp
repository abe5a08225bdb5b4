// The dialog's serial port: the comm service of the one application object, found at each call.
#include "fw/App.h"
#include "serial/SerialPort.h"

namespace {

fw::Comm* ApplicationComm() {
    fw::App* app = fw::App::Current();
    return app != nullptr ? app->services().comm : nullptr;
}

} // namespace

CSerialPort::CSerialPort() : CSerialPort(nullptr) {
    m_findComm = &ApplicationComm;
}
