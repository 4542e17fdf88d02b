// SPDX-License-Identifier: GPL-3.0-or-later
// COM port numbers 1…256 mapped to device paths. Present ports come from
// /sys/class/tty (nodes with a device behind them, minus serial-core nodes of
// unknown UART type, i.e. phantom ttyS), named from /dev/serial/by-id where a
// link points at them; extra paths come from --port options and KORVANA_PORTS.
// A path keeps its number for the whole run, also while it is absent.
// Enumeration only reads directories and attributes; it never opens a device.
// Thread-safe.
#pragma once

#include <app/platform/iporttable.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class CPortTable : public IPortTable {
public:
    // Where the table looks; tests point these at a fake tree.
    struct Roots {
        std::string sysClassTty = "/sys/class/tty";
        std::string dev = "/dev";
        std::string byId = "/dev/serial/by-id";
    };

    CPortTable();
    explicit CPortTable(Roots roots);

    uint32_t addPath(const std::string& path, const std::string& origin) override;

    // Rescans and returns the present ports in ascending number. An extra path
    // counts as present while it names a character device.
    std::vector<PortEntry> presentPorts() override;
    // The path of COM n, rescanning once when n is not known yet; empty when there is none.
    std::string pathOf(uint32_t number) override;
    // The number of a known path (compared after resolving links); 0 when unknown.
    uint32_t numberOf(const std::string& path) const override;
    // The /dev/serial/by-id name that points at COM n now; empty when none.
    // Rescans once when n is not known yet, like pathOf.
    std::string byIdOf(uint32_t number) override;
    // The number of the port a by-id name points at now, rescanning first, so an
    // adapter that came back as another tty is found under its identity; 0 when
    // the name is gone.
    uint32_t numberOfById(const std::string& name) override;

private:
    struct Slot {
        std::string path;
        std::string key;         // path with links resolved when it was added
        std::string description; // sysfs: by-id name or driver; extra: where it came from
        bool extra = false;
    };
    struct Found {
        std::string name;        // tty name, e.g. ttyUSB0
        std::string description;
    };

    void rescanLocked();
    std::vector<Found> scanSysfs() const;
    std::map<std::string, std::string> scanById() const;
    uint32_t assignLocked(const std::string& path, const std::string& key, const std::string& description,
                          bool extra);
    uint32_t findLocked(const std::string& key) const;
    static std::string identity(const std::string& path);

    Roots m_roots;
    mutable std::mutex m_mutex;
    std::map<uint32_t, Slot> m_slots;
    std::set<uint32_t> m_present;              // sysfs ports seen by the last scan
    std::map<std::string, std::string> m_byId; // resolved path -> by-id name, from the last scan
};

// Adds the paths of KORVANA_PORTS, when it is set, to table.
void addEnvironmentPorts(IPortTable& table);
