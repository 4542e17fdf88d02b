#include <app/data/diagdata.h>

#include <app/platform/mutexguard.h>

#include <algorithm>

void CDiagData::push(const CDiag& record)
{
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    if (static_cast<int>(m_records.size()) > kTrimAbove)
        m_records.erase(m_records.begin(), m_records.begin() + kTrimCount);
    m_records.push_back(record);
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

void CDiagData::clear()
{
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    m_records.clear();
}
