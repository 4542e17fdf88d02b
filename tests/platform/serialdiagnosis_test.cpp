// SPDX-License-Identifier: GPL-3.0-or-later
// The serial diagnosis on pseudo-terminals: a device the user may not open
// (probed as nobody when root, whom no file mode stops), a port locked through
// another open file, a port held by another process (named as that process is),
// and no adapter present at all.
#include <app/platform/serialdiagnosis.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A pseudo-terminal pair; the slave side plays the adapter's device node.
class Pty {
public:
    Pty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_path = ::ptsname(m_master);
    }
    ~Pty()
    {
        if (m_master >= 0)
            ::close(m_master);
    }
    const std::string& path() const { return m_path; }

private:
    int m_master = -1;
    std::string m_path;
};

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& l : lines)
        text += l + "\n";
    return text;
}

std::string groupOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    const group* g = ::getgrgid(st.st_gid);
    return g ? g->gr_name : std::to_string(st.st_gid);
}

// The probe's access and advice, run as nobody in a child when root.
std::pair<int, std::string> probeUnprivileged(const std::string& path)
{
    if (::geteuid() != 0) {
        const auto d = CSerialDiagnosis().probe(path);
        return { static_cast<int>(d.access), joined(CSerialDiagnosis::advice(d)) };
    }
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            _exit(99);
        const auto d = CSerialDiagnosis().probe(path);
        const std::string text = std::to_string(static_cast<int>(d.access)) + "\n" + joined(CSerialDiagnosis::advice(d));
        if (::write(fds[1], text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            _exit(98);
        _exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const auto eol = text.find('\n');
    if (eol == std::string::npos)
        return { -1, text };
    return { std::atoi(text.substr(0, eol).c_str()), text.substr(eol + 1) };
}

} // namespace

TEST(SerialDiagnosis, PermissionDeniedNamesTheGroupAndHowToJoinIt)
{
    Pty pty;
    ASSERT_FALSE(pty.path().empty());
    ASSERT_EQ(::chmod(pty.path().c_str(), ::geteuid() == 0 ? 0600 : 0000), 0);
    const std::string group = groupOf(pty.path());
    const auto [access, text] = probeUnprivileged(pty.path());
    EXPECT_EQ(access, static_cast<int>(PortAccess::PermissionDenied)) << text;
    EXPECT_NE(text.find("permission denied"), std::string::npos) << text;
    EXPECT_NE(text.find("sudo usermod -aG " + group + " $USER"), std::string::npos) << text;
    EXPECT_NE(text.find("log out and in"), std::string::npos) << text;
}

TEST(SerialDiagnosis, FreePortGivesNoAdviceAndMissingPathSaysSo)
{
    Pty pty;
    const auto free = CSerialDiagnosis().probe(pty.path());
    EXPECT_EQ(free.access, PortAccess::Free);
    EXPECT_TRUE(CSerialDiagnosis::advice(free).empty()) << joined(CSerialDiagnosis::advice(free));

    const auto missing = CSerialDiagnosis().probe("/dev/korvana-no-such-tty");
    EXPECT_EQ(missing.access, PortAccess::Missing);
    EXPECT_NE(joined(CSerialDiagnosis::advice(missing)).find("does not exist"), std::string::npos);
}

TEST(SerialDiagnosis, LockThroughAnotherOpenFileIsBusy)
{
    Pty pty;
    const int fd = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const auto d = CSerialDiagnosis().probe(pty.path());
    ::close(fd);
    EXPECT_EQ(d.access, PortAccess::Busy);
    // The asking program is never listed as one to close; it is told it has the port itself.
    EXPECT_TRUE(d.holders.empty());
    EXPECT_TRUE(d.heldHere);
    const std::string text = joined(CSerialDiagnosis::advice(d));
    EXPECT_NE(text.find("is busy: this program has it open already"), std::string::npos) << text;
    EXPECT_EQ(text.find("pid " + std::to_string(::getpid())), std::string::npos) << text;
    EXPECT_EQ(text.find("close that program"), std::string::npos) << text;
}

// Paths that are no serial port are said to be what they are, unopened, and
// nobody who holds them is listed: every process has /dev/null open.
TEST(SerialDiagnosis, PathThatIsNoSerialPortIsCalledWhatItIs)
{
    std::string templ = (std::filesystem::temp_directory_path() / "korvana-serialdiag-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    const std::string file = templ + "/file";
    std::ofstream(file) << "x";
    const std::string fifo = templ + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        const char* kind;
    };
    for (const Case& c : std::vector<Case> { { file, "a regular file" }, { templ, "a folder" }, { fifo, "a FIFO" },
             { "/dev/tty", "the terminal of the program that opens it" },
             { "/dev/null", "a device that is no terminal" } }) {
        const auto d = CSerialDiagnosis().probe(c.path);
        EXPECT_EQ(d.access, PortAccess::NotSerial) << c.path;
        EXPECT_EQ(d.kind, c.kind) << c.path;
        EXPECT_TRUE(d.holders.empty()) << c.path;
        EXPECT_EQ(joined(CSerialDiagnosis::advice(d)), c.path + " is " + c.kind + ", not a serial port; give the "
                "adapter's port (ls /dev/serial/by-id lists the ones the system sees)\n");
    }
    fs::remove_all(templ);
    // A pseudo-terminal is a line like an adapter's.
    Pty pty;
    EXPECT_EQ(CSerialDiagnosis::nonSerialKind(pty.path()), "");
}

// A child that names itself like the modem daemon holds and locks the port;
// the fake sysfs gives the adapter's USB identity for the udev rule.
TEST(SerialDiagnosis, HolderProcessIsNamedWithHowToStopIt)
{
    for (const std::string name : { "ModemManager", "brltty" }) {
        SCOPED_TRACE(name);
        Pty pty;
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::prctl(PR_SET_NAME, name.c_str());
            const int fd = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY);
            if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
                _exit(1);
            if (::write(ready[1], "x", 1) != 1)
                _exit(1);
            ::pause();
            _exit(0);
        }
        ::close(ready[1]);
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);

        std::string templ = (std::filesystem::temp_directory_path() / "korvana-serialdiag-XXXXXX").string();
        ASSERT_NE(::mkdtemp(templ.data()), nullptr);
        const fs::path sys = templ;
        const fs::path usbDevice = sys / fs::path(pty.path()).filename().string() / "device";
        fs::create_directories(usbDevice);
        std::ofstream(usbDevice / "idVendor") << "0403\n";
        std::ofstream(usbDevice / "idProduct") << "6001\n";

        const auto d = CSerialDiagnosis({ "/proc", sys.string() }).probe(pty.path());
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        fs::remove_all(sys);

        EXPECT_EQ(d.access, PortAccess::Busy);
        EXPECT_EQ(d.usbId, "0403:6001");
        const std::string text = joined(CSerialDiagnosis::advice(d));
        EXPECT_NE(text.find("held by " + name + " (pid " + std::to_string(child) + ")"), std::string::npos) << text;
        if (name == "ModemManager") {
            EXPECT_NE(text.find("sudo systemctl stop ModemManager"), std::string::npos) << text;
            EXPECT_NE(text.find("ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", ENV{ID_MM_DEVICE_IGNORE}=\"1\""),
                      std::string::npos)
                << text;
        } else {
            EXPECT_NE(text.find("sudo systemctl mask brltty-udev.service"), std::string::npos) << text;
        }
    }
}

TEST(SerialDiagnosis, NoUsbAdapterAmongPresentPorts)
{
    EXPECT_FALSE(CSerialDiagnosis::hasUsbSerialAdapter({}));
    EXPECT_FALSE(CSerialDiagnosis::hasUsbSerialAdapter({ { 1, "/dev/ttyS0", "serial" }, { 2, "/dev/pts/3", "KORVANA_PORTS" } }));
    EXPECT_TRUE(CSerialDiagnosis::hasUsbSerialAdapter({ { 1, "/dev/ttyS0", "serial" }, { 2, "/dev/ttyUSB1", "ftdi_sio" } }));
    EXPECT_TRUE(CSerialDiagnosis::hasUsbSerialAdapter({ { 3, "/dev/ttyACM0", "" } }));
    // An adapter named through a link the user gave still counts by its by-id name.
    EXPECT_TRUE(CSerialDiagnosis::hasUsbSerialAdapter({ { 4, "/dev/ctrl", "usb-FTDI_FT232R_A1-if00-port0 (--port)" } }));
    EXPECT_NE(CSerialDiagnosis::noAdapterAdvice().find("no USB-serial adapter"), std::string::npos);
}
