// SPDX-License-Identifier: GPL-3.0-or-later
// The queue of live readings records: the polling thread pushes, the pages
// count, read the newest record and copy ranges or everything since the last
// record they saw. Every operation takes the queue's own lock for its whole
// run; readers get copies, never references.
//
// Each push numbers its record: 1 for the first, one more for each next push.
// The numbers go on across the trim and across clear(), so a reader that keeps
// the newest number it saw never misses a record silently and never sees one twice.
#pragma once

#include <app/data/diag.h>
#include <syncmsg/msgmutex.h>

#include <cstdint>
#include <vector>

class CDiagData {
public:
    // Above this many records a push first drops the oldest kTrimCount.
    static constexpr int kTrimAbove = 500;
    static constexpr int kTrimCount = 250;

    // What copySince found.
    struct Since {
        // The sequence number of the newest record pushed so far (0: none yet).
        uint64_t newest = 0;
        // Records newer than the reader's number that were trimmed or cleared
        // before it came back for them.
        uint64_t dropped = 0;
        // How many records were appended to out.
        std::size_t copied = 0;
    };

    CDiagData() = default;
    CDiagData(const CDiagData&) = delete;
    CDiagData& operator=(const CDiagData&) = delete;

    // Returns the record's sequence number.
    uint64_t push(const CDiag& record);
    int count() const;
    // Copies the newest record; leaves out unchanged when the queue is empty.
    // Returns whether a record was copied.
    bool latest(CDiag& out) const;
    // Appends the records first … min(last, count) − 1 to out; nothing when
    // first is at or beyond the count. A negative first counts as 0.
    void copyRange(std::vector<CDiag>& out, int first, int last) const;
    // Appends every held record numbered above sequence to out, oldest first.
    // Start with 0; then pass the newest number of the previous call.
    Since copySince(uint64_t sequence, std::vector<CDiag>& out) const;
    // The sequence number of the newest record pushed (0: none yet).
    uint64_t newestSequence() const;
    // Drops every record; the numbering goes on.
    void clear();

private:
    mutable CMSGMutex m_lock;
    std::vector<CDiag> m_records;
    // The number of the last push; m_records.back() carries it when not empty.
    uint64_t m_newest = 0;
};
