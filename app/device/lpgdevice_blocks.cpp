// SPDX-License-Identifier: GPL-3.0-or-later
// The block reads and writes of the settings image, driven by the record
// table of the block codec; the identity, the statistics and the error bits;
// the request helpers shared by the command set.
#include <app/device/lpgdevice.h>

#include <app/data/identity.h>
#include <app/data/languages.h>
#include <app/data/blockcodec.h>
#include <app/device/settingblocks.h>
#include <app/platform/log.h>
#include <app/platform/pcid.h>

#include <algorithm>

namespace {

constexpr uint8_t kCommandType = 2;
constexpr uint8_t kAcknowledge = 4;

template <std::size_t N> RecordView<N> view(const ExchangeBuffer& buffer)
{
    return RecordView<N>(buffer.data(), N);
}

} // namespace

bool CLPGDevice::imageChanged(ImageBlock block, bool ok)
{
    if (ok)
        m_events.imageChanged(block);
    return ok;
}

bool CLPGDevice::held(CReadBlocks::Block block, bool ok)
{
    if (ok)
        copyBlock(block, m_image, m_heldImage);
    return m_readBlocks.mark(block, ok);
}

bool CLPGDevice::noteWritten(uint8_t recordType, std::size_t size, bool ok)
{
    const std::string what = "record type " + std::to_string(recordType) + ", " + std::to_string(size) + " bytes";
    if (ok)
        logInfo("link", what + " written");
    else
        logWarning("link", what + " not acknowledged");
    return ok;
}

std::array<uint8_t, 6> CLPGDevice::commandMessage(uint8_t code, uint8_t byte2, uint8_t byte3)
{
    return { code, 0, byte2, byte3, 0, 0 };
}

bool CLPGDevice::readRecord(
    uint8_t code, uint8_t recordType, std::size_t minLength, ExchangeBuffer& buffer, int attempts)
{
    const auto message = commandMessage(code);
    uint8_t length = 0;
    uint8_t type = 0;
    // A short answer would leave the block's tail to whatever the buffer held: another attempt.
    return m_link.exchangeWithAttempts(
        kCommandType, message.data(), message.size(), buffer, length, type,
        [recordType, minLength](
            const ExchangeBuffer&, uint8_t len, uint8_t t) { return t == recordType && len >= minLength; },
        attempts);
}

bool CLPGDevice::sendAcknowledged(uint8_t requestType, const uint8_t* payload, std::size_t size, int attempts)
{
    ExchangeBuffer buffer {};
    uint8_t length = 0;
    uint8_t type = 0;
    return m_link.exchangeWithAttempts(
        requestType, payload, size, buffer, length, type,
        [](const ExchangeBuffer& b, uint8_t len, uint8_t t) {
            return t == kCommandType && len >= 1 && b[0] == kAcknowledge;
        },
        attempts);
}

bool CLPGDevice::sendCommand(uint8_t code, int attempts, uint8_t byte2)
{
    const auto message = commandMessage(code, byte2);
    return sendAcknowledged(kCommandType, message.data(), message.size(), attempts);
}

bool CLPGDevice::readDevInfo()
{
    if (m_demo) {
        setDemoIdentity(m_image.m_devInfo);
        return imageChanged(ImageBlock::DevInfo);
    }
    ExchangeBuffer buffer {};
    if (!readRecord(0x0D, kRecDevInfo, kDevInfoLength, buffer))
        return false;
    CDevInfo info = m_image.m_devInfo;
    decodeDevInfo(view<kDevInfoLength>(buffer), info);
    m_image.m_devInfo = info;
    held(CReadBlocks::DevInfo, true);
    return imageChanged(ImageBlock::DevInfo);
}

bool CLPGDevice::readStatistics()
{
    if (m_demo) {
        setDemoStatistics(m_image.m_devInfo);
        return imageChanged(ImageBlock::Statistics);
    }
    ExchangeBuffer buffer {};
    if (!readRecord(0x11, kRecStatistics, kStatisticsLength, buffer))
        return false;
    decodeStatistics(view<kStatisticsLength>(buffer), m_image.m_devInfo.m_statistic);
    return imageChanged(ImageBlock::Statistics);
}

bool CLPGDevice::readErrors(std::array<uint8_t, 4>& errors)
{
    if (m_demo) {
        errors = { 0x00, 0x00, 0x03, 0x00 };
        return true;
    }
    ExchangeBuffer buffer {};
    if (!readRecord(0x05, kRecErrors, kErrorsLength, buffer))
        return false;
    std::copy_n(buffer.begin(), errors.size(), errors.begin());
    return true;
}

bool CLPGDevice::readBlock(CReadBlocks::Block block)
{
    if (block == CReadBlocks::DevInfo)
        return readDevInfo();
    if (block == CReadBlocks::InjMap)
        return readInjMap();
    const CBlockRecord* record = blockRecord(block);
    const ImageBlock event = settingBlock(block).imageBlock;
    if (!record)
        return false;
    if (m_demo) {
        if (block == CReadBlocks::Base)
            m_image.m_base.m_pcId = { 0x90, 0x3C, 0x1D, 0x60 };
        if (block != CReadBlocks::AdvancedSetup)
            return imageChanged(event);
    } else {
        ExchangeBuffer buffer {};
        if (!readRecord(record->readCommand, record->recordType, record->length, buffer))
            return false;
        // Decoded into a copy: the block's members are replaced together, the
        // rest of the image stays as it is.
        CSettingsImage scratch = m_image;
        record->decode(std::span<const uint8_t>(buffer.data(), record->length), scratch);
        copyBlock(block, scratch, m_image);
    }
    if (block == CReadBlocks::AdvancedSetup)
        mirrorFuelWordFlag(m_image.m_advancedSetup.m_advancedFlags);
    held(block, true);
    return imageChanged(event);
}

bool CLPGDevice::writeBlock(CReadBlocks::Block block)
{
    if (block == CReadBlocks::InjMap)
        return writeInjMap();
    const CBlockRecord* record = blockRecord(block);
    if (!record)
        return false;
    const ImageBlock event = settingBlock(block).imageBlock;
    if (block == CReadBlocks::Base)
        return writeBase(*record);
    // The texts follow the fuel the fitter chose, whether or not the write gets through.
    if (block == CReadBlocks::AdvancedSetup)
        mirrorFuelWordFlag(m_image.m_advancedSetup.m_advancedFlags);
    if (m_demo)
        return imageChanged(event, held(block, true));
    const std::vector<uint8_t> bytes = record->encode(m_image);
    const bool ok = noteWritten(record->recordType, bytes.size(),
        sendAcknowledged(record->recordType, bytes.data(), bytes.size()));
    return imageChanged(event, held(block, ok));
}

bool CLPGDevice::writeBase(const CBlockRecord& record)
{
    if (m_demo)
        return imageChanged(ImageBlock::Base);
    std::vector<uint8_t> bytes = record.encode(m_image);
    const auto id = pcIdentifier();
    if (id)
        std::copy(id->begin(), id->end(), bytes.begin() + 24);
    if (!noteWritten(record.recordType, bytes.size(), sendAcknowledged(record.recordType, bytes.data(), bytes.size())))
        return false;
    // The controller now holds this PC's identifier; so does the image.
    if (id)
        m_image.m_base.m_pcId = *id;
    held(CReadBlocks::Base, true);
    return imageChanged(ImageBlock::Base);
}
