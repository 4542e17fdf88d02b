// SPDX-License-Identifier: GPL-3.0-or-later
// Why a serial port cannot be used, told the way a fitter can act on it: the
// group that owns a device the user may not open, the process that holds a
// busy one (from /proc/*/fd, where this user may read it), or that no
// USB-serial adapter is plugged in at all. Probing opens a port briefly,
// without a controlling terminal and without touching its settings.
#pragma once

#include <app/platform/porttable.h>

#include <string>
#include <vector>

struct PortHolder {
    int pid = 0;
    std::string command; // /proc/PID/comm, e.g. ModemManager
};

enum class PortAccess {
    Free, // opens and is not locked
    Missing, // no such device
    PermissionDenied, // the user may not open it
    Busy, // locked or opened exclusively by another open file
    Error, // opening failed otherwise
    NotSerial, // a file, folder or device that is no serial port (kind says what)
};

struct PortDiagnosis {
    std::string path;
    PortAccess access = PortAccess::Free;
    int error = 0; // errno of the failed open or lock
    std::string group; // the group that owns the device node
    std::vector<PortHolder> holders; // other processes that have it open (those this user can see)
    bool heldHere = false; // this process has it open as well
    std::string usbId; // "vendor:product" of the adapter when sysfs tells it
    std::string kind; // NotSerial: what the path names, e.g. "a regular file"
};

class CSerialDiagnosis {
public:
    // Where to look; tests point these at a fake tree.
    struct Roots {
        std::string proc = "/proc";
        std::string sysClassTty = "/sys/class/tty";
    };

    CSerialDiagnosis();
    explicit CSerialDiagnosis(Roots roots);

    PortDiagnosis probe(const std::string& path) const;
    // The other processes with an open file on the device behind path (never
    // this one: heldHere, when given, says whether it has one).
    std::vector<PortHolder> holdersOf(const std::string& path, bool* heldHere = nullptr) const;
    // What path names when it can be told without opening it that it is no
    // serial port ("a regular file", "the terminal of the program that opens
    // it" for /dev/tty …); empty when it may be one or does not exist.
    static std::string nonSerialKind(const std::string& path);

    // True when a present port is a USB or CDC-ACM adapter.
    static bool hasUsbSerialAdapter(const std::vector<PortEntry>& present);
    // English lines for a fitter; empty for a free port nobody else holds.
    static std::vector<std::string> advice(const PortDiagnosis& diagnosis);
    static std::string noAdapterAdvice();

private:
    std::string usbIdOf(const std::string& path) const;

    Roots m_roots;
};
