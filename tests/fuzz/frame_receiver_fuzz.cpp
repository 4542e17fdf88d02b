// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target of the receive decoder. Input: one byte of settings (bit 0: the
// checked form; the rest: the size of the chunks that arrive between two
// time-outs), then the bytes from the wire. The buffer lives alone on the heap
// so any write past its 410 bytes is caught.
#include <app/device/framereceiver.h>

#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const auto mode = (data[0] & 1) ? CFrameReceiver::Mode::Checked : CFrameReceiver::Mode::Exchange;
    const size_t chunk = (data[0] >> 1) + 1u;
    ++data;
    --size;

    auto buffer = std::make_unique<ExchangeBuffer>();
    CFrameReceiver rx(mode, *buffer);
    size_t pos = 0;
    size_t chunkEnd = std::min(size, chunk);
    int reads = 0;
    while (rx.result() == CFrameReceiver::Result::Pending) {
        const size_t want = rx.wanted();
        if (want > 255 || ++reads > 8)
            std::abort();
        const size_t got = std::min(want, chunkEnd - pos);
        rx.onRead(data + pos, got);
        pos += got;
        if (rx.pause().count() > 131)
            std::abort();
        if (got < want) // a time-out: the next chunk arrives
            chunkEnd = std::min(size, chunkEnd + chunk);
    }
    if (rx.result() == CFrameReceiver::Result::Accepted
        && (rx.lengthByte() < 3 || rx.received() != rx.lengthByte()))
        std::abort();
    return 0;
}
