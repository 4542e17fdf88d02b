// SPDX-License-Identifier: GPL-3.0-or-later
// COM port numbers 1…256 mapped to device paths, as the link, the controller
// search and the diagnosis see them. The roots (program, service tool) make one
// table and hand it to the device and the search; tests make one each, so no
// number of one test's terminal outlives that test. What a port is and where
// the present ones come from differs by system; the callers only see this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PortEntry {
    uint32_t number = 0;     // COM number
    std::string path;        // what is opened
    std::string description; // by-id name, driver or where the path came from; may be empty
};

class IPortTable {
public:
    static constexpr uint32_t kMaxPort = 256;

    virtual ~IPortTable() = default;

    // Adds a path named by the user; origin goes into the description.
    // Returns its number, the one it already had if it was known, or 0 when all 256 are taken.
    virtual uint32_t addPath(const std::string& path, const std::string& origin) = 0;
    // Adds every path of a colon-separated list (KORVANA_PORTS); empty items are skipped.
    void addPathList(const std::string& list, const std::string& origin);

    // Rescans and returns the present ports in ascending number.
    virtual std::vector<PortEntry> presentPorts() = 0;
    // The path of COM n, rescanning once when n is not known yet; empty when there is none.
    virtual std::string pathOf(uint32_t number) = 0;
    // The number of a known path (compared after resolving links); 0 when unknown.
    virtual uint32_t numberOf(const std::string& path) const = 0;
    // The stable name of the adapter behind COM n now; empty when none.
    virtual std::string byIdOf(uint32_t number) = 0;
    // The number of the port a stable name points at now; 0 when the name is gone.
    virtual uint32_t numberOfById(const std::string& name) = 0;
};
