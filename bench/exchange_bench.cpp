// SPDX-License-Identifier: GPL-3.0-or-later
// What one command exchange costs against a peer that answers at once on a
// pseudo-terminal (no wire pacing): wall time per round trip and CPU time of
// the calling thread, the mean of 300. Prints the figures; exits 1 only when
// an exchange fails.
#include <app/device/lpgdevice.h>

#include "ptypeer.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

double threadCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

} // namespace

int main()
{
    // Type 2, payload 04 00 00 00 00 00: 14 bytes, as the request. Made before
    // the peer so it outlives the peer's thread, which answers with it.
    const PtyPeer::Bytes ack = PtyPeer::frame(2, 0x0003, { 4, 0, 0, 0, 0, 0 });
    PtyPeer peer;
    peer.serve([&ack](const PtyPeer::Bytes&) { return std::vector<PtyPeer::Reply> { { ack } }; });
    CLPGDevice device;
    device.link().configurePort(device.link().ports().addPath(peer.path(), "bench"));

    constexpr int kRuns = 300;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuMs();
    int good = 0;
    for (int i = 0; i < kRuns; ++i) {
        ExchangeBuffer buffer {};
        buffer[0] = 0x0D;
        uint8_t length = 6;
        uint8_t type = 2;
        good += device.link().exchange(buffer, length, type) && type == 2 ? 1 : 0;
    }
    const double cpuMs = (threadCpuMs() - cpuStart) / kRuns;
    const double wallMs
        = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / kRuns;
    std::printf("exchange: %.3f ms round trip, %.3f ms CPU (14 + 14 bytes, mean of %d)\n", wallMs, cpuMs, kRuns);
    if (good != kRuns) {
        std::fprintf(stderr, "%d of %d exchanges failed\n", kRuns - good, kRuns);
        return 1;
    }
    return 0;
}
