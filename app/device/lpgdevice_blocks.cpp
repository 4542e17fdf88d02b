// SPDX-License-Identifier: GPL-3.0-or-later
// The block reads and writes of the settings image, the identity, the
// statistics and the error bits; the request helpers shared by the command set.
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
    return exchangeWithAttempts(
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
    return exchangeWithAttempts(
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

bool CLPGDevice::readBase()
{
    if (m_demo) {
        m_image.m_base.m_pcId = { 0x90, 0x3C, 0x1D, 0x60 };
        return imageChanged(ImageBlock::Base);
    }
    ExchangeBuffer buffer {};
    if (!readRecord(0x07, kRecBase, kBaseLength, buffer))
        return false;
    CSettingsImage scratch = m_image;
    decodeBase(view<kBaseLength>(buffer), scratch);
    m_image.m_base = scratch.m_base;
    held(CReadBlocks::Base, true);
    return imageChanged(ImageBlock::Base);
}

bool CLPGDevice::writeBase()
{
    if (m_demo)
        return imageChanged(ImageBlock::Base);
    auto record = encodeBase(m_image);
    const auto id = pcIdentifier();
    if (id)
        std::copy(id->begin(), id->end(), record.begin() + 24);
    if (!writeRecord(kRecBase, record))
        return false;
    // The controller now holds this PC's identifier; so does the image.
    if (id)
        m_image.m_base.m_pcId = *id;
    held(CReadBlocks::Base, true);
    return imageChanged(ImageBlock::Base);
}

bool CLPGDevice::readAdv()
{
    if (m_demo)
        return imageChanged(ImageBlock::Adv);
    ExchangeBuffer buffer {};
    if (!readRecord(0x08, kRecAdv, kAdvLength, buffer))
        return false;
    CSettingsImage scratch = m_image;
    decodeAdv(view<kAdvLength>(buffer), scratch);
    m_image.m_adv = scratch.m_adv;
    held(CReadBlocks::Adv, true);
    return imageChanged(ImageBlock::Adv);
}

bool CLPGDevice::writeAdv()
{
    return imageChanged(
        ImageBlock::Adv, held(CReadBlocks::Adv, m_demo || writeRecord(kRecAdv, encodeAdv(m_image))));
}

bool CLPGDevice::readAdvancedSetup()
{
    if (!m_demo) {
        ExchangeBuffer buffer {};
        if (!readRecord(0x22, kRecAdvancedSetup, kAdvancedSetupLength, buffer))
            return false;
        CSettingsImage scratch = m_image;
        decodeAdvancedSetup(view<kAdvancedSetupLength>(buffer), scratch);
        m_image.m_advancedSetup = scratch.m_advancedSetup;
    }
    mirrorFuelWordFlag(m_image.m_advancedSetup.m_advancedFlags);
    held(CReadBlocks::AdvancedSetup, true);
    return imageChanged(ImageBlock::AdvancedSetup);
}

bool CLPGDevice::writeAdvancedSetup()
{
    // The texts follow the fuel the fitter chose, whether or not the write gets through.
    mirrorFuelWordFlag(m_image.m_advancedSetup.m_advancedFlags);
    return imageChanged(ImageBlock::AdvancedSetup,
        held(
            CReadBlocks::AdvancedSetup, m_demo || writeRecord(kRecAdvancedSetup, encodeAdvancedSetup(m_image))));
}

bool CLPGDevice::readSensorsSetup()
{
    if (m_demo)
        return imageChanged(ImageBlock::SensorsSetup);
    ExchangeBuffer buffer {};
    if (!readRecord(0x2A, kRecSensorsSetup, kSensorsSetupLength, buffer))
        return false;
    CSettingsImage scratch = m_image;
    decodeSensorsSetup(view<kSensorsSetupLength>(buffer), scratch);
    m_image.m_sensorsSetup = scratch.m_sensorsSetup;
    held(CReadBlocks::SensorsSetup, true);
    return imageChanged(ImageBlock::SensorsSetup);
}

bool CLPGDevice::writeSensorsSetup()
{
    return imageChanged(ImageBlock::SensorsSetup,
        held(
            CReadBlocks::SensorsSetup, m_demo || writeRecord(kRecSensorsSetup, encodeSensorsSetup(m_image))));
}

bool CLPGDevice::readMainCorr()
{
    if (m_demo)
        return imageChanged(ImageBlock::MainCorr);
    ExchangeBuffer buffer {};
    if (!readRecord(0x16, kRecMainCorr, kMainCorrLength, buffer))
        return false;
    CSettingsImage scratch = m_image;
    decodeMainCorr(view<kMainCorrLength>(buffer), scratch);
    m_image.m_mainCorr = scratch.m_mainCorr;
    held(CReadBlocks::MainCorr, true);
    return imageChanged(ImageBlock::MainCorr);
}

bool CLPGDevice::writeMainCorr()
{
    return imageChanged(ImageBlock::MainCorr,
        held(CReadBlocks::MainCorr, m_demo || writeRecord(kRecMainCorr, encodeMainCorr(m_image))));
}

bool CLPGDevice::readSetupTimes1()
{
    if (m_demo)
        return imageChanged(ImageBlock::SetupTimes1);
    ExchangeBuffer buffer {};
    if (!readRecord(0x0C, kRecSetupTimes1, kSetupTimesLength, buffer))
        return false;
    CSettingsImage scratch = m_image;
    decodeSetupTimes1(view<kSetupTimesLength>(buffer), scratch);
    m_image.m_setupTimes1 = scratch.m_setupTimes1;
    held(CReadBlocks::SetupTimes1, true);
    return imageChanged(ImageBlock::SetupTimes1);
}

bool CLPGDevice::writeSetupTimes1()
{
    return imageChanged(ImageBlock::SetupTimes1,
        held(
            CReadBlocks::SetupTimes1, m_demo || writeRecord(kRecSetupTimes1, encodeSetupTimes1(m_image))));
}

bool CLPGDevice::readSetupTimes2()
{
    if (m_demo)
        return imageChanged(ImageBlock::SetupTimes2);
    ExchangeBuffer buffer {};
    if (!readRecord(0x0E, kRecSetupTimes2, kSetupTimesLength, buffer))
        return false;
    CSettingsImage scratch = m_image;
    decodeSetupTimes2(view<kSetupTimesLength>(buffer), scratch);
    m_image.m_setupTimes2 = scratch.m_setupTimes2;
    m_image.m_tableMask = scratch.m_tableMask;
    held(CReadBlocks::SetupTimes2, true);
    return imageChanged(ImageBlock::SetupTimes2);
}

bool CLPGDevice::writeSetupTimes2()
{
    return imageChanged(ImageBlock::SetupTimes2,
        held(
            CReadBlocks::SetupTimes2, m_demo || writeRecord(kRecSetupTimes2, encodeSetupTimes2(m_image))));
}

bool CLPGDevice::readPressCorr()
{
    if (m_demo)
        return imageChanged(ImageBlock::PressCorr);
    ExchangeBuffer buffer {};
    if (!readRecord(0x2B, kRecPressCorr, kPressCorrLength, buffer))
        return false;
    CSettingsImage scratch = m_image;
    decodePressCorr(view<kPressCorrLength>(buffer), scratch);
    m_image.m_sensorsSetup.m_pressCorr = scratch.m_sensorsSetup.m_pressCorr;
    held(CReadBlocks::PressCorr, true);
    return imageChanged(ImageBlock::PressCorr);
}

bool CLPGDevice::writePressCorr()
{
    return imageChanged(ImageBlock::PressCorr,
        held(CReadBlocks::PressCorr, m_demo || writeRecord(kRecPressCorr, encodePressCorr(m_image))));
}

bool CLPGDevice::readAutomapSchedule()
{
    if (m_demo)
        return imageChanged(ImageBlock::AutomapSchedule);
    ExchangeBuffer buffer {};
    if (!readRecord(0x2C, kRecAutomapSchedule, kAutomapScheduleLength, buffer))
        return false;
    CSettingsImage scratch = m_image;
    decodeAutomapSchedule(view<kAutomapScheduleLength>(buffer), scratch);
    m_image.m_automapDue = scratch.m_automapDue;
    m_image.m_automapKm = scratch.m_automapKm;
    m_image.m_automapMode = scratch.m_automapMode;
    held(CReadBlocks::AutomapSchedule, true);
    return imageChanged(ImageBlock::AutomapSchedule);
}

bool CLPGDevice::writeAutomapSchedule()
{
    return imageChanged(ImageBlock::AutomapSchedule,
        held(
            CReadBlocks::AutomapSchedule, m_demo || writeRecord(kRecAutomapSchedule, encodeAutomapSchedule(m_image))));
}

bool CLPGDevice::readMapAxes()
{
    if (m_demo)
        return imageChanged(ImageBlock::MapAxes);
    ExchangeBuffer buffer {};
    if (!readRecord(0x2D, kRecMapAxes, kMapAxesLength, buffer))
        return false;
    CSettingsImage scratch = m_image;
    decodeMapAxes(view<kMapAxesLength>(buffer), scratch);
    m_image.m_corrMap.m_injTimeAxis = scratch.m_corrMap.m_injTimeAxis;
    m_image.m_corrMap.m_rpmAxis = scratch.m_corrMap.m_rpmAxis;
    held(CReadBlocks::MapAxes, true);
    return imageChanged(ImageBlock::MapAxes);
}

bool CLPGDevice::writeMapAxes()
{
    return imageChanged(ImageBlock::MapAxes,
        held(CReadBlocks::MapAxes, m_demo || writeRecord(kRecMapAxes, encodeMapAxes(m_image))));
}
