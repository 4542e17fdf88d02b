// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/obdanswer.h>

#include <algorithm>

namespace {

constexpr uint8_t kCodesAnswer = 0x43;
constexpr uint8_t kVinAnswer = 0x49;
constexpr uint8_t kPidVin = 0x02;
constexpr unsigned kVinMessages = 5; // K-line: 3 bytes of padding and 17 characters, four a message

uint16_t codeAt(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

// The codes of one whole service-0x03 message on CAN: 0x43, the count, the codes.
void codesOfMessage(const std::vector<uint8_t>& message, unsigned expected, std::vector<uint16_t>& out)
{
    if (message.size() < 2 || message[0] != kCodesAnswer)
        return;
    const unsigned count = message[1];
    for (unsigned i = 0; i < count && out.size() < expected; ++i) {
        const std::size_t at = 2 + 2 * static_cast<std::size_t>(i);
        if (at + 1 >= message.size())
            return;
        const uint16_t code = codeAt(&message[at]);
        if (code == 0)
            return;
        out.push_back(code);
    }
}

} // namespace

CObdAnswer::CObdAnswer(std::span<const uint8_t> payload)
{
    if (payload.size() < kCountSize)
        return;
    const std::size_t announced = static_cast<std::size_t>(payload[0] | payload[1] << 8);
    const std::size_t whole = (payload.size() - kCountSize) / kFrameSize;
    const std::size_t count = std::min(announced, whole);
    m_frames.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* f = payload.data() + kCountSize + i * kFrameSize;
        m_frames[i].from = static_cast<uint32_t>(f[0]) | static_cast<uint32_t>(f[1]) << 8
            | static_cast<uint32_t>(f[2]) << 16 | static_cast<uint32_t>(f[3]) << 24;
        std::copy_n(f + 4, 8, m_frames[i].data.begin());
    }
}

bool CObdAnswer::isPidAnswer(const CObdFrame& frame, uint8_t pid)
{
    return frame.data[1] == 0x41 && frame.data[2] == pid;
}

std::vector<uint16_t> CObdAnswer::troubleCodes(uint8_t protocol, unsigned expected, uint32_t from) const
{
    return protocol == 3 ? canCodes(expected, from) : klineCodes(expected, from);
}

void CObdAnswer::forEachCanMessage(uint32_t from, const std::function<bool(const std::vector<uint8_t>&)>& visit) const
{
    std::vector<uint8_t> message;
    std::size_t total = 0; // length of the segmented message being put together; 0 when none
    uint8_t sequence = 0;
    for (const CObdFrame& f : m_frames) {
        if (from != 0 && f.from != from)
            continue;
        const uint8_t pci = f.data[0] >> 4;
        if (pci == 0) {
            const std::size_t length = f.data[0] & 0x0F;
            if (length >= 1 && length <= 7
                && !visit(std::vector<uint8_t>(
                    f.data.begin() + 1, f.data.begin() + 1 + static_cast<std::ptrdiff_t>(length))))
                return;
        } else if (pci == 1) {
            if (total != 0 && !visit(message))
                return;
            total = static_cast<std::size_t>((f.data[0] & 0x0F) << 8 | f.data[1]);
            message.assign(f.data.begin() + 2, f.data.end());
            sequence = 1;
        } else if (pci == 2 && total != 0) {
            // A lost or repeated segment spoils the rest of the message: what came so far is kept.
            if ((f.data[0] & 0x0F) != sequence) {
                message.resize(std::min(message.size(), total));
                total = 0;
                if (!visit(message))
                    return;
                continue;
            }
            message.insert(message.end(), f.data.begin() + 1, f.data.end());
            sequence = static_cast<uint8_t>((sequence + 1) & 0x0F);
        }
        if (total != 0 && message.size() >= total) {
            message.resize(total);
            total = 0;
            if (!visit(message))
                return;
        }
    }
    if (total != 0)
        visit(message);
}

std::vector<uint16_t> CObdAnswer::canCodes(unsigned expected, uint32_t from) const
{
    std::vector<uint16_t> codes;
    forEachCanMessage(from, [&](const std::vector<uint8_t>& message) {
        if (codes.size() < expected)
            codesOfMessage(message, expected, codes);
        return codes.size() < expected;
    });
    return codes;
}

std::string CObdAnswer::vinCharacters(uint8_t protocol, uint32_t from) const
{
    std::string text;
    if (protocol == 3) {
        forEachCanMessage(from, [&](const std::vector<uint8_t>& message) {
            if (message.size() < 3 || message[0] != kVinAnswer || message[1] != kPidVin)
                return true;
            // 49 02, the count of data items (1), the characters.
            text.assign(message.begin() + 3, message.end());
            return false;
        });
    } else {
        std::array<std::string, kVinMessages> parts;
        for (const CObdFrame& f : m_frames) {
            if ((from != 0 && f.from != from) || f.data[1] != kVinAnswer || f.data[2] != kPidVin)
                continue;
            const unsigned n = f.data[3];
            if (n >= 1 && n <= kVinMessages && parts[n - 1].empty())
                parts[n - 1].assign(f.data.begin() + 4, f.data.end());
        }
        for (const std::string& part : parts)
            text += part;
    }
    const std::size_t first = text.find_first_not_of('\0');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of('\0') + 1 - first);
}

std::vector<uint16_t> CObdAnswer::klineCodes(unsigned expected, uint32_t from) const
{
    std::vector<uint16_t> codes;
    for (const CObdFrame& f : m_frames) {
        if (from != 0 && f.from != from)
            continue;
        if (f.data[1] != kCodesAnswer)
            continue;
        for (std::size_t at = 2; at + 1 < f.data.size() && codes.size() < expected; at += 2) {
            const uint16_t code = codeAt(&f.data[at]);
            if (code == 0)
                break;
            codes.push_back(code);
        }
    }
    return codes;
}
