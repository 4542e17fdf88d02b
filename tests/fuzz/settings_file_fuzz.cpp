// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files from arbitrary bytes: reading must never crash, the reader's
// report must not change what is loaded, and a file that was read whole must
// write out lines that read back to the same lines.
// The reader takes a path, so the bytes go into an anonymous in-memory file
// (nothing is left on disk however a run ends). The service tool's readers
// come along: diff's reader takes a file exactly when the plain reader does,
// and the size limit refuses a file past it unread (checked with the real
// limit and with a small one the input picks, which the fuzzer can reach).
#include <app/data/settingsfile.h>
#include <app/data/settingsio.h>
#include <app/platform/boundedread.h>
#include <app/data/settingsdiff.h>

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
    MemoryFile() : m_fd(::memfd_create("settings", 0)) { }
    ~MemoryFile() { ::close(m_fd); }

    std::string path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

    void fill(const char* data, std::size_t size)
    {
        if (::ftruncate(m_fd, 0) != 0 || ::pwrite(m_fd, data, size, 0) != static_cast<ssize_t>(size))
            std::abort();
    }

private:
    int m_fd;
};

// The longest line the reader takes in one piece, its line feed included.
constexpr std::size_t kLineRead = 511;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static MemoryFile input;
    static MemoryFile output;
    input.fill(reinterpret_cast<const char*>(data), size);
    for (const std::size_t limit : { std::size_t { size > 0 ? data[0] : 0u }, CSettingsFile::kMaxFileBytes }) {
        std::string bytes;
        const BoundedReadResult read = readBoundedFile(input.path(), limit, bytes);
        const BoundedReadResult expected = size > limit ? BoundedReadResult::TooLarge : BoundedReadResult::Read;
        if (read != expected || probeBoundedFile(input.path(), limit) != expected)
            std::abort();
        if (read == BoundedReadResult::Read && bytes != std::string(reinterpret_cast<const char*>(data), size))
            std::abort();
    }
    CSettingsImage image;
    const bool taken = readSettings(input.path(), image);
    // As korvana-cli diff reads it: the same file taken or refused.
    CSettingsImage compared;
    if (readSettingsForComparison(input.path(), compared) != taken)
        std::abort();
    if (size > CSettingsFile::kMaxFileBytes && taken)
        std::abort();
    if (!taken)
        return 0;

    const auto lines = settingsLines(image);
    // The report only tells; the image is loaded the same with it.
    CSettingsImage reported;
    CSettingsReadReport report;
    if (!readSettings(input.path(), reported, &report) || settingsLines(reported) != lines)
        std::abort();
    for (const auto& problem : report.rejected)
        if (problem.line < 1 || report.lineOf(problem.key) != problem.line)
            std::abort();
    std::string text;
    bool fitsOneRead = true;
    for (const auto& [key, value] : lines) {
        std::wstring wide = key;
        wide += L'\t';
        wide += value;
        std::string line;
        for (wchar_t c : wide)
            line.push_back(static_cast<unsigned long>(c) <= 0xFF ? static_cast<char>(c) : '?');
        // A longer line is cut by the reader as it always has been: no round trip to check.
        fitsOneRead = fitsOneRead && line.size() + 1 <= kLineRead;
        text += line + "\r\n";
    }
    output.fill(text.data(), text.size());
    CSettingsImage again;
    if (!readSettings(output.path(), again))
        std::abort();
    if (fitsOneRead && settingsLines(again) != lines)
        std::abort();
    return 0;
}
