// SPDX-License-Identifier: GPL-3.0-or-later
// What the frame exchange needs of the line to the controller: open by number,
// configure, read and write with the port's time-outs, purge, ask for line
// errors, close. CSerialPort is the real one; tests put an in-memory pair with
// a fake clock in its place, so the attempt, re-open and polling policies run
// in milliseconds. Failures are thrown as new CRSError objects (code 5 for
// open, 6 for the rest); the catcher owns them.
#pragma once

#include <cstdint>

struct SerialLineSettings;
struct SerialTimeouts;

class ILink {
public:
    virtual ~ILink() = default;

    virtual void open(uint32_t n) = 0;
    virtual void close() = 0;
    virtual void setState(const SerialLineSettings& settings) = 0;
    virtual void setTimeout(const SerialTimeouts& timeouts) = 0;
    // Returns how many bytes came before the time-out; short is not an error.
    virtual uint32_t read(void* buffer, uint32_t count) = 0;
    virtual uint32_t write(const void* buffer, uint32_t count) = 0;
    // Discards what has been received and not read.
    virtual void purgeIn() = 0;
    // Line error flags since the last call (CSerialPort::kFrame …); never throws.
    virtual uint32_t clearCommError() = 0;
    virtual bool isOpen() const = 0;
    virtual uint32_t portNr() const = 0;
    // A wait that belongs to the line's timing (the receiver's resync pauses,
    // the polling period, the wait before a re-open). Real time for a port.
    virtual void wait(unsigned milliseconds);
};
