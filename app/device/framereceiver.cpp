// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/framereceiver.h>

#include <algorithm>
#include <cstring>

namespace {

// A read of nothing may come with no buffer at all.
void take(uint8_t* to, const uint8_t* from, std::size_t count)
{
    if (count)
        std::memcpy(to, from, count);
}

} // namespace

CFrameReceiver::CFrameReceiver(Mode mode, ExchangeBuffer& buffer)
    : m_mode(mode)
    , m_buffer(buffer)
{
}

std::size_t CFrameReceiver::wanted() const
{
    switch (m_stage) {
    case Stage::Header:
        return 4 - m_have;
    case Stage::Realign:
        return m_missing;
    case Stage::Key:
        return 2 - m_have;
    case Stage::Payload:
    case Stage::PayloadAgain:
        return lengthByte() - m_received;
    case Stage::Done:
        break;
    }
    return 0;
}

CFrameReceiver::Result CFrameReceiver::finish(Result result, Failure failure)
{
    m_stage = Stage::Done;
    m_result = result;
    m_failure = failure;
    return result;
}

CFrameReceiver::Result CFrameReceiver::onRead(const uint8_t* data, std::size_t count)
{
    m_pause = std::chrono::milliseconds { 0 };
    count = std::min(count, wanted());
    switch (m_stage) {
    case Stage::Header:
        readHeader(data, count);
        break;
    case Stage::Realign:
        readRealign(data, count);
        break;
    case Stage::Key:
        readKey(data, count);
        break;
    case Stage::Payload:
    case Stage::PayloadAgain:
        readPayload(data, count);
        break;
    case Stage::Done:
        break;
    }
    return m_result;
}

void CFrameReceiver::readHeader(const uint8_t* data, std::size_t count)
{
    take(m_header + m_have, data, count);
    m_have += count;
    if (m_have < 4) {
        finish(Result::Refused, Failure::ShortHeader);
        return;
    }
    m_have = 0;
    if (m_header[0] == kSync1 && m_header[1] == kSync2) {
        m_stage = Stage::Key;
        return;
    }
    const auto* sync = std::find(m_header, m_header + 4, kSync1);
    if (sync == m_header + 4) {
        if (m_mode == Mode::Exchange)
            m_pause = kNoSyncWait;
        finish(Result::Refused, Failure::NoSync);
        return;
    }
    // Keep the bytes from the 0xAA on and read as many as were dropped; the
    // second sync byte is not tested again.
    const auto dropped = static_cast<std::size_t>(sync - m_header);
    if (dropped == 0) {
        m_stage = Stage::Key;
        return;
    }
    std::memmove(m_header, sync, 4 - dropped);
    m_have = 4 - dropped;
    m_missing = dropped;
    m_stage = Stage::Realign;
}

void CFrameReceiver::readRealign(const uint8_t* data, std::size_t count)
{
    take(m_header + m_have, data, count);
    m_have += count;
    m_missing -= count;
    if (m_missing > 0) {
        finish(Result::Refused, Failure::ShortRealign);
        return;
    }
    m_have = 0;
    m_stage = Stage::Key;
}

void CFrameReceiver::readKey(const uint8_t* data, std::size_t count)
{
    take(m_key + m_have, data, count);
    m_have += count;
    if (m_have < 2) {
        finish(m_mode == Mode::Checked ? Result::NoAnswer : Result::Refused, Failure::ShortKey);
        return;
    }
    m_buffer.fill(0);
    m_received = 0;
    m_stage = Stage::Payload;
}

void CFrameReceiver::readPayload(const uint8_t* data, std::size_t count)
{
    take(m_buffer.data() + m_received, data, count);
    m_received += count;
    if (m_received < lengthByte() && m_stage == Stage::Payload && m_mode == Mode::Exchange) {
        // A slow controller gets one more chance for the rest.
        m_stage = Stage::PayloadAgain;
        m_pause = kShortPayloadWait;
        return;
    }
    judgePayload();
}

void CFrameReceiver::judgePayload()
{
    const std::size_t length = lengthByte();
    if (m_received <= 2) {
        finish(m_mode == Mode::Checked ? Result::NoAnswer : Result::Refused, Failure::TooShort);
        return;
    }
    // A truncated answer is refused: its missing bytes would reach the caller as zeros.
    if (m_received < length) {
        finish(Result::Refused, Failure::ShortPayload);
        return;
    }
    rotateWordsRight(m_buffer.data(), length - 2, key() & 15u);
    const auto sent = static_cast<uint16_t>(m_buffer[length - 2] << 8 | m_buffer[length - 1]);
    if (sent != frameChecksum(m_buffer.data(), length - 2, key(), type())) {
        finish(Result::Refused, Failure::Checksum);
        return;
    }
    finish(Result::Accepted, Failure::None);
}
