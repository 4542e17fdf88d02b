#include <app/platform/programdir.h>

#include <cstdlib>
#include <system_error>

std::filesystem::path programDir()
{
    if (const char* dir = std::getenv("KORVANA_RUNTIME_DIR"); dir && *dir)
        return dir;
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::filesystem::current_path(error);
    return exe.parent_path();
}
