// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/serialdiagnosis.h>

#include <app/platform/dirlist.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

std::string firstLine(const std::string& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isUsbName(const std::string& name)
{
    return name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
}

std::string holderList(const std::vector<PortHolder>& holders)
{
    std::string text;
    for (const auto& h : holders) {
        if (!text.empty())
            text += ", ";
        text += (h.command.empty() ? std::string("process") : h.command) + " (pid " + std::to_string(h.pid) + ")";
    }
    return text;
}

bool heldBy(const std::vector<PortHolder>& holders, const char* command)
{
    for (const auto& h : holders) {
        if (h.command == command)
            return true;
    }
    return false;
}

} // namespace

CSerialDiagnosis::CSerialDiagnosis()
    : CSerialDiagnosis(Roots {})
{
}

CSerialDiagnosis::CSerialDiagnosis(Roots roots)
    : m_roots(std::move(roots))
{
}

std::vector<PortHolder> CSerialDiagnosis::holdersOf(const std::string& path, bool* heldHere) const
{
    std::vector<PortHolder> holders;
    if (heldHere)
        *heldHere = false;
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode))
        return holders;
    const std::string self = std::to_string(::getpid());
    for (const auto& pid : listDir(m_roots.proc)) {
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // The tool that asks is never the program to close.
        if (pid == self) {
            if (heldHere) {
                for (const auto& fd : listDir(m_roots.proc + "/" + pid + "/fd")) {
                    struct stat st {};
                    const std::string link = m_roots.proc + "/" + pid + "/fd/" + fd;
                    if (::stat(link.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == target.st_rdev)
                        *heldHere = true;
                }
            }
            continue;
        }
        const std::string fdDir = m_roots.proc + "/" + pid + "/fd";
        // Other users' processes are unreadable without root; they are left out.
        for (const auto& fd : listDir(fdDir)) {
            struct stat st {};
            if (::stat((fdDir + "/" + fd).c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == target.st_rdev) {
                holders.push_back({ std::atoi(pid.c_str()), firstLine(m_roots.proc + "/" + pid + "/comm") });
                break;
            }
        }
    }
    return holders;
}

std::string CSerialDiagnosis::usbIdOf(const std::string& path) const
{
    // ttyUSB sits on the interface, ttyACM likewise; the USB device with
    // idVendor is one or two levels up.
    std::string dir = m_roots.sysClassTty + "/" + baseName(path) + "/device";
    for (int level = 0; level < 4; ++level, dir += "/..") {
        const std::string vendor = firstLine(dir + "/idVendor");
        const std::string product = firstLine(dir + "/idProduct");
        if (!vendor.empty() && !product.empty())
            return vendor + ":" + product;
    }
    return {};
}

std::string CSerialDiagnosis::nonSerialKind(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    if (S_ISREG(st.st_mode))
        return "a regular file";
    if (S_ISDIR(st.st_mode))
        return "a folder";
    if (S_ISFIFO(st.st_mode))
        return "a FIFO";
    if (S_ISSOCK(st.st_mode))
        return "a socket";
    if (S_ISBLK(st.st_mode))
        return "a block device (a disk)";
    if (!S_ISCHR(st.st_mode))
        return "no device";
    // Terminals that are no line to a device; opening them would reach the
    // user's own terminal, the console or a new pseudo-terminal.
    const unsigned major = ::major(st.st_rdev);
    const unsigned minor = ::minor(st.st_rdev);
    if (major == 5 && minor == 0)
        return "the terminal of the program that opens it";
    if (major == 5 && minor == 1)
        return "the system console";
    if (major == 5 && minor == 2)
        return "the pseudo-terminal multiplexer";
    if (major == 4 && minor < 64)
        return "a virtual console";
    return {};
}

PortDiagnosis CSerialDiagnosis::probe(const std::string& path) const
{
    PortDiagnosis d;
    d.path = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        d.access = errno == EACCES ? PortAccess::PermissionDenied : PortAccess::Missing;
        d.error = errno;
        return d;
    }
    // Not opened: what it names is no serial port, and nobody holding it matters.
    d.kind = nonSerialKind(path);
    if (!d.kind.empty()) {
        d.access = PortAccess::NotSerial;
        return d;
    }
    if (const group* g = ::getgrgid(st.st_gid))
        d.group = g->gr_name;
    else
        d.group = std::to_string(st.st_gid);
    d.usbId = usbIdOf(path);

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        d.error = errno;
        if (d.error == EACCES || d.error == EPERM)
            d.access = PortAccess::PermissionDenied;
        else if (d.error == EBUSY)
            d.access = PortAccess::Busy;
        else if (d.error == ENOENT || d.error == ENODEV || d.error == ENXIO)
            d.access = PortAccess::Missing;
        else
            d.access = PortAccess::Error;
    } else if (!::isatty(fd)) {
        // /dev/null and its kind: every program has them open, none of that is a holder.
        d.access = PortAccess::NotSerial;
        d.kind = "a device that is no terminal";
        ::close(fd);
        return d;
    } else {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            d.error = errno;
            d.access = PortAccess::Busy;
        }
        ::close(fd);
    }
    // A free port may still be open in a program that does not lock it
    // (ModemManager probing with AT commands), which garbles the exchange.
    if (d.access == PortAccess::Busy || d.access == PortAccess::Free)
        d.holders = holdersOf(path, &d.heldHere);
    return d;
}

bool CSerialDiagnosis::hasUsbSerialAdapter(const std::vector<PortEntry>& present)
{
    for (const auto& p : present) {
        if (isUsbName(baseName(p.path)) || p.description.rfind("usb-", 0) == 0)
            return true;
    }
    return false;
}

std::vector<std::string> CSerialDiagnosis::advice(const PortDiagnosis& d)
{
    std::vector<std::string> lines;
    switch (d.access) {
    case PortAccess::Missing:
        lines.push_back(d.path + " does not exist; check that the adapter is plugged in");
        return lines;
    case PortAccess::PermissionDenied: {
        const std::string group = d.group.empty() ? std::string("dialout") : d.group;
        lines.push_back(d.path + ": permission denied; the device belongs to the group " + group);
        lines.push_back("join the group with: sudo usermod -aG " + group + " $USER  then log out and in again");
        return lines;
    }
    case PortAccess::Error:
        lines.push_back(d.path + " could not be opened (" + std::strerror(d.error) + ")");
        return lines;
    case PortAccess::NotSerial:
        lines.push_back(d.path + " is " + d.kind + ", not a serial port; give the adapter's port "
            "(ls /dev/serial/by-id lists the ones the system sees)");
        return lines;
    case PortAccess::Busy:
        if (d.holders.empty() && d.heldHere) {
            lines.push_back(d.path + " is busy: this program has it open already");
            return lines;
        }
        if (d.holders.empty())
            lines.push_back(d.path
                + " is busy: another program holds it (not visible to this user; "
                  "sudo fuser -v "
                + d.path + " shows which)");
        else
            lines.push_back(d.path + " is busy: held by " + holderList(d.holders));
        break;
    case PortAccess::Free:
        if (d.holders.empty())
            return lines;
        lines.push_back(d.path + " is also open in " + holderList(d.holders) + ", which disturbs the exchange");
        break;
    }
    if (heldBy(d.holders, "ModemManager")) {
        lines.push_back(
            "ModemManager probes serial adapters as modems; stop it with: sudo systemctl stop ModemManager");
        if (!d.usbId.empty()) {
            const auto colon = d.usbId.find(':');
            lines.push_back("to keep it off this adapter for good, put in /etc/udev/rules.d/99-korvana.rules: "
                            "ATTRS{idVendor}==\""
                + d.usbId.substr(0, colon) + "\", ATTRS{idProduct}==\"" + d.usbId.substr(colon + 1)
                + "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
        }
    }
    if (heldBy(d.holders, "brltty"))
        lines.push_back("brltty takes USB-serial adapters for braille displays; stop it with: "
                        "sudo systemctl stop brltty-udev.service brltty.service  and keep it off with: "
                        "sudo systemctl mask brltty-udev.service  (or remove the brltty package)");
    if (!heldBy(d.holders, "ModemManager") && !heldBy(d.holders, "brltty"))
        lines.push_back("close that program and try again");
    return lines;
}

std::string CSerialDiagnosis::noAdapterAdvice()
{
    return "no USB-serial adapter is present: plug in the controller's adapter "
           "(ls /dev/serial/by-id lists the ones the system sees)";
}
