// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/programdir.h>

#include <array>
#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// "Beside the program" is decided by a data folder being there, not by the
// program's own location: a portable copy may be unpacked anywhere, even
// under a bin/ folder. Skins/ comes with every GUI build, KOR_LANG/ with
// every build (also those without the GUI, where the CLI reads it).
constexpr std::array kMarkerFolders { "Skins", "KOR_LANG" };

bool isDirectory(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

} // namespace

std::filesystem::path executableDir()
{
#ifdef _WIN32
    for (std::wstring module(MAX_PATH, L'\0');; module.resize(module.size() * 2)) {
        const DWORD n = ::GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
        if (n == 0)
            break;
        if (n < module.size()) {
            module.resize(n);
            return std::filesystem::path(module).parent_path();
        }
    }
#endif
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::filesystem::current_path(error);
    return exe.parent_path();
}

std::filesystem::path dataDirFor(const std::filesystem::path& exeDir)
{
    for (const char* folder : kMarkerFolders) {
        if (isDirectory(exeDir / folder))
            return exeDir;
    }
    std::filesystem::path installed = exeDir.parent_path() / "share" / "korvana";
    if (isDirectory(installed))
        return installed;
    return exeDir;
}

std::filesystem::path programDir()
{
    if (const char* dir = std::getenv("KORVANA_RUNTIME_DIR"); dir && *dir)
        return dir;
    return dataDirFor(executableDir());
}
