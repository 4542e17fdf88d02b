// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/blockcodec.h>

#include <app/data/conversions.h>
#include <app/data/identity.h>

uint16_t getU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t getU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16
        | static_cast<uint32_t>(p[3]) << 24;
}

void putU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void putU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

namespace {

double pressureRead(uint8_t byte)
{
    return roundHalfAway(pressureFromByte(byte));
}

uint8_t percentToByte(double percent)
{
    return toU8(toPercentByte(percent));
}

} // namespace

Record<kBaseLength> encodeBase(const CSettingsImage& image)
{
    const CBaseSetup& b = image.m_base;
    Record<kBaseLength> r {};
    putU16(&r[0], periodFromRpm(b.m_switchRPM));
    putU16(&r[2], toU16(toTicks25(b.m_switchMinGasTime)));
    r[4] = b.m_sparkDivider;
    r[5] = pressureToByte(b.m_switchPressure);
    r[6] = engineTemprToByte(image, b.m_switchTempr);
    r[7] = toU8(toDoubledTruncated(b.m_switchDelay));
    putU16(&r[8], periodFromRpm(b.m_maxRPMHigh));
    putU16(&r[10], periodFromRpm(b.m_maxRPMLow));
    r[12] = b.m_flags;
    r[13] = pressureToByte(b.m_pressureRef);
    r[14] = static_cast<uint8_t>(toS8(toTenthsTruncated(b.m_pressureGain)));
    r[15] = toU8(toFifthsRounded(b.m_pressAverageCount));
    r[16] = lpgTemprToByte(image, b.m_temprRef);
    r[17] = toU8(toTenthsRounded(b.m_temprGain));
    r[18] = lpgTemprToByte(image, b.m_temprBottom);
    r[19] = lpgTemprToByte(image, b.m_temprUpper);
    r[20] = toU8(toEmulatorTicks(b.m_emulatorDelay));
    r[21] = toU8(toTenthsTruncated(b.m_rpmSignalLevel));
    r[22] = supplyVoltsToByte(b.m_minVCC);
    r[23] = toU8(toTicks25(b.m_baseExtraTime));
    for (int i = 0; i < 4; ++i)
        r[24 + i] = b.m_pcId[i];
    return r;
}

void decodeBase(RecordView<kBaseLength> r, CSettingsImage& image)
{
    CBaseSetup& b = image.m_base;
    b.m_switchRPM = rpmFromPeriod(getU16(&r[0]));
    b.m_switchMinGasTime = fromTicks25(getU16(&r[2]));
    b.m_sparkDivider = r[4];
    b.m_switchPressure = pressureRead(r[5]);
    b.m_switchTempr = engineTemprFromByte(image, r[6]);
    b.m_switchDelay = fromDoubledDropHalf(r[7]);
    b.m_maxRPMHigh = rpmFromPeriod(getU16(&r[8]));
    b.m_maxRPMLow = rpmFromPeriod(getU16(&r[10]));
    b.m_flags = r[12];
    b.m_pressureRef = pressureRead(r[13]);
    b.m_pressureGain = fromTenths(static_cast<int8_t>(r[14]));
    b.m_pressAverageCount = fromFifths(r[15]);
    b.m_temprRef = lpgTemprFromByte(image, r[16]);
    b.m_temprGain = fromTenths(r[17]);
    b.m_temprBottom = lpgTemprFromByte(image, r[18]);
    b.m_temprUpper = lpgTemprFromByte(image, r[19]);
    b.m_emulatorDelay = fromEmulatorTicks(r[20]);
    b.m_rpmSignalLevel = fromTenthsRounded(r[21]);
    b.m_minVCC = roundTo01(supplyVoltsFromByte(r[22]));
    b.m_baseExtraTime = fromTicks25(r[23]);
    for (int i = 0; i < 4; ++i)
        b.m_pcId[i] = r[24 + i];
}

Record<kAdvLength> encodeAdv(const CSettingsImage& image)
{
    const CAdvSetup& a = image.m_adv;
    Record<kAdvLength> r {};
    r[0] = a.m_injectorType;
    r[1] = toU8(toTicks25(a.m_pwmOffset));
    r[2] = toU8(a.m_pwm);
    r[3] = toU8(toTicks25(a.m_injectorWarmingImpulse));
    r[4] = toU8(toDoubledTruncated(a.m_warmingTime));
    r[5] = engineTemprToByte(image, a.m_warmingUpperTempr);
    r[6] = toU8(toTicks25(a.m_minLPGTime));
    r[7] = toU8(toTicks25(a.m_ignoreLPGTime));
    for (int i = 0; i < 8; ++i)
        r[8 + i] = a.m_injConfMap[i];
    r[16] = a.m_engineSignalBehavior;
    r[17] = a.m_flags;
    r[18] = pressureToByte(a.m_cutOffPressSwitch);
    r[19] = toU8(toEmulatorTicks(a.m_cutOffExitEmulatorDelay));
    r[20] = toU8(toDoubledTruncated(a.m_cutOffExitDelay));
    return r;
}

void decodeAdv(RecordView<kAdvLength> r, CSettingsImage& image)
{
    CAdvSetup& a = image.m_adv;
    a.m_injectorType = r[0];
    a.m_pwmOffset = fromTicks25(r[1]);
    a.m_pwm = r[2];
    a.m_injectorWarmingImpulse = fromTicks25(r[3]);
    a.m_warmingTime = fromDoubledDropHalf(r[4]);
    a.m_warmingUpperTempr = engineTemprFromByte(image, r[5]);
    a.m_minLPGTime = fromTicks25(r[6]);
    a.m_ignoreLPGTime = fromTicks25(r[7]);
    for (int i = 0; i < 8; ++i)
        a.m_injConfMap[i] = r[8 + i];
    a.m_engineSignalBehavior = r[16];
    a.m_flags = r[17];
    a.m_cutOffPressSwitch = pressureRead(r[18]);
    a.m_cutOffExitEmulatorDelay = fromEmulatorTicks(r[19]);
    a.m_cutOffExitDelay = fromDoubled(r[20]);
}

Record<kAdvancedSetupLength> encodeAdvancedSetup(const CSettingsImage& image)
{
    const CAdvancedSetup& s = image.m_advancedSetup;
    Record<kAdvancedSetupLength> r {};
    putU32(&r[0], s.m_inspectionCounter);
    putU16(&r[4], s.m_advancedFlags3);
    putU16(&r[8], periodFromRpm(s.m_minimalLPGRPM));
    r[10] = static_cast<uint8_t>(toS8(s.m_switchCorr));
    r[11] = toU8(toDoubledTruncated(s.m_switchCorrTime));
    r[12] = s.m_advancedFlags;
    r[13] = s.m_advancedFlags2;
    putU16(&r[14], toU16(toTicks4(s.m_maxLoadTime)));
    r[28] = lpgTemprToByte(image, s.m_minLpgTempr);
    r[29] = s.m_lubricationShare;
    return r;
}

void decodeAdvancedSetup(RecordView<kAdvancedSetupLength> r, CSettingsImage& image)
{
    CAdvancedSetup& s = image.m_advancedSetup;
    s.m_inspectionCounter = getU32(&r[0]);
    s.m_advancedFlags3 = getU16(&r[4]);
    s.m_minimalLPGRPM = rpmFromPeriod(getU16(&r[8]));
    s.m_switchCorr = static_cast<int8_t>(r[10]);
    s.m_switchCorrTime = fromDoubledDropHalf(r[11]);
    s.m_advancedFlags = r[12];
    s.m_advancedFlags2 = r[13];
    s.m_maxLoadTime = fromTicks4(getU16(&r[14]));
    s.m_minLpgTempr = lpgTemprFromByte(image, r[28]);
    s.m_lubricationShare = r[29];
}

Record<kSensorsSetupLength> encodeSensorsSetup(const CSettingsImage& image)
{
    const CSensorsSetup& s = image.m_sensorsSetup;
    Record<kSensorsSetupLength> r {};
    r[0] = fuelThreshold(s.m_fuelFull, s.m_fuelType);
    r[1] = fuelThreshold(s.m_fuelHgw, s.m_fuelType);
    r[2] = fuelThreshold(s.m_fuelHalf, s.m_fuelType);
    r[3] = fuelThreshold(s.m_fuelQuarter, s.m_fuelType);
    r[4] = s.m_fuelType;
    r[5] = s.m_fuelRes;
    r[6] = s.m_lambdaType;
    r[7] = s.m_lambdaSecond;
    r[8] = s.m_temprEngineSensor;
    r[9] = s.m_temprLPGSensor;
    for (int i = 0; i < kTemprCorrCount; ++i)
        r[10 + i] = percentToByte(s.m_temprCorr[i]);
    return r;
}

void decodeSensorsSetup(RecordView<kSensorsSetupLength> r, CSettingsImage& image)
{
    CSensorsSetup& s = image.m_sensorsSetup;
    s.m_fuelType = r[4];
    s.m_fuelFull = fuelThreshold(r[0], r[4]);
    s.m_fuelHgw = fuelThreshold(r[1], r[4]);
    s.m_fuelHalf = fuelThreshold(r[2], r[4]);
    s.m_fuelQuarter = fuelThreshold(r[3], r[4]);
    s.m_fuelRes = r[5];
    s.m_lambdaType = r[6];
    s.m_lambdaSecond = r[7];
    s.m_temprEngineSensor = r[8];
    s.m_temprLPGSensor = r[9];
    for (int i = 0; i < kTemprCorrCount; ++i)
        s.m_temprCorr[i] = fromPercentByte(r[10 + i]);
}

Record<kMainCorrLength> encodeMainCorr(const CSettingsImage& image)
{
    Record<kMainCorrLength> r {};
    for (int i = 0; i < 8; ++i)
        putU16(&r[2 * i], static_cast<uint16_t>(toS16(toTicks4(image.m_mainCorr.m_mainCorr[i]))));
    return r;
}

void decodeMainCorr(RecordView<kMainCorrLength> r, CSettingsImage& image)
{
    for (int i = 0; i < 8; ++i)
        image.m_mainCorr.m_mainCorr[i] = fromTicks4(static_cast<int16_t>(getU16(&r[2 * i])));
}

namespace {

Record<kSetupTimesLength> encodeTimes(const std::array<double, kSetupTimesCount>& times, uint8_t last)
{
    Record<kSetupTimesLength> r {};
    for (int i = 0; i < kSetupTimesCount; ++i)
        r[i] = percentToByte(times[i]);
    r[kSetupTimesCount] = last;
    return r;
}

void decodeTimes(RecordView<kSetupTimesLength> r, std::array<double, kSetupTimesCount>& times)
{
    for (int i = 0; i < kSetupTimesCount; ++i)
        times[i] = fromPercentByte(r[i]);
}

} // namespace

Record<kSetupTimesLength> encodeSetupTimes1(const CSettingsImage& image)
{
    return encodeTimes(image.m_setupTimes1, 0);
}

void decodeSetupTimes1(RecordView<kSetupTimesLength> bytes, CSettingsImage& image)
{
    decodeTimes(bytes, image.m_setupTimes1);
}

Record<kSetupTimesLength> encodeSetupTimes2(const CSettingsImage& image)
{
    return encodeTimes(image.m_setupTimes2, image.m_tableMask);
}

void decodeSetupTimes2(RecordView<kSetupTimesLength> bytes, CSettingsImage& image)
{
    decodeTimes(bytes, image.m_setupTimes2);
    image.m_tableMask = bytes[kSetupTimesCount];
}

Record<kPressCorrLength> encodePressCorr(const CSettingsImage& image)
{
    Record<kPressCorrLength> r {};
    for (int i = 0; i < kPressCorrCount; ++i)
        r[i] = percentToByte(image.m_sensorsSetup.m_pressCorr[i]);
    return r;
}

void decodePressCorr(RecordView<kPressCorrLength> r, CSettingsImage& image)
{
    for (int i = 0; i < kPressCorrCount; ++i)
        image.m_sensorsSetup.m_pressCorr[i] = fromPercentByte(r[i]);
}

Record<kAutomapScheduleLength> encodeAutomapSchedule(const CSettingsImage& image)
{
    Record<kAutomapScheduleLength> r {};
    putU32(&r[0], toU32(image.m_automapDue));
    putU16(&r[4], automapKmToRaw(image.m_automapKm));
    r[6] = image.m_automapMode;
    return r;
}

void decodeAutomapSchedule(RecordView<kAutomapScheduleLength> r, CSettingsImage& image)
{
    image.m_automapDue = getU32(&r[0]);
    image.m_automapKm = automapKmFromRaw(getU16(&r[4]));
    image.m_automapMode = r[6];
}

Record<kMapAxesLength> encodeMapAxes(const CSettingsImage& image)
{
    Record<kMapAxesLength> r {};
    for (int i = 0; i < kMapRows; ++i)
        r[i] = injTimeToByte(image.m_corrMap.m_injTimeAxis[i]);
    for (int i = 0; i < kMapCols; ++i)
        r[kMapRows + i] = rpmAxisToByte(image.m_corrMap.m_rpmAxis[i]);
    return r;
}

void decodeMapAxes(RecordView<kMapAxesLength> r, CSettingsImage& image)
{
    for (int i = 0; i < kMapRows; ++i)
        image.m_corrMap.m_injTimeAxis[i] = injTimeFromByte(r[i]);
    for (int i = 0; i < kMapCols; ++i)
        image.m_corrMap.m_rpmAxis[i] = rpmAxisFromByte(r[kMapRows + i]);
}

void decodeDevInfo(RecordView<kDevInfoLength> r, CDevInfo& info)
{
    info.m_flags1 = getU32(&r[0]);
    info.m_flags2 = getU32(&r[4]);
    info.m_prodDate = prodDateFromDays(getU16(&r[8]));
    info.m_version = getU16(&r[10]);
    info.m_serial = decodeSerial(RecordView<16>(r.data() + 12, 16));
    info.m_injCount = r[28];
    // The name follows the code where the code is known; an unknown code is kept as reported.
    if (!setModel(info, r[29]))
        info.m_deviceID = r[29];
}

void decodeStatistics(RecordView<kStatisticsLength> r, CStatistic& statistic)
{
    statistic.gas = getU32(&r[0]);
    statistic.lpg = getU32(&r[4]);
    // The counter is 32 bits on the wire; the image keeps its low 16 bits.
    statistic.modify = static_cast<uint16_t>(getU32(&r[8]));
}

namespace {

template <std::size_t N, Record<N> (*Encode)(const CSettingsImage&)> std::vector<uint8_t> encodeAs(const CSettingsImage& image)
{
    const Record<N> record = Encode(image);
    return { record.begin(), record.end() };
}

template <std::size_t N, void (*Decode)(RecordView<N>, CSettingsImage&)>
void decodeAs(std::span<const uint8_t> bytes, CSettingsImage& image)
{
    Decode(RecordView<N>(bytes.data(), N), image);
}

template <std::size_t N, Record<N> (*Encode)(const CSettingsImage&), void (*Decode)(RecordView<N>, CSettingsImage&)>
constexpr CBlockRecord record(CReadBlocks::Block block, uint8_t readCommand, uint8_t recordType)
{
    return { block, readCommand, recordType, N, &encodeAs<N, Encode>, &decodeAs<N, Decode> };
}

constexpr CBlockRecord kRecords[] = {
    record<kSensorsSetupLength, encodeSensorsSetup, decodeSensorsSetup>(CReadBlocks::SensorsSetup, 0x2A, kRecSensorsSetup),
    record<kBaseLength, encodeBase, decodeBase>(CReadBlocks::Base, 0x07, kRecBase),
    record<kAdvLength, encodeAdv, decodeAdv>(CReadBlocks::Adv, 0x08, kRecAdv),
    record<kMainCorrLength, encodeMainCorr, decodeMainCorr>(CReadBlocks::MainCorr, 0x16, kRecMainCorr),
    record<kSetupTimesLength, encodeSetupTimes1, decodeSetupTimes1>(CReadBlocks::SetupTimes1, 0x0C, kRecSetupTimes1),
    record<kSetupTimesLength, encodeSetupTimes2, decodeSetupTimes2>(CReadBlocks::SetupTimes2, 0x0E, kRecSetupTimes2),
    record<kAdvancedSetupLength, encodeAdvancedSetup, decodeAdvancedSetup>(
        CReadBlocks::AdvancedSetup, 0x22, kRecAdvancedSetup),
    record<kPressCorrLength, encodePressCorr, decodePressCorr>(CReadBlocks::PressCorr, 0x2B, kRecPressCorr),
    record<kAutomapScheduleLength, encodeAutomapSchedule, decodeAutomapSchedule>(
        CReadBlocks::AutomapSchedule, 0x2C, kRecAutomapSchedule),
    record<kMapAxesLength, encodeMapAxes, decodeMapAxes>(CReadBlocks::MapAxes, 0x2D, kRecMapAxes),
};

} // namespace

const CBlockRecord* blockRecord(CReadBlocks::Block block)
{
    for (const auto& r : kRecords)
        if (r.block == block)
            return &r;
    return nullptr;
}
