#pragma once
#include <string>

namespace morvik {

// The serial port whose DTR line keys the transmitter: DTR is high while the
// port is open and low otherwise. No data is ever written or read.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Opens the named port (UTF-8) at 19200 8N1 without flow control and
    // raises DTR. False when it cannot be opened; nothing is then open.
    virtual bool Open(const std::string& name) = 0;
    // Drops DTR and closes the port; does nothing when none is open.
    virtual void Close() = 0;
};

}  // namespace morvik
