// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/porttable.h>

#include <app/platform/dirlist.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool isCharDevice(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

std::string linkTargetName(const std::string& link)
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    std::string target(buf, static_cast<std::size_t>(n));
    const auto slash = target.rfind('/');
    return slash == std::string::npos ? target : target.substr(slash + 1);
}

// The driver behind a tty; newer kernels put the generic serial-core port and
// controller devices in between, so look past those.
std::string driverName(std::string device)
{
    for (int level = 0; level < 3; ++level, device += "/..") {
        std::string name = linkTargetName(device + "/driver");
        if (!name.empty() && name != "port" && name != "ctrl")
            return name;
    }
    return {};
}

// Real UARTs first, as COM1 is on a PC, then USB adapters, then the rest;
// within a kind by the number at the end of the name.
std::pair<int, long> sortKey(const std::string& name)
{
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    const std::string stem = name.substr(0, digits);
    const long number = digits < name.size() ? std::strtol(name.c_str() + digits, nullptr, 10) : -1;
    int kind = 3;
    if (stem == "ttyS")
        kind = 0;
    else if (stem == "ttyUSB")
        kind = 1;
    else if (stem == "ttyACM")
        kind = 2;
    return { kind, number };
}

} // namespace

CPortTable::CPortTable()
    : CPortTable(Roots {})
{
}

CPortTable::CPortTable(Roots roots)
    : m_roots(std::move(roots))
{
}

std::string CPortTable::identity(const std::string& path)
{
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf))
        return buf;
    return path;
}

uint32_t CPortTable::findLocked(const std::string& key) const
{
    for (const auto& [number, slot] : m_slots) {
        if (slot.key == key || slot.path == key)
            return number;
    }
    return 0;
}

uint32_t CPortTable::assignLocked(
    const std::string& path, const std::string& key, const std::string& description, bool extra)
{
    for (uint32_t n = 1; n <= kMaxPort; ++n) {
        if (!m_slots.count(n)) {
            m_slots[n] = Slot { path, key, description, extra };
            return n;
        }
    }
    return 0;
}

uint32_t CPortTable::addPath(const std::string& path, const std::string& origin)
{
    if (path.empty())
        return 0;
    const std::string key = identity(path);
    std::lock_guard lock(m_mutex);
    if (const uint32_t known = findLocked(key))
        return known;
    return assignLocked(path, key, origin, true);
}

void IPortTable::addPathList(const std::string& list, const std::string& origin)
{
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start)
            addPath(list.substr(start, end - start), origin);
        start = end + 1;
    }
}

std::map<std::string, std::string> CPortTable::scanById() const
{
    std::map<std::string, std::string> names;
    for (const auto& name : listDir(m_roots.byId)) {
        char buf[PATH_MAX];
        if (::realpath((m_roots.byId + "/" + name).c_str(), buf))
            names.emplace(buf, name);
    }
    return names;
}

std::vector<CPortTable::Found> CPortTable::scanSysfs() const
{
    std::vector<Found> found;
    for (const auto& name : listDir(m_roots.sysClassTty)) {
        const std::string node = m_roots.sysClassTty + "/" + name;
        // Virtual terminals and pseudo-terminals have no device behind them.
        if (!exists(node + "/device"))
            continue;
        // Serial-core ports report their UART type; 0 means nothing answered
        // there (the phantom ttyS nodes of the 8250 driver).
        std::ifstream typeFile(node + "/type");
        int type = -1;
        if (typeFile >> type && type == 0)
            continue;
        found.push_back({ name, driverName(node + "/device") });
    }
    std::sort(
        found.begin(), found.end(), [](const Found& a, const Found& b) { return sortKey(a.name) < sortKey(b.name); });
    return found;
}

void CPortTable::rescanLocked()
{
    m_byId = scanById();
    m_present.clear();
    for (const auto& f : scanSysfs()) {
        const std::string path = m_roots.dev + "/" + f.name;
        const std::string key = identity(path);
        const auto named = m_byId.find(key);
        const std::string description = named != m_byId.end() ? named->second : f.description;
        uint32_t n = findLocked(key);
        if (!n)
            n = assignLocked(path, key, description, false);
        if (!n)
            break;
        if (!m_slots[n].extra)
            m_slots[n].description = description;
        m_present.insert(n);
    }
}

std::vector<PortEntry> CPortTable::presentPorts()
{
    std::lock_guard lock(m_mutex);
    rescanLocked();
    std::vector<PortEntry> ports;
    for (const auto& [number, slot] : m_slots) {
        if (!slot.extra) {
            if (m_present.count(number))
                ports.push_back({ number, slot.path, slot.description });
            continue;
        }
        if (!isCharDevice(slot.path))
            continue;
        const auto named = m_byId.find(identity(slot.path));
        ports.push_back({ number, slot.path,
            named != m_byId.end() ? named->second + " (" + slot.description + ")" : slot.description });
    }
    return ports;
}

std::string CPortTable::pathOf(uint32_t number)
{
    std::lock_guard lock(m_mutex);
    if (!m_slots.count(number))
        rescanLocked();
    const auto it = m_slots.find(number);
    return it == m_slots.end() ? std::string {} : it->second.path;
}

uint32_t CPortTable::numberOf(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    return findLocked(identity(path));
}

std::string CPortTable::byIdOf(uint32_t number)
{
    std::string key;
    {
        std::lock_guard lock(m_mutex);
        if (!m_slots.count(number))
            rescanLocked();
        const auto it = m_slots.find(number);
        if (it == m_slots.end())
            return {};
        key = it->second.key;
    }
    const auto names = scanById();
    const auto named = names.find(key);
    return named == names.end() ? std::string {} : named->second;
}

uint32_t CPortTable::numberOfById(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return 0;
    char buf[PATH_MAX];
    if (!::realpath((m_roots.byId + "/" + name).c_str(), buf))
        return 0;
    std::lock_guard lock(m_mutex);
    rescanLocked();
    return findLocked(buf);
}

void addEnvironmentPorts(IPortTable& table)
{
    if (const char* list = std::getenv("KORVANA_PORTS"))
        table.addPathList(list, "KORVANA_PORTS");
}
