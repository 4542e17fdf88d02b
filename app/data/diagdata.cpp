// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/diagdata.h>

#include <app/platform/mutexguard.h>

#include <algorithm>

uint64_t CDiagData::push(const CDiag& record)
{
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    if (static_cast<int>(m_records.size()) > kTrimAbove)
        m_records.erase(m_records.begin(), m_records.begin() + kTrimCount);
    m_records.push_back(record);
    return ++m_newest;
}

int CDiagData::count() const
{
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    return static_cast<int>(m_records.size());
}

bool CDiagData::latest(CDiag& out) const
{
    // One lock for counting and copying: a clear between the two would
    // otherwise leave an index into an empty queue.
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    if (m_records.empty())
        return false;
    out = m_records.back();
    return true;
}

void CDiagData::copyRange(std::vector<CDiag>& out, int first, int last) const
{
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    const int n = static_cast<int>(m_records.size());
    first = std::max(first, 0);
    last = std::min(last, n);
    if (first >= last)
        return;
    out.insert(out.end(), m_records.begin() + first, m_records.begin() + last);
}

CDiagData::Since CDiagData::copySince(uint64_t sequence, std::vector<CDiag>& out) const
{
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    Since result;
    result.newest = m_newest;
    if (sequence >= m_newest)
        return result;
    // The held records are numbered oldest … m_newest without gaps.
    const uint64_t oldest = m_newest - m_records.size() + 1;
    if (sequence + 1 < oldest)
        result.dropped = oldest - (sequence + 1);
    const uint64_t from = std::max(sequence + 1, oldest);
    const auto skip = static_cast<std::ptrdiff_t>(from - oldest);
    out.insert(out.end(), m_records.begin() + skip, m_records.end());
    result.copied = static_cast<std::size_t>(m_newest - from + 1);
    return result;
}

uint64_t CDiagData::newestSequence() const
{
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    return m_newest;
}

void CDiagData::clear()
{
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    m_records.clear();
}
