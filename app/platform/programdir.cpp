// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/programdir.h>

#include <array>
#include <cstdlib>
#include <system_error>

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
