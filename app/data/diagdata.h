// The queue of live readings records: the polling thread pushes, the pages
// count, read the newest record and copy ranges. Every operation takes the
// queue's own lock for its whole run; readers get copies, never references.
#pragma once

#include <app/data/diag.h>
#include <syncmsg/msgmutex.h>

#include <vector>

class CDiagData {
public:
    // Above this many records a push first drops the oldest kTrimCount.
    static constexpr int kTrimAbove = 500;
    static constexpr int kTrimCount = 250;

    CDiagData() = default;
    CDiagData(const CDiagData&) = delete;
    CDiagData& operator=(const CDiagData&) = delete;

    void push(const CDiag& record);
    int count() const;
    // Copies the newest record; leaves out unchanged when the queue is empty.
    // Returns whether a record was copied.
    bool latest(CDiag& out) const;
    // Appends the records first … min(last, count) − 1 to out; nothing when
    // first is at or beyond the count. A negative first counts as 0.
    void copyRange(std::vector<CDiag>& out, int first, int last) const;
    void clear();

private:
    mutable CMSGMutex m_lock;
    std::vector<CDiag> m_records;
};
