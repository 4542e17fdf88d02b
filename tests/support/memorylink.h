// SPDX-License-Identifier: GPL-3.0-or-later
// An in-memory line to a scripted controller, in place of the serial port of a
// CLPGDevice (link().setLine). Time is a fake clock: a read that cannot be filled
// costs the port's whole time-out (1000 + n ms for the device's settings) and
// returns at once, and the line's waits only move the clock, so the attempt,
// re-open and polling policies run in milliseconds.
//
// The peer gets each whole request frame (from AA 55 to its checksum) and
// returns the bytes to send back; nothing means silence. Tests can make the
// port vanish (reads and re-opens fail) and count what went over the line.
// Safe to use from the polling thread and the test thread at once.
#pragma once

#include <app/device/ilink.h>
#include <app/device/serialport.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

class CMemoryLink : public ILink {
public:
    using Bytes = std::vector<uint8_t>;
    using Peer = std::function<Bytes(const Bytes& request)>;

    explicit CMemoryLink(Peer peer = {});

    void setPeer(Peer peer);
    // While set, open and every read or write on an open link throw CRSError (the adapter is gone).
    void setVanished(bool vanished);
    // Line error flags the next clearCommError reports.
    void raiseLineError(uint32_t flags);

    // The fake clock, in milliseconds since the link was made.
    uint64_t now() const;
    // Request frames in the order they came.
    std::vector<Bytes> requests() const;
    std::size_t requestCount() const;
    int opens() const;

    void open(uint32_t n) override;
    void close() override;
    void setState(const SerialLineSettings& settings) override;
    void setTimeout(const SerialTimeouts& timeouts) override;
    uint32_t read(void* buffer, uint32_t count) override;
    uint32_t write(const void* buffer, uint32_t count) override;
    void purgeIn() override;
    uint32_t clearCommError() override;
    bool isOpen() const override;
    uint32_t portNr() const override;
    void wait(unsigned milliseconds) override;

private:
    [[noreturn]] void fail(uint32_t code, const wchar_t* what) const;
    void checkUsable(const wchar_t* what) const;

    mutable std::mutex m_mutex;
    Peer m_peer;
    bool m_open = false;
    bool m_vanished = false;
    uint32_t m_portNr = 0;
    uint32_t m_lineErrors = 0;
    int m_opens = 0;
    SerialTimeouts m_timeouts;
    uint64_t m_now = 0;
    Bytes m_outgoing; // written, not yet a whole frame
    std::deque<uint8_t> m_incoming;
    std::vector<Bytes> m_requests;
};
