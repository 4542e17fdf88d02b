// SPDX-License-Identifier: GPL-3.0-or-later
// Map CSV files and clipboard blocks from arbitrary text: reading must never
// crash, and a file that was taken must read back the same after writing.
// The service tool reads the file through the bounded reader first: the bytes
// go into an anonymous in-memory file and are read with the tool's limit and
// with a small one the input picks, so that a file past a limit is refused
// unread and one within it arrives byte for byte.
#include <app/platform/boundedread.h>
#include <app/tuning/mapcsv.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// One memory file per run, opened once and rewritten for each input.
class MemoryFile {
public:
    MemoryFile() : m_fd(::memfd_create("mapcsv", 0)) { }
    ~MemoryFile() { ::close(m_fd); }

    std::string path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

    void fill(const std::string& bytes)
    {
        if (::ftruncate(m_fd, 0) != 0
            || ::pwrite(m_fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
            std::abort();
    }

private:
    int m_fd;
};

// The bounded reader's contract for one limit: refused exactly when past it,
// else the whole file; the status alone says the same.
std::string readWithin(const std::string& path, const std::string& text, std::size_t limit)
{
    std::string bytes;
    const BoundedReadResult read = readBoundedFile(path, limit, bytes);
    const BoundedReadResult expected = text.size() > limit ? BoundedReadResult::TooLarge : BoundedReadResult::Read;
    if (read != expected || probeBoundedFile(path, limit) != expected)
        std::abort();
    if (read == BoundedReadResult::Read ? bytes != text : !bytes.empty())
        std::abort();
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static MemoryFile file;
    const std::string text(reinterpret_cast<const char*>(data), size);
    file.fill(text);
    readWithin(file.path(), text, size > 0 ? data[0] : 0);
    // As korvana-cli map set reads it.
    const std::string read = readWithin(file.path(), text, kMaxMapCsvBytes);

    MapFile map;
    MapTextError error;
    if (parseMapCsv(read, map, error)) {
        MapFile again;
        if (!parseMapCsv(formatMapCsv(map), again, error) || again.table != map.table || again.rpm != map.rpm)
            std::abort();
    }
    std::vector<std::vector<int>> block;
    if (parseMapBlock(text, block, error)) {
        for (const auto& row : block)
            for (int v : row)
                if (v < -50 || v > 50 || row.size() != block.front().size())
                    std::abort();
    }
    return 0;
}
