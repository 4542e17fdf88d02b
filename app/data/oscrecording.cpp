// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/oscrecording.h>

#include <algorithm>

bool COscRecording::open(const std::string& path)
{
    std::size_t count = 0;
    std::vector<uint64_t> offsets;
    uint8_t cylinders = 0;
    const bool opened = CDiagFile::readRecordsFrom(path, 0, [&](const CDiagFile::Record& record, uint64_t offset) {
        if (count % kStride == 0)
            offsets.push_back(offset);
        for (int k = 0; k < 8; ++k)
            if (record[static_cast<std::size_t>(2 + 2 * k)] != 0.0 || record[static_cast<std::size_t>(3 + 2 * k)] != 0.0)
                cylinders |= static_cast<uint8_t>(1u << k);
        ++count;
        return true;
    });
    if (!opened)
        return false;
    m_path = path;
    m_count = count;
    m_offsets = std::move(offsets);
    m_cylinders = cylinders;
    return true;
}

bool COscRecording::read(std::size_t first, std::size_t n, std::vector<CDiagFile::Record>& out) const
{
    out.clear();
    if (first >= m_count || n == 0)
        return true;
    n = std::min(n, m_count - first);
    std::size_t at = first / kStride * kStride;
    return CDiagFile::readRecordsFrom(m_path, m_offsets[first / kStride], [&](const CDiagFile::Record& record, uint64_t) {
        if (at++ >= first)
            out.push_back(record);
        return out.size() < n;
    }) && out.size() == n;
}
