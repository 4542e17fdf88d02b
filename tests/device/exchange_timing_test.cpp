// What one command exchange costs against a peer that answers at once on a
// pseudo-terminal (no wire pacing): wall time per round trip and CPU time of
// the calling thread. Prints the figures; fails only when they are far off.
#include <app/device/lpgdevice.h>
#include <app/platform/porttable.h>

#include "ptypeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <iostream>

namespace {

double threadCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

TEST(ExchangeTiming, CommandRoundTripOnPseudoTerminal)
{
    // Type 2, payload 04 00 00 00 00 00: 14 bytes, as the request. Made before
    // the peer so it outlives the peer's thread, which answers with it.
    const PtyPeer::Bytes ack = PtyPeer::frame(2, 0x0003, { 4, 0, 0, 0, 0, 0 });
    PtyPeer peer;
    peer.serve([&ack](const PtyPeer::Bytes&) { return std::vector<PtyPeer::Reply> { { ack } }; });
    CLPGDevice device;
    device.configurePort(portTable().addPath(peer.path(), "test"));

    constexpr int kRuns = 300;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuMs();
    int good = 0;
    for (int i = 0; i < kRuns; ++i) {
        ExchangeBuffer buffer {};
        buffer[0] = 0x0D;
        uint8_t length = 6;
        uint8_t type = 2;
        good += device.exchange(buffer, length, type) && type == 2 ? 1 : 0;
    }
    const double cpuMs = (threadCpuMs() - cpuStart) / kRuns;
    const double wallMs
        = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / kRuns;
    EXPECT_EQ(good, kRuns);
    std::cout << "exchange of 14 + 14 bytes: " << wallMs << " ms round trip, " << cpuMs << " ms CPU (mean of "
              << kRuns << ")\n";
    RecordProperty("round_trip_us", static_cast<int>(wallMs * 1000));
    RecordProperty("cpu_us", static_cast<int>(cpuMs * 1000));
    EXPECT_LT(wallMs, 20.0);
    EXPECT_LT(cpuMs, 2.0);
}

} // namespace
