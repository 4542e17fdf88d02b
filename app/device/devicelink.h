// SPDX-License-Identifier: GPL-3.0-or-later
// The link to the controller: the serial port and its settings, the link lock,
// the frame exchange every command is built on and the attempt policy around
// it. The device object owns one; the command set, the session and the
// polling thread send through it.
//
// Errors: port failures (CRSError) pass through as thrown IError* pointers that
// the catcher deletes; the link lock is released on the way out. Protocol
// failures are results, never exceptions.
#pragma once

#include <app/device/framecodec.h>
#include <app/device/serialport.h>
#include <app/platform/iporttable.h>
#include <syncmsg/msgmutex.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// Why the last exchange failed, for diagnostics (the CLI prints it).
enum class LinkFailure {
    None,
    ShortWrite,   // the port took fewer bytes than the frame has
    LineError,    // the checked form: the port reported a line error
    ShortHeader,  // fewer than 4 header bytes
    NoSync,       // no 0xAA in the header
    ShortRealign, // the bytes dropped by the realignment did not come again
    ShortKey,
    ShortPayload, // fewer bytes than the length byte announced
    TooShort,     // 2 bytes or fewer after the key word
    Checksum,
};

// A short English name of the failure for the log ("ShortHeader" …).
const char* linkFailureName(LinkFailure failure);

class CDeviceLink {
public:
    // What configurePort applies: 38400 8N1, no flow control, DTR and RTS inactive;
    // a read of n bytes returns after at most 1000 + n ms.
    static const SerialLineSettings kLineSettings;
    static const SerialTimeouts kLinkTimeouts;

    // Draws a key word; only 0…32767 is used (bit 15 is masked off).
    // Called outside the link lock, so from several threads at once.
    using KeyGenerator = std::function<uint16_t()>;
    // Judges an answer of the attempt loop: buffer, payload length, answer type.
    using AnswerTest = std::function<bool(const ExchangeBuffer&, uint8_t, uint8_t)>;

    // With a port table of its own, of this system's present ports.
    CDeviceLink();
    // With a table that outlives the link (not owned).
    explicit CDeviceLink(IPortTable& ports);
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;
    ~CDeviceLink();

    // The configuring sequence under the link lock: close, open(n), setState,
    // setTimeout with the settings above. Throws CRSError.
    void configurePort(uint32_t n);
    // After a port error: the last opened port closed, opened and configured
    // again under the link lock. Error objects are logged and give false.
    bool reopen();
    CSerialPort& port() { return m_port; }
    // The COM numbers of configurePort and of connecting.
    IPortTable& ports() { return m_ports; }
    // The line every exchange, purge and re-open goes through: the port unless
    // a test set another (not owned; nullptr gives the port back). Not while exchanges run.
    ILink& line() { return *m_line; }
    void setLine(ILink* line) { m_line = line ? line : &m_port; }
    // Held by every exchange; a purge outside one takes it too.
    CMSGMutex& lock() { return m_lock; }

    // Replaces the key generator (tests fix the key); an empty function
    // restores the default. Not while exchanges run.
    void setKeyGenerator(KeyGenerator generator);

    // One request and one answer. In: buffer holds the request payload, length
    // its size (at most 253, else CRunTime code 0 and nothing is sent), type the
    // command code. True when a whole answer with a correct checksum came back:
    // then buffer holds its payload, length its size and type its type.
    // On false the buffer's contents are undefined; why (if given) says what went wrong.
    bool exchange(ExchangeBuffer& buffer, uint8_t& length, uint8_t& type, LinkFailure* why = nullptr);
    // The form of the live readings: 0 = no link fault, 2 = link fault. On a
    // full success type is the answer's type and length its length byte
    // (payload + 2; the checksum bytes follow the payload in the buffer). When
    // the key word or more than 2 bytes after it never came the result is 0
    // with type and length left as they were.
    uint8_t exchangeChecked(ExchangeBuffer& buffer, uint8_t& length, uint8_t& type, LinkFailure* why = nullptr);

    // The attempt policy of the commands: up to attempts exchanges, each on a
    // cleared buffer with the request written afresh (the answer overwrites it).
    // True at the first answer that accept approves; buffer, length and type then
    // hold it. False after the last attempt.
    bool exchangeWithAttempts(uint8_t requestType, const uint8_t* payload, std::size_t size, ExchangeBuffer& buffer,
                              uint8_t& length, uint8_t& type, const AnswerTest& accept, int attempts = kLinkAttempts);
    // The usual test: the answer has the expected type.
    bool exchangeWithAttempts(uint8_t requestType, const uint8_t* payload, std::size_t size, ExchangeBuffer& buffer,
                              uint8_t& length, uint8_t expectedType, int attempts = kLinkAttempts);

    // Per thread: whether every attempt of this thread's last attempt loop
    // (exchangeWithAttempts) went without a single byte received. Silence,
    // unlike a disturbed answer, means the controller is gone.
    static bool lastAttemptsSilent();

private:
    uint16_t drawKey();
    bool writeWhole(const uint8_t* bytes, std::size_t size);

    std::unique_ptr<IPortTable> m_ownPorts; // when no table was given
    IPortTable& m_ports;
    CSerialPort m_port;
    ILink* m_line = &m_port;
    CMSGMutex m_lock;
    KeyGenerator m_keyGenerator;
};
