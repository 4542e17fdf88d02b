// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/pcid.h>

#include <dirent.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cctype>
#include <fstream>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<PcId> fromMachineId(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line))
        return std::nullopt;
    return pcIdFromHex(line);
}

std::optional<PcId> fromRootUuid(const std::string& byUuidDir, const std::string& rootPath)
{
    struct stat root { };
    if (::stat(rootPath.c_str(), &root) != 0)
        return std::nullopt;
    DIR* dir = ::opendir(byUuidDir.c_str());
    if (!dir)
        return std::nullopt;
    std::optional<PcId> id;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat dev { };
        if (::stat((byUuidDir + "/" + name).c_str(), &dev) != 0 || !S_ISBLK(dev.st_mode))
            continue;
        if (dev.st_rdev == root.st_dev) {
            id = pcIdFromHex(name);
            break;
        }
    }
    ::closedir(dir);
    return id;
}

} // namespace

std::optional<PcId> pcIdFromHex(std::string_view text)
{
    PcId id {};
    std::size_t digits = 0;
    for (char c : text) {
        if (digits == 8)
            break;
        if (c == '-')
            continue;
        int v = hexValue(c);
        if (v < 0)
            return std::nullopt;
        id[digits / 2] = static_cast<uint8_t>((id[digits / 2] << 4) | v);
        ++digits;
    }
    if (digits < 8)
        return std::nullopt;
    return id;
}

std::optional<PcId> readPcId(
    const std::string& machineIdFile, const std::string& byUuidDir, const std::string& rootPath)
{
    if (auto id = fromMachineId(machineIdFile))
        return id;
    return fromRootUuid(byUuidDir, rootPath);
}

namespace {

// Where pcIdentifier looks; only tests change it, before any device runs.
std::string g_sources[3] = { "/etc/machine-id", "/dev/disk/by-uuid", "/" };

} // namespace

#ifdef _WIN32
// The serial number of the volume that holds the Windows folder, most
// significant byte first; tests' sources when a scope set them.
std::optional<PcId> pcIdentifier()
{
    if (g_sources[0] != "/etc/machine-id")
        return readPcId(g_sources[0], g_sources[1], g_sources[2]);
    wchar_t windows[MAX_PATH] = {};
    const UINT n = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (n < 2 || n >= MAX_PATH || windows[1] != L':')
        return std::nullopt;
    const wchar_t root[] = { windows[0], L':', L'\\', L'\0' };
    DWORD serial = 0;
    if (!::GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
        return std::nullopt;
    return PcId { static_cast<uint8_t>(serial >> 24), static_cast<uint8_t>(serial >> 16),
        static_cast<uint8_t>(serial >> 8), static_cast<uint8_t>(serial) };
}
#else
std::optional<PcId> pcIdentifier()
{
    return readPcId(g_sources[0], g_sources[1], g_sources[2]);
}
#endif

CPcIdSourceScope::CPcIdSourceScope(std::string machineIdFile, std::string byUuidDir, std::string rootPath)
    : m_previous { g_sources[0], g_sources[1], g_sources[2] }
{
    g_sources[0] = std::move(machineIdFile);
    g_sources[1] = std::move(byUuidDir);
    g_sources[2] = std::move(rootPath);
}

CPcIdSourceScope::~CPcIdSourceScope()
{
    for (int i = 0; i < 3; ++i)
        g_sources[i] = m_previous[i];
}
