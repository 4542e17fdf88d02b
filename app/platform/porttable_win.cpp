// SPDX-License-Identifier: GPL-3.0-or-later
// The port table on Windows: COM n is \\.\COMn. Present are the ports for
// which the system keeps a default configuration (GetDefaultCommConfigW on
// COM1 … COM256); the device names of HARDWARE\DEVICEMAP\SERIALCOMM describe
// them, so a USB-serial adapter shows its driver's name. Other paths (from
// --port or KORVANA_PORTS) get free numbers as on POSIX.
#include <app/platform/porttable.h>

#include <app/platform/win32.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <windows.h>

namespace {

// n for "COMn", "\\.\COMn" (any case), 0 for anything else.
uint32_t comNumber(const std::string& path)
{
    std::string name = path;
    if (name.rfind("\\\\.\\", 0) == 0)
        name = name.substr(4);
    if (name.size() < 4 || name.size() > 6)
        return 0;
    for (std::size_t i = 0; i < 3; ++i)
        name[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
    if (name.compare(0, 3, "COM") != 0 || name[3] == '0')
        return 0;
    uint32_t n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return 0;
        n = n * 10 + static_cast<uint32_t>(name[i] - '0');
    }
    return n <= IPortTable::kMaxPort ? n : 0;
}

std::string comPath(uint32_t n)
{
    return "\\\\.\\COM" + std::to_string(n);
}

// COM number -> the device behind it, e.g. \Device\VCP0 or \Device\Serial0.
std::map<uint32_t, std::string> serialCommNames()
{
    std::map<uint32_t, std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameSize = static_cast<DWORD>(std::size(name));
        wchar_t data[64];
        DWORD dataSize = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG rc = ::RegEnumValueW(
            key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataSize / sizeof(wchar_t)] = L'\0';
        if (const uint32_t n = comNumber(narrow(data)))
            names[n] = narrow(std::wstring(name, nameSize));
    }
    ::RegCloseKey(key);
    return names;
}

bool hasDefaultConfig(uint32_t n)
{
    const std::wstring name = L"COM" + std::to_wstring(n);
    COMMCONFIG config {};
    DWORD size = sizeof config;
    return ::GetDefaultCommConfigW(name.c_str(), &config, &size) != 0;
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
    if (const uint32_t n = comNumber(path))
        return comPath(n);
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
    // Numbers of real COM ports stay theirs; another path takes the first
    // number no port has and none has taken.
    for (uint32_t n = 1; n <= kMaxPort; ++n) {
        if (!m_slots.count(n) && !hasDefaultConfig(n)) {
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
    if (const uint32_t n = comNumber(path)) {
        m_slots.try_emplace(n, Slot { comPath(n), key, origin, true });
        return n;
    }
    if (const uint32_t known = findLocked(key))
        return known;
    return assignLocked(path, key, origin, true);
}

void IPortTable::addPathList(const std::string& list, const std::string& origin)
{
    // ';' as in Windows' own lists: a path may hold a drive's ':'.
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start)
            addPath(list.substr(start, end - start), origin);
        start = end + 1;
    }
}

void CPortTable::rescanLocked()
{
    const auto names = serialCommNames();
    m_present.clear();
    for (uint32_t n = 1; n <= kMaxPort; ++n) {
        if (!hasDefaultConfig(n))
            continue;
        const auto named = names.find(n);
        const std::string description = named != names.end() ? named->second : std::string {};
        auto slot = m_slots.find(n);
        if (slot == m_slots.end())
            slot = m_slots.emplace(n, Slot { comPath(n), comPath(n), description, false }).first;
        else if (!slot->second.extra)
            slot->second.description = description;
        m_present.insert(n);
    }
}

std::vector<PortEntry> CPortTable::presentPorts()
{
    std::lock_guard lock(m_mutex);
    rescanLocked();
    std::vector<PortEntry> ports;
    for (const auto& [number, slot] : m_slots) {
        if (m_present.count(number) || (slot.extra && !comNumber(slot.path)))
            ports.push_back({ number, slot.path, slot.description });
    }
    return ports;
}

std::string CPortTable::pathOf(uint32_t number)
{
    if (number < 1 || number > kMaxPort)
        return {};
    std::lock_guard lock(m_mutex);
    const auto it = m_slots.find(number);
    return it == m_slots.end() ? comPath(number) : it->second.path;
}

uint32_t CPortTable::numberOf(const std::string& path) const
{
    if (const uint32_t n = comNumber(path))
        return n;
    std::lock_guard lock(m_mutex);
    return findLocked(identity(path));
}

// Windows names adapters by their COM number alone.
std::string CPortTable::byIdOf(uint32_t)
{
    return {};
}

uint32_t CPortTable::numberOfById(const std::string&)
{
    return 0;
}

void addEnvironmentPorts(IPortTable& table)
{
    if (const char* list = std::getenv("KORVANA_PORTS"))
        table.addPathList(list, "KORVANA_PORTS");
}
