// SPDX-License-Identifier: GPL-3.0-or-later
// Parsing of relayed OBD answers: the frame count never trusted beyond the
// bytes, and the stored trouble codes of service 0x03 on CAN (single frames,
// ISO 15765-2 first and consecutive frames, lost segments, several senders)
// and on the K-line (three codes a frame); the VIN of service 0x09 on both.
#include <app/tuning/obdanswer.h>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;
using Codes = std::vector<uint16_t>;

struct Frame {
    uint32_t from;
    Bytes data; // up to 8 bytes, padded with 0
};

Bytes payload(const std::vector<Frame>& frames, int count = -1)
{
    const auto n = static_cast<uint16_t>(count < 0 ? frames.size() : static_cast<std::size_t>(count));
    Bytes out = { static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8) };
    for (const Frame& f : frames) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(f.from >> (8 * i)));
        Bytes data = f.data;
        data.resize(8, 0);
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

Codes numbered(std::size_t n)
{
    Codes codes;
    for (std::size_t i = 0; i < n; ++i)
        codes.push_back(static_cast<uint16_t>(0x0100 + i));
    return codes;
}

// Service 0x03's message on CAN cut into ISO 15765-2 frames.
std::vector<Frame> canFrames(uint32_t from, const Codes& codes)
{
    Bytes m = { 0x43, static_cast<uint8_t>(codes.size()) };
    for (uint16_t c : codes) {
        m.push_back(static_cast<uint8_t>(c >> 8));
        m.push_back(static_cast<uint8_t>(c));
    }
    std::vector<Frame> out;
    if (m.size() <= 7) {
        Bytes d = { static_cast<uint8_t>(m.size()) };
        d.insert(d.end(), m.begin(), m.end());
        out.push_back({ from, d });
        return out;
    }
    Bytes first = { static_cast<uint8_t>(0x10 | m.size() >> 8), static_cast<uint8_t>(m.size()) };
    first.insert(first.end(), m.begin(), m.begin() + 6);
    out.push_back({ from, first });
    uint8_t sequence = 1;
    for (std::size_t at = 6; at < m.size(); at += 7, ++sequence) {
        Bytes next = { static_cast<uint8_t>(0x20 | (sequence & 0x0F)) };
        next.insert(next.end(), m.begin() + static_cast<std::ptrdiff_t>(at),
            m.begin() + static_cast<std::ptrdiff_t>(std::min(at + 7, m.size())));
        out.push_back({ from, next });
    }
    return out;
}

// The K-line form: three codes a message, padded with zero codes.
std::vector<Frame> klineFrames(uint32_t from, const Codes& codes)
{
    std::vector<Frame> out;
    for (std::size_t i = 0; i == 0 || i < codes.size(); i += 3) {
        Bytes d = { 7, 0x43 };
        for (std::size_t j = i; j < i + 3; ++j) {
            const uint16_t c = j < codes.size() ? codes[j] : 0;
            d.push_back(static_cast<uint8_t>(c >> 8));
            d.push_back(static_cast<uint8_t>(c));
        }
        out.push_back({ from, d });
    }
    return out;
}

} // namespace

TEST(ObdAnswer, FrameCountIsBoundedByTheBytes)
{
    EXPECT_TRUE(CObdAnswer(Bytes {}).empty());
    EXPECT_TRUE(CObdAnswer(Bytes { 0x05 }).empty());
    EXPECT_TRUE(CObdAnswer(Bytes { 0, 0 }).empty()) << "zero frames";
    EXPECT_TRUE(CObdAnswer(Bytes { 0, 0, 0xE8, 7, 0, 0, 2, 0x41 }).empty()) << "no frame announced, half a frame sent";

    const Frame f { 0x7E8, { 3, 0x41, 0x06, 0x80 } };
    // Announced 20 (or 65535), one whole frame and a half present: one frame read.
    Bytes bytes = payload({ f }, 20);
    bytes.insert(bytes.end(), { 1, 2, 3, 4, 5, 6 });
    const CObdAnswer answer(bytes);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer.frames()[0].from, 0x7E8u);
    EXPECT_EQ(answer.frames()[0].data[3], 0x80);
    EXPECT_EQ(CObdAnswer(payload({ f, f }, 0xFFFF)).size(), 2u);
    // Fewer announced than sent: only those.
    EXPECT_EQ(CObdAnswer(payload({ f, f, f }, 1)).size(), 1u);

    EXPECT_TRUE(CObdAnswer::isPidAnswer(answer.frames()[0], 0x06));
    EXPECT_FALSE(CObdAnswer::isPidAnswer(answer.frames()[0], 0x07));
}

TEST(ObdAnswer, CodesOnCanInSingleAndSegmentedMessages)
{
    // The worked form of three codes: a first frame and one consecutive frame.
    const CObdAnswer three(payload({ { 0x7E8, { 0x10, 0x08, 0x43, 0x03, 0x01, 0x71, 0x03, 0x00 } },
        { 0x7E8, { 0x21, 0x04, 0x20, 0, 0, 0, 0, 0 } } }));
    EXPECT_EQ(three.troubleCodes(3, 3), (Codes { 0x0171, 0x0300, 0x0420 }));
    EXPECT_EQ(three.troubleCodes(3, 2), (Codes { 0x0171, 0x0300 })) << "no more than expected";

    const CObdAnswer one(payload({ { 0x7E8, { 0x04, 0x43, 0x01, 0x01, 0x71 } } }));
    EXPECT_EQ(one.troubleCodes(3, 1), (Codes { 0x0171 }));
    EXPECT_EQ(one.troubleCodes(3, 5), (Codes { 0x0171 }));

    // Beyond five codes a code straddles two consecutive frames.
    for (std::size_t n : { 1u, 2u, 3u, 5u, 6u, 8u, 20u }) {
        const Codes codes = numbered(n);
        const CObdAnswer answer(payload(canFrames(0x7E8, codes)));
        EXPECT_EQ(answer.troubleCodes(3, static_cast<unsigned>(n)), codes) << n << " codes";
    }
    EXPECT_EQ(CObdAnswer(payload(canFrames(0x7E8, numbered(20)))).size(), 7u);
}

TEST(ObdAnswer, CanCodesSurviveBadSegmentsAndKeepSendersApart)
{
    // A count larger than the codes sent, and a single frame claiming more than it holds.
    EXPECT_EQ(CObdAnswer(payload({ { 0x7E8, { 0x06, 0x43, 0x09, 0x01, 0x71, 0x01, 0x72 } } })).troubleCodes(3, 9),
        (Codes { 0x0171, 0x0172 }));
    EXPECT_EQ(CObdAnswer(payload({ { 0x7E8, { 0x07, 0x43, 0x03, 0x01, 0x71, 0x01, 0x72, 0x01 } } })).troubleCodes(3, 3),
        (Codes { 0x0171, 0x0172 }));
    // A zero code ends the list; a negative answer gives nothing.
    EXPECT_EQ(
        CObdAnswer(payload({ { 0x7E8, { 0x06, 0x43, 0x02, 0x00, 0x00, 0x01, 0x72 } } })).troubleCodes(3, 2), Codes {});
    EXPECT_EQ(CObdAnswer(payload({ { 0x7E8, { 0x03, 0x7F, 0x03, 0x11 } } })).troubleCodes(3, 2), Codes {});

    // A lost consecutive frame: what came before it is kept, nothing is made up.
    auto frames = canFrames(0x7E8, numbered(8));
    ASSERT_EQ(frames.size(), 3u);
    frames.erase(frames.begin() + 1);
    EXPECT_EQ(CObdAnswer(payload(frames)).troubleCodes(3, 8), (Codes { 0x0100, 0x0101 }));
    // A consecutive frame without its first frame is ignored.
    EXPECT_EQ(CObdAnswer(payload({ canFrames(0x7E8, numbered(8))[1] })).troubleCodes(3, 8), Codes {});

    // Two units answering at once, their segments interleaved.
    const auto engine = canFrames(0x7E8, numbered(8));
    const auto gearbox = canFrames(0x7E9, { 0x0700, 0x0701, 0x0702, 0x0703, 0x0704, 0x0705, 0x0706 });
    std::vector<Frame> mixed;
    for (std::size_t i = 0; i < 3; ++i) {
        mixed.push_back(engine[i]);
        mixed.push_back(gearbox[i]);
    }
    const CObdAnswer both(payload(mixed));
    EXPECT_EQ(both.troubleCodes(3, 8, 0x7E8), numbered(8));
    EXPECT_EQ(both.troubleCodes(3, 7, 0x7E9), (Codes { 0x0700, 0x0701, 0x0702, 0x0703, 0x0704, 0x0705, 0x0706 }));
    EXPECT_TRUE(both.troubleCodes(3, 8, 0x7EA).empty()) << "an address that did not answer";
}

TEST(ObdAnswer, CodesOnTheKLineThreeAFrame)
{
    // The worked form: four codes in two frames.
    const CObdAnswer four(payload({ { 0x486B10, { 7, 0x43, 0x01, 0x71, 0x03, 0x00, 0x04, 0x20 } },
        { 0x486B10, { 7, 0x43, 0x01, 0x72, 0, 0, 0, 0 } } }));
    EXPECT_EQ(four.troubleCodes(1, 4), (Codes { 0x0171, 0x0300, 0x0420, 0x0172 }));
    EXPECT_EQ(four.troubleCodes(2, 4), (Codes { 0x0171, 0x0300, 0x0420, 0x0172 }));
    for (std::size_t n : { 1u, 3u, 20u }) {
        const Codes codes = numbered(n);
        const CObdAnswer answer(payload(klineFrames(0x80F110, codes)));
        EXPECT_EQ(answer.size(), (n + 2) / 3);
        EXPECT_EQ(answer.troubleCodes(2, static_cast<unsigned>(n)), codes) << n << " codes";
        EXPECT_EQ(answer.troubleCodes(2, static_cast<unsigned>(n), 0x80F110), codes);
        EXPECT_TRUE(answer.troubleCodes(2, static_cast<unsigned>(n), 0x486B10).empty());
    }
    EXPECT_EQ(CObdAnswer(payload(klineFrames(0x80F110, numbered(20)))).troubleCodes(1, 4), numbered(4));
}

// The VIN's characters: on CAN 49 02 01 and 17 characters over a first and two
// consecutive frames; on the K-line five messages put in order by their number
// behind three bytes of padding. Another sender's frames and a message lost on
// the way leave fewer characters, never others.
TEST(ObdAnswerVin, CanAndKLine)
{
    const std::vector<Frame> can = {
        { 0x7E8, { 0x10, 0x14, 0x49, 0x02, 0x01, 'K', 'R', 'V' } },
        { 0x7E9, { 0x03, 0x41, 0x06, 0x80 } },
        { 0x7E8, { 0x21, 'Z', 'Z', 'Z', '1', 'Z', 'Z', 'A' } },
        { 0x7E8, { 0x22, 'K', '0', '1', '2', '3', '4', '5' } },
    };
    EXPECT_EQ(CObdAnswer(payload(can)).vinCharacters(3, 0x7E8), "KRVZZZ1ZZAK012345");
    EXPECT_EQ(CObdAnswer(payload(can)).vinCharacters(3, 0x7E9), "");
    std::vector<Frame> lost = can;
    lost.erase(lost.begin() + 2);
    EXPECT_EQ(CObdAnswer(payload(lost)).vinCharacters(3, 0x7E8), "KRV");

    const std::vector<Frame> kline = {
        { 0x486B10, { 0x07, 0x49, 0x02, 0x03, 'Z', '1', 'Z', 'Z' } },
        { 0x486B10, { 0x07, 0x49, 0x02, 0x01, 0x00, 0x00, 0x00, 'K' } },
        { 0x486B10, { 0x07, 0x49, 0x02, 0x02, 'R', 'V', 'Z', 'Z' } },
        { 0x486B10, { 0x07, 0x49, 0x02, 0x05, '2', '3', '4', '5' } },
        { 0x486B10, { 0x07, 0x49, 0x02, 0x04, 'A', 'K', '0', '1' } },
    };
    EXPECT_EQ(CObdAnswer(payload(kline)).vinCharacters(1), "KRVZZZ1ZZAK012345");
    std::vector<Frame> short4 = kline;
    short4.erase(short4.begin() + 3);
    EXPECT_EQ(CObdAnswer(payload(short4)).vinCharacters(2), "KRVZZZ1ZZAK01");
    EXPECT_EQ(CObdAnswer(payload({ { 0x486B10, { 0x03, 0x7F, 0x09, 0x12 } } })).vinCharacters(1), "");
}
