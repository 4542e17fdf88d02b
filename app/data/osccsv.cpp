// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/osccsv.h>
#include <app/platform/posixcompat.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Field positions of a recorded line.
constexpr std::size_t kFuel = 0;
constexpr std::size_t kRpm = 1;
constexpr std::size_t kFirstInjector = 2; // petrol 1, LPG 1, petrol 2, …
constexpr std::size_t kLpgPressure = 18;
constexpr std::size_t kMapPressure = 19;
constexpr std::size_t kLpgTempr = 20;
constexpr std::size_t kReducerTempr = 21;
constexpr std::size_t kLambda1 = 22;
constexpr std::size_t kLambda2 = 23;
constexpr std::size_t kObd = 24;

const char* const kObdColumns[CDiagFile::kObdValues] = {
    "stft1_pct", "ltft1_pct", "stft2_pct", "ltft2_pct", "o2_b1s1_v", "o2_b1s2_v", "o2_b2s1_v", "o2_b2s2_v",
};

void append(std::string& out, double value)
{
    char text[32];
    // Shortest text that reads back as the same number; never a locale's comma.
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    if (ec == std::errc())
        out.append(text, end);
    else
        out += '0';
}

} // namespace

std::string COscCsv::header()
{
    std::string h = "t_s,fuel_state,rpm";
    for (int k = 1; k <= CDiag::kInjectors; ++k)
        h += ",petrol_ms_" + std::to_string(k);
    for (int k = 1; k <= CDiag::kInjectors; ++k)
        h += ",lpg_ms_" + std::to_string(k);
    h += ",p_lpg_bar,p_map_bar,t_lpg_c,t_reducer_c,lambda1_v,lambda2_v";
    for (const char* name : kObdColumns)
        h += std::string(",") + name;
    return h + "\n";
}

std::string COscCsv::row(std::size_t index, const CDiagFile::Record& r)
{
    std::string out;
    out.reserve(256);
    char time[32];
    std::snprintf(time, sizeof time, "%llu.%llu", static_cast<unsigned long long>(index / 10),
                  static_cast<unsigned long long>(index % 10));
    out += time;
    auto field = [&out](double value) {
        out += ',';
        append(out, value);
    };
    field(r[kFuel]);
    field(r[kRpm]);
    for (std::size_t k = 0; k < static_cast<std::size_t>(CDiag::kInjectors); ++k)
        field(r[kFirstInjector + 2 * k]);
    for (std::size_t k = 0; k < static_cast<std::size_t>(CDiag::kInjectors); ++k)
        field(r[kFirstInjector + 2 * k + 1]);
    field(r[kLpgPressure] / 100.0);
    field(r[kMapPressure] / 100.0);
    field(r[kLpgTempr]);
    field(r[kReducerTempr]);
    field(r[kLambda1]);
    field(r[kLambda2]);
    for (std::size_t k = 0; k < static_cast<std::size_t>(CDiagFile::kObdValues); ++k)
        field(r[kObd + k]);
    out += '\n';
    return out;
}

std::string COscCsv::convert(const std::vector<CDiagFile::Record>& records)
{
    std::string out = header();
    out.reserve(out.size() + records.size() * 200);
    for (std::size_t i = 0; i < records.size(); ++i)
        out += row(i, records[i]);
    return out;
}

COscCsv::SFileResult COscCsv::convertFile(const std::string& oscPath,
                                          const std::function<bool(std::string_view)>& write)
{
    SFileResult result;
    // Non-blocking, so a FIFO without a writer cannot hold the opening.
    const int fd = ::open(oscPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        result.status = Status::Unreadable;
        return result;
    }
    struct stat st { };
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        result.status = statted ? Status::NotRegularFile : Status::Unreadable;
        ::close(fd);
        return result;
    }
    bool written = write(header());
    std::string rows;
    COscParser parser([&](const CDiagFile::Record& record) { rows += row(result.records++, record); });
    char buffer[64 * 1024];
    bool ok = written;
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.status = Status::Unreadable;
            ok = false;
            break;
        }
        ok = n == 0 ? parser.finish() : parser.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        // The rows of this piece go out before the next is read: at most one buffer's worth is held.
        if (!rows.empty()) {
            written = write(rows);
            rows.clear();
        }
        if (!ok) {
            result.status = Status::BadLine;
            result.error = parser.error();
        } else if (!written) {
            ok = false;
        }
        if (n == 0)
            break;
    }
    ::close(fd);
    if (!written)
        result.status = Status::WriteFailed;
    return result;
}
