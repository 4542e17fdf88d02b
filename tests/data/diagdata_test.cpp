// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the live readings queue by sequence number: across the trim, across
// clear(), and readers of different speeds against one writer.
#include <app/data/diagdata.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

// A record that carries its push number in its own sequence field and in one data byte.
CDiag numbered(uint64_t n)
{
    CDiag r;
    r.setSequence(static_cast<uint32_t>(n));
    r.bytes()[1] = static_cast<uint8_t>(n * 7);
    return r;
}

// Follows the queue as a chart would; remembers every number it accounts for.
struct Reader {
    uint64_t last = 0;
    uint64_t dropped = 0;
    std::vector<uint64_t> seen;

    void read(const CDiagData& q)
    {
        std::vector<CDiag> out;
        const CDiagData::Since since = q.copySince(last, out);
        ASSERT_EQ(since.copied, out.size());
        ASSERT_GE(since.newest, last);
        ASSERT_EQ(since.newest - last, since.dropped + since.copied)
            << "every newer number is either copied or dropped";
        uint64_t expected = last + since.dropped + 1;
        for (const CDiag& r : out) {
            ASSERT_EQ(r.sequence(), expected);
            ASSERT_EQ(r.bytes()[1], static_cast<uint8_t>(expected * 7));
            seen.push_back(expected++);
        }
        dropped += since.dropped;
        last = since.newest;
    }
};

TEST(DiagDataSince, NumbersEveryPushAndReportsTheTrimmedGap)
{
    CDiagData q;
    EXPECT_EQ(q.newestSequence(), 0u);
    for (uint64_t n = 1; n <= 400; ++n)
        EXPECT_EQ(q.push(numbered(n)), n);

    std::vector<CDiag> out;
    CDiagData::Since first = q.copySince(0, out);
    EXPECT_EQ(first.newest, 400u);
    EXPECT_EQ(first.dropped, 0u);
    EXPECT_EQ(out.size(), 400u);

    // 400 more: the push of 502 drops 1…250, the push of 752 drops 251…500.
    for (uint64_t n = 401; n <= 800; ++n)
        q.push(numbered(n));
    ASSERT_EQ(q.count(), 800 - 500);
    out.clear();
    const CDiagData::Since second = q.copySince(first.newest, out);
    EXPECT_EQ(second.newest, 800u);
    EXPECT_EQ(second.dropped, 100u); // 401…500 were trimmed before the reader came back
    ASSERT_EQ(out.size(), 300u);
    EXPECT_EQ(out.front().sequence(), 501u);
    EXPECT_EQ(out.back().sequence(), 800u);

    // Nothing new: nothing copied, nothing dropped; a number from the future the same.
    out.clear();
    const CDiagData::Since again = q.copySince(800, out);
    EXPECT_EQ(again.copied + again.dropped, 0u);
    EXPECT_EQ(q.copySince(5000, out).copied, 0u);
    EXPECT_TRUE(out.empty());

    // The other operations see the same queue.
    CDiag newest;
    ASSERT_TRUE(q.latest(newest));
    EXPECT_EQ(newest.sequence(), 800u);
}

TEST(DiagDataSince, ClearDropsButTheNumberingGoesOn)
{
    CDiagData q;
    for (uint64_t n = 1; n <= 3; ++n)
        q.push(numbered(n));
    Reader reader;
    reader.read(q);
    q.push(numbered(4));
    q.clear();
    EXPECT_EQ(q.newestSequence(), 4u);
    EXPECT_EQ(q.push(numbered(5)), 5u);
    q.push(numbered(6));
    reader.read(q);
    EXPECT_EQ(reader.dropped, 1u); // record 4, cleared unseen
    EXPECT_EQ(reader.seen, (std::vector<uint64_t> { 1, 2, 3, 5, 6 }));
}

TEST(DiagDataSince, ReadersAtDifferentSpeedsSeeOneSequence)
{
    CDiagData q;
    Reader fast;
    Reader slow;
    for (uint64_t n = 1; n <= 2000; ++n) {
        q.push(numbered(n));
        fast.read(q);
        if (n % 333 == 0)
            slow.read(q);
    }
    slow.read(q);
    ASSERT_EQ(fast.seen.size(), 2000u);
    EXPECT_EQ(fast.dropped, 0u);
    EXPECT_GT(slow.dropped, 0u); // it fell behind a trim
    EXPECT_EQ(slow.seen.size() + slow.dropped, 2000u);
    // What the slow reader saw is a part of what the fast one saw, in the same order.
    EXPECT_TRUE(std::includes(fast.seen.begin(), fast.seen.end(), slow.seen.begin(), slow.seen.end()));
}

TEST(DiagDataSince, ReadersOnOtherThreadsAgainstAWriter)
{
    CDiagData q;
    constexpr uint64_t kRecords = 5000;
    std::atomic<bool> done { false };
    auto follow = [&](Reader& reader, int pauseUs) {
        while (!done) {
            reader.read(q);
            if (::testing::Test::HasFatalFailure())
                return;
            std::this_thread::sleep_for(std::chrono::microseconds(pauseUs));
        }
        reader.read(q);
    };
    Reader fast;
    Reader slow;
    std::thread a([&] { follow(fast, 10); });
    std::thread b([&] { follow(slow, 3000); });
    for (uint64_t n = 1; n <= kRecords; ++n) {
        q.push(numbered(n));
        if (n % 1500 == 0)
            q.clear();
    }
    done = true;
    a.join();
    b.join();
    EXPECT_EQ(fast.seen.size() + fast.dropped, kRecords);
    EXPECT_EQ(slow.seen.size() + slow.dropped, kRecords);
}

} // namespace
