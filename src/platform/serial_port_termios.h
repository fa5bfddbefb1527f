#pragma once
#include <string>

#include "platform/serial_port.h"

namespace morvik {

// A serial port through POSIX termios. The port is opened for each Morse
// element and closed after it, so that DTR follows the key.
class TermiosSerialPort : public SerialPort {
public:
    TermiosSerialPort() = default;
    TermiosSerialPort(const TermiosSerialPort&) = delete;
    TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;
    ~TermiosSerialPort() override;

    bool Open(const std::string& name) override;
    void Close() override;

private:
    int fd_ = -1;
};

// The path Open would use for a port name typed in an upper-case field.
// A name that exists is kept; otherwise each component is matched against
// the directory entries without regard to ASCII case, absolute names from
// "/", relative ones from the working directory and bare names (no '/')
// under bare_dir. An unmatched "COMn" becomes bare_dir + "ttyS<n-1>".
// Anything still unmatched comes back unresolved, for Open to fail on.
std::string ResolvePortPath(const std::string& name, const std::string& bare_dir = "/dev/");

}  // namespace morvik
