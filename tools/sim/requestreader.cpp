// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/requestreader.h>

#include <app/device/framecodec.h>

#include <stdexcept>

std::vector<SimFrame> CRequestReader::feed(const uint8_t* data, std::size_t count, double now)
{
    if (!m_buffer.empty() && now - m_lastByte > kStaleSeconds) {
        m_buffer.clear();
        m_arrival.clear();
    }
    if (count > 0)
        m_lastByte = now;
    m_buffer.insert(m_buffer.end(), data, data + count);
    m_arrival.insert(m_arrival.end(), count, now);

    std::vector<SimFrame> frames;
    std::size_t pos = 0;
    while (true) {
        while (pos < m_buffer.size() && m_buffer[pos] != kSync1)
            ++pos;
        if (pos + 2 > m_buffer.size())
            break;
        if (m_buffer[pos + 1] != kSync2) {
            ++pos;
            continue;
        }
        if (pos + 4 > m_buffer.size())
            break;
        const uint8_t lengthByte = m_buffer[pos + 2];
        if (lengthByte < 2) {
            ++m_rejected;
            ++pos;
            continue;
        }
        const std::size_t total = 6 + static_cast<std::size_t>(lengthByte);
        if (pos + total > m_buffer.size())
            break;
        const uint8_t type = m_buffer[pos + 3];
        const auto key = static_cast<uint16_t>(m_buffer[pos + 4] << 8 | m_buffer[pos + 5]);
        const std::size_t n = lengthByte - 2u;
        std::vector<uint8_t> payload(m_buffer.begin() + static_cast<std::ptrdiff_t>(pos + 6),
                                     m_buffer.begin() + static_cast<std::ptrdiff_t>(pos + 6 + n));
        rotateWordsRight(payload.data(), payload.size(), key & 15u);
        const auto sent = static_cast<uint16_t>(m_buffer[pos + 6 + n] << 8 | m_buffer[pos + 7 + n]);
        if (sent != frameChecksum(payload.data(), payload.size(), key, type)) {
            ++m_rejected;
            ++pos;
            continue;
        }
        frames.push_back(SimFrame { { type, std::move(payload) }, m_arrival[pos], total });
        pos += total;
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(pos));
    m_arrival.erase(m_arrival.begin(), m_arrival.begin() + static_cast<std::ptrdiff_t>(pos));
    return frames;
}

void CRequestReader::reset()
{
    m_buffer.clear();
    m_arrival.clear();
}

std::vector<uint8_t> encodeFrame(uint8_t type, const std::vector<uint8_t>& payload, uint16_t key)
{
    if (payload.size() > kMaxPayload)
        throw std::length_error("answer payload longer than a length byte can say");
    const auto header = frameHeader(payload.size(), type, key);
    std::vector<uint8_t> frame(header.begin(), header.end());
    std::vector<uint8_t> scrambled = payload;
    rotateWordsLeft(scrambled.data(), scrambled.size(), key & 15u);
    frame.insert(frame.end(), scrambled.begin(), scrambled.end());
    const uint16_t sum = frameChecksum(payload.data(), payload.size(), key, type);
    frame.push_back(static_cast<uint8_t>(sum >> 8));
    frame.push_back(static_cast<uint8_t>(sum & 0xFF));
    return frame;
}
