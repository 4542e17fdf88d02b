// SPDX-License-Identifier: GPL-3.0-or-later
// The controller search at start and after a lost link: the last used port
// first, then every present port in ascending order; the first port where
// connectOnPort succeeds ends it. With several ports, all are asked to
// identify at once and taken in that order (a silent port costs its time-outs
// once, not once per port); a lone port is tried twice as it always was.
// Asking the user what to do when nothing answered is the caller's part.
#pragma once

#include <app/device/connectfailure.h>
#include <app/platform/iporttable.h>

#include <cstdint>
#include <vector>

class CLPGDevice;
class CProfileStore;

// The ports to try, in order: last first when it is among present (and not 0),
// then all of present as given (ascending).
std::vector<uint32_t> searchOrder(uint32_t last, const std::vector<uint32_t>& present);

// One port the search tried in vain, and why.
struct SearchAttempt {
    uint32_t number = 0;
    std::string path;
    ConnectFailure failure = ConnectFailure::None;
    std::string detail;
};

// The port to try first: the adapter by its remembered by-id name when it is
// present (under whatever tty it came back), else the remembered path, else
// "Last RS nr"; 0 when none of them is present.
uint32_t lastSearchPort(const CProfileStore& profile, IPortTable& table, const std::vector<PortEntry>& present);

// Clears m_connected and m_demo, then tries the present ports (numbers of the
// device's port table, ascending). The last port is the remembered path
// when the table knows it, else "Last RS nr". True when a controller was
// connected. GUI thread; polling must be stopped. attempts (when given) gets
// every port that failed, in the search's order. Nothing is sent to any of
// the ports once it has returned.
bool searchController(CLPGDevice& device, const std::vector<PortEntry>& present, const CProfileStore& profile,
                      std::vector<SearchAttempt>* attempts = nullptr);
// The same over every present port of the device's table and the program-wide profile.
bool searchController(CLPGDevice& device, std::vector<SearchAttempt>* attempts = nullptr);
