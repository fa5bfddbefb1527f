// The termios serial port against a kernel pseudo-terminal. The test keeps
// only the master; the slave's path is what the keyer opens, so the master
// sees the keyer's opens and closes as the slave coming and going.
#include "platform/serial_port_termios.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/pseudo_terminal.h"

namespace morvik {
namespace {

namespace fs = std::filesystem;

std::string Upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

using Pty = test::PseudoTerminal;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "morvik-serial-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& entry) const { return path_ + "/" + entry; }

private:
    std::string path_;
};

// Runs body in a child process and returns its exit status, or nothing if
// it had not finished after a generous time and had to be killed: a port
// that blocks in open must fail the test rather than hang it.
std::optional<int> ExitStatusWithin(std::chrono::seconds limit, const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    if (child < 0) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!WIFEXITED(status)) return std::nullopt;
    return WEXITSTATUS(status);
}

int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
    }
    return count;
}

TEST(TermiosSerialPort, EachOpenHoldsTheLineAndEachCloseReleasesIt) {
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(pty.HungUp());

    TermiosSerialPort port;
    for (int element = 0; element < 5; ++element) {
        ASSERT_TRUE(port.Open(pty.slave_path())) << "element " << element;
        EXPECT_FALSE(pty.HungUp()) << "element " << element;
        port.Close();
        EXPECT_TRUE(pty.HungUp()) << "element " << element;
    }
    EXPECT_EQ(pty.PendingBytes(), 0) << "the keyer must never send data";
}

TEST(TermiosSerialPort, SetsTheLineUpWhateverItWasBefore) {
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    // Leave the slave in a state unlike the one wanted, so that the port is
    // seen to set each setting rather than inherit it. On Linux the master
    // reads and writes the slave's termios.
    termios wrong{};
    ASSERT_EQ(tcgetattr(pty.master(), &wrong), 0);
    cfsetispeed(&wrong, B9600);
    cfsetospeed(&wrong, B9600);
    wrong.c_cflag = (wrong.c_cflag & ~(CSIZE | HUPCL | CLOCAL)) | CS7 | PARENB | CSTOPB | CRTSCTS;
    wrong.c_iflag |= IXON | IXOFF | IXANY;
    wrong.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(tcsetattr(pty.master(), TCSANOW, &wrong), 0);

    TermiosSerialPort port;
    ASSERT_TRUE(port.Open(pty.slave_path()));
    termios tio{};
    ASSERT_EQ(tcgetattr(pty.master(), &tio), 0);
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u) << "parity, two stop bits or RTS/CTS";
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), 0u) << "XON/XOFF";
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u) << "not raw";
    EXPECT_EQ(tio.c_cflag & (HUPCL | CLOCAL | CREAD), static_cast<tcflag_t>(HUPCL | CLOCAL | CREAD));
}

// Whether an unprivileged process can open path now; root would pass
// straight through exclusive use, so a root test drops to "nobody" first.
std::optional<int> UnprivilegedOpenErrno(const std::string& path) {
    return ExitStatusWithin(std::chrono::seconds(5), [&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 255;
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return errno;
        close(fd);
        return 0;
    });
}

TEST(TermiosSerialPort, TakesExclusiveUseOnlyWhileOpen) {
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_EQ(chmod(pty.slave_path().c_str(), 0666), 0);

    TermiosSerialPort port;
    ASSERT_TRUE(port.Open(pty.slave_path()));
    EXPECT_EQ(UnprivilegedOpenErrno(pty.slave_path()), EBUSY);
    port.Close();
    // The next element must be able to open the port again, whoever runs it.
    EXPECT_EQ(UnprivilegedOpenErrno(pty.slave_path()), 0);
}

TEST(TermiosSerialPort, OpeningAgainReleasesThePreviousPortEvenOnFailure) {
    Pty first;
    Pty second;
    ASSERT_TRUE(first.Ok() && second.Ok());

    TermiosSerialPort port;
    ASSERT_TRUE(port.Open(first.slave_path()));
    ASSERT_TRUE(port.Open(second.slave_path()));
    EXPECT_TRUE(first.HungUp());
    EXPECT_FALSE(second.HungUp());

    EXPECT_FALSE(port.Open("/nonexistent/morvik-port"));
    EXPECT_TRUE(second.HungUp());
}

TEST(TermiosSerialPort, ClosesOnlyWhatItOpened) {
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    {
        TermiosSerialPort port;
        port.Close();  // nothing open yet
        ASSERT_TRUE(port.Open(pty.slave_path()));
        port.Close();
        // The descriptor number just freed goes to the next open; a second
        // Close must not close that one.
        const int other = open("/dev/null", O_RDONLY | O_CLOEXEC);
        ASSERT_GE(other, 0);
        port.Close();
        EXPECT_NE(fcntl(other, F_GETFD), -1) << "a stale descriptor was closed";
        close(other);

        ASSERT_TRUE(port.Open(pty.slave_path()));
        EXPECT_FALSE(pty.HungUp());
    }
    EXPECT_TRUE(pty.HungUp()) << "destruction must release the port";
}

TEST(TermiosSerialPort, OpensUpperCasedNamesOfTheRealDevice) {
    Pty pty;
    TempDir dir;
    ASSERT_TRUE(pty.Ok());
    ASSERT_FALSE(dir.path().empty());
    fs::create_directories(dir / "Serial/By-Id");
    fs::create_symlink(pty.slave_path(), dir / "Serial/By-Id/usb-FTDI_X");

    for (const std::string& name : {Upper(pty.slave_path()), Upper(dir / "Serial/By-Id/usb-FTDI_X")}) {
        TermiosSerialPort port;
        EXPECT_TRUE(port.Open(name)) << name;
        EXPECT_FALSE(pty.HungUp()) << name;
        port.Close();
        EXPECT_TRUE(pty.HungUp()) << name;
    }
}

enum class Kind { kFifo, kRegularFile, kDirectory, kNotATerminal, kMissing, kEmptyName };

struct Refusal {
    const char* label;
    Kind kind;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.label; }

class RefusesWithoutOpening : public testing::TestWithParam<Refusal> {};

// Anything but a terminal is refused, quickly and without a descriptor left
// behind. What is not even a character device is refused without ever being
// opened: a FIFO opened for a moment would connect to whoever waits on its
// other end. A character device has to be opened to learn it is no tty.
TEST_P(RefusesWithoutOpening, AnythingButATerminal) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string name = dir / "Thing";
    switch (GetParam().kind) {
        case Kind::kFifo: ASSERT_EQ(mkfifo(name.c_str(), 0600), 0); break;
        case Kind::kRegularFile: ASSERT_EQ(close(open(name.c_str(), O_CREAT | O_WRONLY, 0600)), 0); break;
        case Kind::kDirectory: ASSERT_EQ(mkdir(name.c_str(), 0700), 0); break;
        case Kind::kNotATerminal: name = "/dev/null"; break;
        case Kind::kMissing: break;
        case Kind::kEmptyName: name.clear(); break;
    }
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    const bool must_stay_unopened = GetParam().kind == Kind::kFifo || GetParam().kind == Kind::kRegularFile ||
                                    GetParam().kind == Kind::kDirectory;
    if (must_stay_unopened) {
        ASSERT_GE(inotify_add_watch(watch, name.c_str(), IN_OPEN), 0);
    }

    enum { kRefused = 0, kOpened = 1, kLeaked = 2 };
    const std::optional<int> outcome = ExitStatusWithin(std::chrono::seconds(5), [&] {
        const int before = OpenDescriptorCount();
        TermiosSerialPort port;
        if (port.Open(name)) return kOpened;
        return OpenDescriptorCount() == before ? kRefused : kLeaked;
    });
    ASSERT_TRUE(outcome.has_value()) << "Open blocked or crashed";
    EXPECT_EQ(*outcome, kRefused);

    // Upper-case lookups may open parent directories, never the thing itself.
    char events[4096];
    const ssize_t got = read(watch, events, sizeof events);
    EXPECT_TRUE(got < 0 && errno == EAGAIN) << "the thing was opened";
    close(watch);
}

INSTANTIATE_TEST_SUITE_P(, RefusesWithoutOpening,
                         testing::Values(Refusal{"Fifo", Kind::kFifo}, Refusal{"RegularFile", Kind::kRegularFile},
                                         Refusal{"Directory", Kind::kDirectory},
                                         Refusal{"NotATerminal", Kind::kNotATerminal}, Refusal{"Missing", Kind::kMissing},
                                         Refusal{"EmptyName", Kind::kEmptyName}),
                         [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.label); });

struct Resolution {
    std::string name;      // "@" stands for the test directory
    std::string expected;  // likewise
};

void PrintTo(const Resolution& row, std::ostream* out) { *out << '"' << row.name << '"'; }

class ResolvesPortNames : public testing::TestWithParam<Resolution> {};

TEST_P(ResolvesPortNames, AsTypedInAnUpperCaseField) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    fs::create_directories(dir / "Serial/By-Id");
    ASSERT_EQ(close(open((dir / "Serial/By-Id/usb-FTDI_X").c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    ASSERT_EQ(close(open((dir / "ttyUSB0").c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    ASSERT_EQ(close(open((dir / "Com3").c_str(), O_CREAT | O_WRONLY, 0600)), 0);

    auto expand = [&](std::string s) {
        if (const size_t at = s.find('@'); at != std::string::npos) s.replace(at, 1, dir.path());
        return s;
    };
    EXPECT_EQ(ResolvePortPath(expand(GetParam().name), dir.path() + "/"), expand(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    , ResolvesPortNames,
    testing::Values(
        Resolution{"ttyUSB0", "@/ttyUSB0"},                     // exact, under the device directory
        Resolution{"TTYUSB0", "@/ttyUSB0"},                     // any case
        Resolution{"@/Serial/By-Id/usb-FTDI_X", "@/Serial/By-Id/usb-FTDI_X"},
        Resolution{"@/SERIAL/BY-ID/USB-FTDI_X", "@/Serial/By-Id/usb-FTDI_X"},  // every component
        Resolution{"@/SERIAL/BY-ID/USB-FTDI_Y", "@/SERIAL/BY-ID/USB-FTDI_Y"},  // no match: as typed
        Resolution{"COM1", "@/ttyS0"},                          // Windows names map to ttyS
        Resolution{"com12", "@/ttyS11"},
        Resolution{"COM3", "@/Com3"},                           // a real entry wins over the mapping
        Resolution{"COM0", "@/COM0"},                           // not COMn: left alone
        Resolution{"COM", "@/COM"},
        Resolution{"COM1X", "@/COM1X"},
        Resolution{"COM-1", "@/COM-1"},
        Resolution{"COM 1", "@/COM 1"},
        Resolution{" TTYUSB0", "@/ TTYUSB0"},                   // never trimmed
        Resolution{"TTYUSB0 ", "@/TTYUSB0 "},
        Resolution{"", ""}));

TEST(ResolvePortPath, UsesDevForBareNames) {
    EXPECT_EQ(ResolvePortPath("TTY"), "/dev/tty");
    EXPECT_EQ(ResolvePortPath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortPath("/DEV/NULL"), "/dev/null");
}

}  // namespace
}  // namespace morvik

namespace morvik {
namespace {

// The watcher the end-to-end tests rely on sees every open and close of
// the port, in order.
TEST(KeyLineWatch, SeesEachElementOfTheKeyLine) {
    test::PseudoTerminal pty;
    ASSERT_TRUE(pty.Ok());
    test::KeyLineWatch watch(pty.slave_path());
    ASSERT_TRUE(watch.Ok());
    TermiosSerialPort port;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(port.Open(pty.slave_path()));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        port.Close();
    }
    std::vector<std::pair<int64_t, int64_t>> spans;
    for (int i = 0; i < 200 && spans.size() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        spans = watch.Spans();
    }
    ASSERT_EQ(spans.size(), 3u);
    for (const auto& [open, close] : spans) EXPECT_GT(close, open);
}

}  // namespace
}  // namespace morvik
