// SPDX-License-Identifier: GPL-3.0-or-later
// One serial port (POSIX termios, or the Win32 COM port API on Windows),
// opened by its COM number through the port table. Every operating-system failure is thrown as a new CRSError (code 5 for
// open, 6 for the rest; file "serialport"); the catcher owns and deletes it.
// Short reads and writes are not errors: the caller compares the count.
// No lock of its own: CLPGDevice serialises every use under its link lock.
#pragma once

#include <app/device/ilink.h>
#include <app/device/rserror.h>
#include <errkit/ierrorhelper.h>

#include <atomic>
#include <cstdint>
#include <functional>

class IPortTable;

// The line settings applied by setState: the whole classic device control
// block, so a caller states the whole line, not only the speed. Fields termios
// has no counterpart for (XON/XOFF limits, DSR sensitivity, error and event
// characters, null stripping, abort on error) are accepted and ignored.
struct SerialLineSettings {
    enum class LineControl : uint8_t { Disable, Enable, Handshake, Toggle };
    enum class Parity : uint8_t { None, Odd, Even, Mark, Space };
    enum class StopBits : uint8_t { One, OnePointFive, Two };

    uint32_t length = 28;
    uint32_t baudRate = 38400;
    bool binary = true;
    bool parityCheck = false;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    LineControl dtrControl = LineControl::Disable;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = true;
    bool outX = false;
    bool inX = false;
    bool errorCharReplace = false;
    bool nullStrip = false;
    LineControl rtsControl = LineControl::Disable;
    bool abortOnError = false;
    uint16_t xonLimit = 2048;
    uint16_t xoffLimit = 512;
    uint8_t byteSize = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    uint8_t xonChar = 0x11;
    uint8_t xoffChar = 0x13;
    uint8_t errorChar = 0;
    uint8_t eofChar = 0;
    uint8_t eventChar = 0;
};

// Time-outs in milliseconds. A read of n bytes returns when n bytes have
// arrived or after readTotalMultiplier * n + readTotalConstant ms; a non-zero
// readInterval also ends it when that long passes between two bytes.
// All three zero means wait without limit. Writes follow the same rule.
struct SerialTimeouts {
    uint32_t readInterval = 0;
    uint32_t readTotalMultiplier = 0;
    uint32_t readTotalConstant = 0;
    uint32_t writeTotalMultiplier = 0;
    uint32_t writeTotalConstant = 0;
};

class CSerialPort : public ILink, public IErrorHelper<CRSError> {
public:
    // Flags of clearCommError, with the values the classic COM port API gives them.
    static constexpr uint32_t kRxOver = 0x01;
    static constexpr uint32_t kOverrun = 0x02;
    static constexpr uint32_t kRxParity = 0x04;
    static constexpr uint32_t kFrame = 0x08;
    static constexpr uint32_t kBreak = 0x10;

    // ports turns COM numbers into paths; not owned, it outlives the port.
    explicit CSerialPort(IPortTable& ports);
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;
    // Closes the port: an open descriptor would keep the adapter locked.
    ~CSerialPort() override;

    // Opens COM n exclusively (TIOCEXCL and an flock, so no second program
    // shares the adapter), raw. A number with no path fails like a missing
    // device. Any port open before is closed first. Throws code 5.
    void open(uint32_t n) override;
    // Harmless when already closed.
    void close() override;
    // Throw code 6.
    void setState(const SerialLineSettings& settings) override;
    void setTimeout(const SerialTimeouts& timeouts) override;
    uint32_t read(void* buffer, uint32_t count) override;
    uint32_t write(const void* buffer, uint32_t count) override;
    // Discards what has been received and not read; the transmit side is untouched.
    void purgeIn() override;
    // Line errors (frame, overrun, parity, break) counted since the last call,
    // as the flags above; 0 where the device keeps no counts; the errno when the
    // query itself fails (a closed port). Never throws.
    uint32_t clearCommError() override;
    // Tests: flags the next clearCommError reports on top of the driver's
    // (a pseudo-terminal keeps no line counters).
    void injectLineErrors(uint32_t flags) { m_injectedFlags |= flags; }

    // The line's waits in real time, unless waiter is set: then it passes them,
    // so a test can step the polling thread's time. Not while the port is in use.
    void wait(unsigned milliseconds) override;
    void setWaiter(std::function<void(unsigned)> waiter) { m_waiter = std::move(waiter); }

#ifdef _WIN32
    bool isOpen() const override { return m_handle != nullptr; }
#else
    bool isOpen() const override { return m_fd >= 0; }
#endif
    uint32_t portNr() const override { return m_portNr; }
    // The errno of the last open that failed (EBUSY when another program holds
    // the port, ENOTTY for no terminal, ENOENT for no such path); 0 after one
    // that succeeded.
    int openError() const { return m_openError; }

private:
    struct Counts {
        int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
    };
    // Throws code 6 with the text "<what> ⏎ GetLastError() = e ⏎ clearCommError() = c".
    [[noreturn]] void throwWithFlags(const wchar_t* what, int error, int32_t line);
    [[noreturn]] void throwSimple(const wchar_t* what, int error, int32_t line);
    bool readCounts(Counts& counts, int& error) const;

    IPortTable& m_ports;
#ifdef _WIN32
    void* m_handle = nullptr; // the port's HANDLE
#else
    int m_fd = -1;
#endif
    uint32_t m_portNr = 0;
    int m_openError = 0;
    SerialTimeouts m_timeouts;
    Counts m_counts;
    std::atomic<uint32_t> m_injectedFlags { 0 };
    std::function<void(unsigned)> m_waiter;
};
