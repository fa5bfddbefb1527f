#include "platform/serial_port_termios.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <optional>
#include <string_view>

namespace morvik {
namespace {

bool Exists(const std::string& path) {
    struct stat st{};
    return lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& dir, std::string_view entry) {
    if (dir.empty()) return std::string(entry);
    if (dir.back() == '/') return dir + std::string(entry);
    return dir + "/" + std::string(entry);
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Only ASCII letters are folded; the bytes of other UTF-8 characters must
// match exactly, which is all a device name ever needs.
bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

// The entry of dir that equals name without regard to case. Should several
// match, the smallest wins so that the choice does not depend on the order
// the directory happens to list them in.
std::optional<std::string> FindEntry(const std::string& dir, std::string_view name) {
    DIR* stream = opendir(dir.empty() ? "." : dir.c_str());
    if (stream == nullptr) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = readdir(stream)) {
        const std::string_view candidate = entry->d_name;
        if (EqualIgnoringCase(candidate, name) && (!found || candidate < *found)) {
            found = std::string(candidate);
        }
    }
    closedir(stream);
    return found;
}

// Walks path one component at a time, keeping components that exist as
// typed and otherwise looking them up in their directory.
std::optional<std::string> MatchIgnoringCase(const std::string& path) {
    std::string resolved = path.front() == '/' ? "/" : "";
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string_view component = std::string_view(path).substr(start, end - start);
        start = end + 1;
        if (component.empty()) continue;
        const std::string typed = Join(resolved, component);
        if (Exists(typed)) {
            resolved = typed;
            continue;
        }
        const std::optional<std::string> entry = FindEntry(resolved, component);
        if (!entry) return std::nullopt;
        resolved = Join(resolved, *entry);
    }
    return resolved;
}

// n of a name that is exactly "COM<n>" in any case, n a positive decimal.
std::optional<unsigned long> ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 12 || !EqualIgnoringCase(name.substr(0, 3), "com")) {
        return std::nullopt;
    }
    unsigned long n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return std::nullopt;
        n = n * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    if (n == 0) return std::nullopt;
    return n;
}

// 19200 8N1, raw, no flow control of either kind. HUPCL makes the driver
// drop the modem lines on the last close as well.
bool SetLine(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD | HUPCL;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, B19200) != 0 || cfsetospeed(&tio, B19200) != 0) return false;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// A pseudo-terminal has no modem lines and refuses these, which is fine:
// the line is keyed by the open itself, these only make the levels certain.
void SetModemLine(int fd, unsigned long request, int line) { (void)ioctl(fd, request, &line); }

}  // namespace

std::string ResolvePortPath(const std::string& name, const std::string& bare_dir) {
    if (name.empty()) return name;
    const bool bare = name.find('/') == std::string::npos;
    const std::string typed = bare ? Join(bare_dir, name) : name;
    if (Exists(typed)) return typed;
    if (std::optional<std::string> matched = MatchIgnoringCase(typed)) return *matched;
    if (bare) {
        if (std::optional<unsigned long> n = ComNumber(name)) {
            return Join(bare_dir, "ttyS" + std::to_string(*n - 1));
        }
    }
    return typed;
}

TermiosSerialPort::~TermiosSerialPort() { Close(); }

bool TermiosSerialPort::Open(const std::string& name) {
    Close();
    const std::string path = ResolvePortPath(name);
    if (path.empty()) return false;

    // Only character devices are ever opened: opening a FIFO or a file for
    // keying could block the program or connect to something that is not
    // a transmitter at all.
    struct stat st{};
    if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;

    // O_NOCTTY: the keyer must never become the port's controlling process.
    // O_NONBLOCK: a port waiting for carrier detect must not hang the keyer.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // The path may have been replaced between stat and open; what counts is
    // what was opened.
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !isatty(fd) ||
        ioctl(fd, TIOCEXCL) != 0 || !SetLine(fd)) {
        (void)ioctl(fd, TIOCNXCL);
        close(fd);
        return false;
    }
    // Most drivers raise DTR and RTS on open anyway; DTR is the key and
    // RTS is held inactive so that it does not key anything else.
    SetModemLine(fd, TIOCMBIS, TIOCM_DTR);
    SetModemLine(fd, TIOCMBIC, TIOCM_RTS);
    fd_ = fd;
    return true;
}

void TermiosSerialPort::Close() {
    if (fd_ < 0) return;
    SetModemLine(fd_, TIOCMBIC, TIOCM_DTR);
    // The exclusive flag lives on the tty, which can outlive this close (a
    // pseudo-terminal's slave stays while its master is open); left set, it
    // would refuse the next element's open to anyone but root.
    (void)ioctl(fd_, TIOCNXCL);
    close(fd_);
    fd_ = -1;
}

}  // namespace morvik
