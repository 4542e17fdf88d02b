// SPDX-License-Identifier: GPL-3.0-or-later
// The receive half of one exchange as a function of bytes: it says how many
// bytes the next port read should ask for and takes what that read returned,
// so it can be driven by the port, by tests and by a fuzzer alike.
//
// Steps: a 4-byte header (realigned to the first 0xAA when it does not start
// AA 55, reading the dropped bytes again), the key word, then as many bytes as
// the length byte says, which land in the caller's 410-byte buffer (cleared
// first), are unscrambled and checked. Nothing is ever written outside that
// buffer: a length byte can ask for at most 255 of its 410 bytes.
#pragma once

#include <app/device/framecodec.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

class CFrameReceiver {
public:
    // Exchange: the plain exchange. Checked: the form used for live readings,
    // which fails without the waits and reads the payload only once.
    enum class Mode { Exchange, Checked };
    enum class Stage { Header, Realign, Key, Payload, PayloadAgain, Done };
    enum class Result {
        Pending,  // more reads needed
        Accepted, // a whole answer with a correct checksum
        Refused,  // a link fault
        NoAnswer, // Checked only: no key word, or 2 bytes or fewer after it
    };
    enum class Failure { None, ShortHeader, NoSync, ShortRealign, ShortKey, ShortPayload, TooShort, Checksum };

    CFrameReceiver(Mode mode, ExchangeBuffer& buffer);

    // Bytes the next read asks for (0 once finished; may be 0 in Payload for a
    // length byte of 0, and that read must still be reported).
    std::size_t wanted() const;
    // How long to wait before the next read, or before reporting the result.
    std::chrono::milliseconds pause() const { return m_pause; }
    Stage stage() const { return m_stage; }

    // The bytes one read returned; fewer than wanted() means it timed out.
    // Bytes beyond wanted() are ignored.
    Result onRead(const uint8_t* data, std::size_t count);

    Result result() const { return m_result; }
    Failure failure() const { return m_failure; }
    // Valid once the header is complete.
    uint8_t type() const { return m_header[3]; }
    uint8_t lengthByte() const { return m_header[2]; }
    uint16_t key() const { return static_cast<uint16_t>(m_key[0] << 8 | m_key[1]); }
    // Payload bytes (checksum included) that arrived after the key word.
    std::size_t received() const { return m_received; }

private:
    Result finish(Result result, Failure failure);
    void readHeader(const uint8_t* data, std::size_t count);
    void readRealign(const uint8_t* data, std::size_t count);
    void readKey(const uint8_t* data, std::size_t count);
    void readPayload(const uint8_t* data, std::size_t count);
    void judgePayload();

    Mode m_mode;
    ExchangeBuffer& m_buffer;
    Stage m_stage = Stage::Header;
    Result m_result = Result::Pending;
    Failure m_failure = Failure::None;
    std::chrono::milliseconds m_pause { 0 };
    uint8_t m_header[4] = {};
    uint8_t m_key[2] = {};
    std::size_t m_have = 0;   // bytes of the current header or key step
    std::size_t m_missing = 0; // bytes the realignment still reads
    std::size_t m_received = 0;
};

// The waits the exchange makes (milliseconds).
constexpr std::chrono::milliseconds kNoSyncWait { 131 };
constexpr std::chrono::milliseconds kShortPayloadWait { 50 };
