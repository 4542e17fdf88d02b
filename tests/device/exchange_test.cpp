// SPDX-License-Identifier: GPL-3.0-or-later
// The exchange of the device object against a scripted peer on a
// pseudo-terminal: requests byte for byte on the wire, answers taken, realigned
// or refused, the purge of stale input, the checked form, the cost of a silent
// peer, the attempt policy and the link lock under two threads.
#include <app/device/lpgdevice.h>
#include <errkit/runtime.h>

#include "ptypeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

using Bytes = PtyPeer::Bytes;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Type 2, key 0x0003, payload 04 00 00 00 00 00: the controller's acknowledge.
const Bytes kAck { 0xAA, 0x55, 0x08, 0x02, 0x00, 0x03, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12 };

long msSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count());
}

class Exchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        device.link().configurePort(device.link().ports().addPath(peer.path(), "test"));
        device.link().setKeyGenerator([] { return uint16_t { 0x1234 }; });
    }

    // Serves one fixed answer to every request.
    void answerWith(const Bytes& reply)
    {
        peer.serve([reply](const Bytes&) { return std::vector<PtyPeer::Reply> { { reply } }; });
    }

    bool run(const Bytes& payload, uint8_t requestType, uint8_t& length, uint8_t& type, LinkFailure* why = nullptr)
    {
        std::copy(payload.begin(), payload.end(), buffer.begin());
        length = static_cast<uint8_t>(payload.size());
        type = requestType;
        return device.link().exchange(buffer, length, type, why);
    }

    Bytes bufferHead(std::size_t n) const { return Bytes(buffer.begin(), buffer.begin() + static_cast<long>(n)); }

    PtyPeer peer;
    CLPGDevice device;
    ExchangeBuffer buffer {};
};

TEST_F(Exchange, RequestsOnTheWireByteForByte)
{
    struct Case {
        const char* name;
        uint16_t key;
        uint8_t type;
        Bytes payload;
        Bytes wire;
    };
    const Case cases[] = {
        { "the worked example", 0x1234, 2, { 0x0D, 0, 0, 0, 0, 0 },
          { 0xAA, 0x55, 0x08, 0x02, 0x12, 0x34, 0xD0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5E } },
        { "empty payload", 0x0102, 3, {}, { 0xAA, 0x55, 0x02, 0x03, 0x01, 0x02, 0x00, 0x09 } },
        { "odd payload, last byte as it is", 0x0005, 0x10, { 0x12, 0x34, 0x56 },
          { 0xAA, 0x55, 0x05, 0x10, 0x00, 0x05, 0x46, 0x82, 0x56, 0x00, 0xB7 } },
        { "k = 0 sends the payload unchanged", 0x1230, 7, { 0x01, 0x02, 0x03, 0x04 },
          { 0xAA, 0x55, 0x06, 0x07, 0x12, 0x30, 0x01, 0x02, 0x03, 0x04, 0x00, 0x5A } },
        { "bit 15 of a key is never sent", 0x9234, 2, { 0x0D, 0, 0, 0, 0, 0 },
          { 0xAA, 0x55, 0x08, 0x02, 0x12, 0x34, 0xD0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5E } },
    };
    answerWith(kAck);
    for (const auto& c : cases) {
        device.link().setKeyGenerator([k = c.key] { return k; });
        uint8_t length = 0;
        uint8_t type = 0;
        ASSERT_TRUE(run(c.payload, c.type, length, type)) << c.name;
        EXPECT_EQ(PtyPeer::hex(peer.requests().back()), PtyPeer::hex(c.wire)) << c.name;
        EXPECT_EQ(type, 2) << c.name;
        EXPECT_EQ(length, 6) << c.name;
        EXPECT_EQ(bufferHead(6), (Bytes { 0x04, 0, 0, 0, 0, 0 })) << c.name;
    }
}

TEST_F(Exchange, StrayByteBeforeTheAnswerIsRealigned)
{
    Bytes reply { 0x17 };
    reply.insert(reply.end(), kAck.begin(), kAck.end());
    answerWith(reply);
    uint8_t length = 0;
    uint8_t type = 0;
    EXPECT_TRUE(run({ 0x0D, 0, 0, 0, 0, 0 }, 2, length, type));
    EXPECT_EQ(type, 2);
    EXPECT_EQ(bufferHead(1), Bytes { 0x04 });
}

TEST_F(Exchange, AnswerSplitIntoPiecesIsCollected)
{
    peer.serve([](const Bytes&) {
        return std::vector<PtyPeer::Reply> { { Bytes(kAck.begin(), kAck.begin() + 3) },
                                              { Bytes(kAck.begin() + 3, kAck.begin() + 9), milliseconds(20) },
                                              { Bytes(kAck.begin() + 9, kAck.end()), milliseconds(20) } };
    });
    uint8_t length = 0;
    uint8_t type = 0;
    EXPECT_TRUE(run({ 0x0D, 0, 0, 0, 0, 0 }, 2, length, type));
}

TEST_F(Exchange, RefusedAnswers)
{
    Bytes badSum = kAck;
    badSum.back() ^= 0x40;
    struct Case {
        const char* name;
        Bytes reply;
        LinkFailure failure;
        long minMs; // the protocol's own wait; its length on the link's clock: linkpolicy_test
    };
    const Case cases[] = {
        // The wrong checksum still carries the expected type 2.
        { "wrong checksum", badSum, LinkFailure::Checksum, 0 },
        { "length byte 2", { 0xAA, 0x55, 0x02, 0x02, 0x00, 0x00, 0x00, 0x05 }, LinkFailure::TooShort, 0 },
        { "length byte 1", { 0xAA, 0x55, 0x01, 0x02, 0x00, 0x00, 0x00 }, LinkFailure::TooShort, 0 },
        // The header is complete at once; the exchange then waits 131 ms before it fails.
        { "four bytes without 0xAA", { 0x01, 0x02, 0x03, 0x04 }, LinkFailure::NoSync, 125 },
    };
    for (const auto& c : cases) {
        answerWith(c.reply);
        uint8_t length = 0;
        uint8_t type = 0;
        LinkFailure why = LinkFailure::None;
        const auto start = Clock::now();
        EXPECT_FALSE(run({ 0x0D, 0, 0, 0, 0, 0 }, 2, length, type, &why)) << c.name;
        const long ms = msSince(start);
        EXPECT_EQ(why, c.failure) << c.name;
        EXPECT_GE(ms, c.minMs) << c.name;
        peer.stop();
        peer.drain(milliseconds(5));
    }
}

TEST_F(Exchange, StaleBytesBeforeTheChecksumAreNeverTheAnswer)
{
    // A whole, valid answer of another type is already waiting at the port.
    const Bytes stale = PtyPeer::frame(9, 0x0101, { 1, 2, 3, 4, 5, 6 });
    peer.send(stale);
    ASSERT_TRUE(peer.waitQueuedAtPort(stale.size(), milliseconds(1000)));
    answerWith(kAck);

    uint8_t length = 0;
    uint8_t type = 0;
    EXPECT_TRUE(run({ 0x0D, 0, 0, 0, 0, 0 }, 2, length, type));
    EXPECT_EQ(type, 2);

    peer.send(stale);
    ASSERT_TRUE(peer.waitQueuedAtPort(stale.size(), milliseconds(1000)));
    type = 0x24;
    length = 6;
    EXPECT_EQ(device.link().exchangeChecked(buffer, length, type), 0);
    EXPECT_EQ(type, 2);
}

TEST_F(Exchange, SilentPeerCostsAboutOneSecondPerAttempt)
{
    uint8_t length = 0;
    uint8_t type = 0;
    LinkFailure why = LinkFailure::None;
    const auto start = Clock::now();
    EXPECT_FALSE(run({ 0x0D, 0, 0, 0, 0, 0 }, 2, length, type, &why));
    const long ms = msSince(start);
    EXPECT_EQ(why, LinkFailure::ShortHeader);
    EXPECT_GE(ms, 1000); // a read of 4 bytes waits 1000 + 4 ms
}

TEST_F(Exchange, CheckedForm)
{
    Bytes badSum = kAck;
    badSum.back() ^= 0x01;
    struct Case {
        const char* name;
        Bytes reply;
        uint8_t status;
        uint8_t type;   // after the call; 0x24 = left as set
        uint8_t length; // after the call; 6 = left as set
    };
    const Case cases[] = {
        { "answer", kAck, 0, 2, 8 },
        { "length byte 2 leaves type and length", { 0xAA, 0x55, 0x02, 0x01, 0x00, 0x00, 0x00, 0x04 }, 0, 0x24, 6 },
        { "wrong checksum", badSum, 2, 0x24, 6 },
        // No 131 ms wait in this form (on the link's clock: linkpolicy_test).
        { "no sync byte", { 0x01, 0x02, 0x03, 0x04 }, 2, 0x24, 6 },
    };
    for (const auto& c : cases) {
        answerWith(c.reply);
        buffer.fill(0);
        buffer[0] = 0x24;
        uint8_t length = 6;
        uint8_t type = 0x24;
        EXPECT_EQ(device.link().exchangeChecked(buffer, length, type), c.status) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(length, c.length) << c.name;
        if (c.status == 0 && c.length == 8) { // payload, then the two checksum bytes
            EXPECT_EQ(bufferHead(8), (Bytes { 0x04, 0, 0, 0, 0, 0, 0x00, 0x12 })) << c.name;
        }
        peer.stop();
        peer.drain(milliseconds(5));
    }
}

// A line error reported by the port ends the checked form at once with 2:
// the frame goes no further than the header, and the error is not carried
// into the next exchange.
TEST_F(Exchange, CheckedFormStopsAtALineError)
{
    buffer.fill(0);
    buffer[0] = 0x24;
    uint8_t length = 6;
    uint8_t type = 2;
    LinkFailure why = LinkFailure::None;
    device.link().port().injectLineErrors(CSerialPort::kFrame);
    EXPECT_EQ(device.link().exchangeChecked(buffer, length, type, &why), 2);
    EXPECT_EQ(why, LinkFailure::LineError);
    EXPECT_EQ(peer.drain(milliseconds(100)), (Bytes { 0xAA, 0x55, 0x08, 0x02, 0x12, 0x34 }));

    answerWith(kAck);
    buffer.fill(0);
    buffer[0] = 0x24;
    length = 6;
    type = 2;
    EXPECT_EQ(device.link().exchangeChecked(buffer, length, type, &why), 0);
    EXPECT_EQ(why, LinkFailure::None);
    EXPECT_EQ(type, 2);

    // The live readings report it as a link fault.
    device.link().port().injectLineErrors(CSerialPort::kOverrun);
    CDiag record;
    EXPECT_EQ(device.readLiveData(record), CLPGDevice::kLiveLinkFault);
}

TEST_F(Exchange, AttemptsRebuildTheRequestUntilTheExpectedType)
{
    int calls = 0;
    peer.serve([&calls](const Bytes&) {
        // Two answers of the wrong type, then the acknowledge.
        return std::vector<PtyPeer::Reply> { { ++calls <= 2 ? PtyPeer::frame(5, 0x0007, { 4, 0, 0, 0, 0, 0 }) : kAck } };
    });
    const uint8_t request[6] = { 0x0D, 0, 0, 0, 0, 0 };
    uint8_t length = 0;
    EXPECT_TRUE(device.link().exchangeWithAttempts(2, request, 6, buffer, length, uint8_t { 2 }));
    const auto requests = peer.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& r : requests) {
        const auto f = PtyPeer::parse(r);
        ASSERT_TRUE(f && f->checksumOk);
        EXPECT_EQ(f->payload, (Bytes { 0x0D, 0, 0, 0, 0, 0 }));
    }
}

TEST_F(Exchange, AttemptsGiveUpAfterFifteen)
{
    answerWith(PtyPeer::frame(5, 0x0007, { 4, 0, 0, 0, 0, 0 }));
    const uint8_t request[6] = { 0x0D, 0, 0, 0, 0, 0 };
    uint8_t length = 0;
    EXPECT_FALSE(device.link().exchangeWithAttempts(2, request, 6, buffer, length, uint8_t { 2 }));
    EXPECT_EQ(peer.requests().size(), 15u);
}

TEST_F(Exchange, OverlongRequestIsRefusedBeforeAnythingIsSent)
{
    uint8_t length = 254;
    uint8_t type = 2;
    try {
        device.link().exchange(buffer, length, type);
        FAIL() << "no error";
    } catch (IError* e) {
        std::unique_ptr<IError> owned(e);
        EXPECT_EQ(owned->name(), L"CRunTime");
        EXPECT_EQ(owned->getCode(), 0u);
    }
    EXPECT_TRUE(peer.receive(1, milliseconds(50)).empty());
}

// The attempt loop refuses a request its length byte cannot describe before
// the first attempt, as the single exchange does.
TEST_F(Exchange, AttemptLoopRefusesAnOverlongRequestBeforeSending)
{
    answerWith(kAck);
    const std::vector<uint8_t> request(254, 0x0D);
    uint8_t length = 0;
    try {
        device.link().exchangeWithAttempts(2, request.data(), request.size(), buffer, length, uint8_t { 2 });
        FAIL() << "no error";
    } catch (IError* e) {
        std::unique_ptr<IError> owned(e);
        EXPECT_EQ(owned->name(), L"CRunTime");
        EXPECT_EQ(owned->getCode(), 0u);
    }
    peer.stop();
    EXPECT_TRUE(peer.requests().empty());
    // 253 bytes still go.
    answerWith(kAck);
    EXPECT_TRUE(device.link().exchangeWithAttempts(2, request.data(), 253, buffer, length, uint8_t { 2 }));
}

TEST_F(Exchange, PortErrorPassesThroughAndReleasesTheLock)
{
    peer.hangUp();
    uint8_t length = 0;
    uint8_t type = 2;
    try {
        device.link().exchange(buffer, length, type);
        FAIL() << "no error";
    } catch (IError* e) {
        std::unique_ptr<IError> owned(e);
        EXPECT_EQ(owned->name(), L"CRSError");
        EXPECT_EQ(owned->getCode(), 6u);
    }
    auto other = std::async(std::launch::async, [this] {
        device.link().lock().lock();
        device.link().lock().unlock();
    });
    EXPECT_EQ(other.wait_for(std::chrono::seconds(2)), std::future_status::ready);
}

TEST_F(Exchange, TwoThreadsNeverInterleaveFrames)
{
    // Echo: answer type = request type + 1, same payload. A frame mixed from two requests breaks this.
    peer.serve([](const Bytes& request) {
        const auto f = PtyPeer::parse(request);
        if (!f || !f->checksumOk)
            return std::vector<PtyPeer::Reply> {};
        return std::vector<PtyPeer::Reply> { { PtyPeer::frame(static_cast<uint8_t>(f->type + 1), 0x0F0F, f->payload) } };
    });
    device.link().setKeyGenerator(nullptr);
    constexpr int kEach = 40;
    auto worker = [this](uint8_t type, uint8_t fill) {
        int good = 0;
        for (int i = 0; i < kEach; ++i) {
            ExchangeBuffer b {};
            std::fill(b.begin(), b.begin() + 40, fill);
            uint8_t length = 40;
            uint8_t t = type;
            if (device.link().exchange(b, length, t) && t == type + 1 && length == 40
                && std::all_of(b.begin(), b.begin() + 40, [fill](uint8_t x) { return x == fill; }))
                ++good;
        }
        return good;
    };
    auto a = std::async(std::launch::async, worker, uint8_t { 0x10 }, uint8_t { 0xA1 });
    auto b = std::async(std::launch::async, worker, uint8_t { 0x20 }, uint8_t { 0xB2 });
    EXPECT_EQ(a.get(), kEach);
    EXPECT_EQ(b.get(), kEach);
    for (const auto& r : peer.requests()) {
        const auto f = PtyPeer::parse(r);
        ASSERT_TRUE(f && f->checksumOk) << PtyPeer::hex(r);
    }
    EXPECT_EQ(peer.requests().size(), 2u * kEach);
}

} // namespace
