// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/controllersearch.h>

#include <app/device/lpgdevice.h>
#include <app/platform/profilestore.h>

#include <algorithm>

std::vector<uint32_t> searchOrder(uint32_t last, const std::vector<uint32_t>& present)
{
    std::vector<uint32_t> order;
    order.reserve(present.size() + 1);
    if (last != 0 && std::find(present.begin(), present.end(), last) != present.end())
        order.push_back(last);
    order.insert(order.end(), present.begin(), present.end());
    return order;
}

uint32_t lastSearchPort(const CProfileStore& profile, IPortTable& table, const std::vector<PortEntry>& present)
{
    const auto isPresent = [&present](uint32_t n) {
        return std::any_of(present.begin(), present.end(), [n](const PortEntry& e) { return e.number == n; });
    };
    // The adapter's serial number outlives its tty name across replugging.
    const std::string lastId = profile.lastPortId();
    if (!lastId.empty()) {
        if (const uint32_t n = table.numberOfById(lastId); n && isPresent(n))
            return n;
    }
    // Numbers are handed out per run; the remembered path finds the same
    // adapter again. A path the table does not know is not offered to open:
    // it may be some other device by now.
    const std::string lastPath = profile.lastPortPath();
    uint32_t last = lastPath.empty() ? profile.lastPortNumber() : 0;
    for (const auto& entry : present) {
        if (!lastPath.empty() && entry.path == lastPath)
            last = entry.number;
    }
    if (last == 0 && !lastPath.empty())
        last = table.numberOf(lastPath);
    return last;
}

bool searchController(CLPGDevice& device, const std::vector<PortEntry>& present, const CProfileStore& profile,
                      std::vector<SearchAttempt>* attempts)
{
    device.m_connected = false;
    device.m_demo = false;

    std::vector<uint32_t> numbers;
    numbers.reserve(present.size());
    for (const auto& entry : present)
        numbers.push_back(entry.number);

    for (const uint32_t n : searchOrder(lastSearchPort(profile, device.ports(), present), numbers)) {
        if (device.connectOnPort(n))
            return true;
        if (!attempts)
            continue;
        // The last port is tried twice; its later reason stands.
        std::erase_if(*attempts, [n](const SearchAttempt& a) { return a.number == n; });
        attempts->push_back({ n, device.ports().pathOf(n), device.lastConnectFailure(), device.lastConnectDetail() });
    }
    return false;
}

bool searchController(CLPGDevice& device, std::vector<SearchAttempt>* attempts)
{
    return searchController(device, device.ports().presentPorts(), profileStore(), attempts);
}
