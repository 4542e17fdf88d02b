// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's byte layouts of the settings image's blocks, both ways.
// Encoders build the record a write sends; decoders store a record's members
// into the image they are given, which the caller passes as a scratch copy and
// commits only when the whole command succeeded. Temperatures are converted
// with the sensor columns of that image. Multi-byte fields are little-endian.
#pragma once

#include <app/data/readblocks.h>
#include <app/data/settingsimage.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Record codes and lengths.
constexpr uint8_t kRecAdv = 4, kRecMemoryBlock = 5, kRecErrors = 6, kRecSetupTimes1 = 7, kRecDevInfo = 8,
                  kRecSetupTimes2 = 9, kRecStatistics = 12, kRecRecord13 = 13, kRecMainCorr = 15, kRecObdSettings = 18,
                  kRecObdAnswer = 24, kRecObdRequest = 25, kRecAdvancedSetup = 26, kRecObdMapConfig = 27,
                  kRecPetrolMap = 28, kRecLpgMap = 29, kRecSensorsSetup = 30, kRecBase = 31, kRecPressCorr = 32,
                  kRecAutomapSchedule = 33, kRecMapAxes = 34;
constexpr std::size_t kBaseLength = 28, kAdvLength = 22, kAdvancedSetupLength = 30, kSensorsSetupLength = 30,
                      kMainCorrLength = 16, kSetupTimesLength = 40, kPressCorrLength = 26, kAutomapScheduleLength = 8,
                      kMapAxesLength = 38, kDevInfoLength = 30, kStatisticsLength = 12, kErrorsLength = 4;

template <std::size_t N> using Record = std::array<uint8_t, N>;
template <std::size_t N> using RecordView = std::span<const uint8_t, N>;

// m_base; m_pcId travels as the image holds it (the caller stamps this PC's id first).
Record<kBaseLength> encodeBase(const CSettingsImage& image);
void decodeBase(RecordView<kBaseLength> bytes, CSettingsImage& image);

Record<kAdvLength> encodeAdv(const CSettingsImage& image);
void decodeAdv(RecordView<kAdvLength> bytes, CSettingsImage& image);

Record<kAdvancedSetupLength> encodeAdvancedSetup(const CSettingsImage& image);
void decodeAdvancedSetup(RecordView<kAdvancedSetupLength> bytes, CSettingsImage& image);

// m_sensorsSetup with the temperature correction table; the thresholds travel
// inverted when m_fuelType is 1.
Record<kSensorsSetupLength> encodeSensorsSetup(const CSettingsImage& image);
void decodeSensorsSetup(RecordView<kSensorsSetupLength> bytes, CSettingsImage& image);

Record<kMainCorrLength> encodeMainCorr(const CSettingsImage& image);
void decodeMainCorr(RecordView<kMainCorrLength> bytes, CSettingsImage& image);

// Record 7 (m_setupTimes1, last byte 0) and record 9 (m_setupTimes2, last byte m_tableMask).
Record<kSetupTimesLength> encodeSetupTimes1(const CSettingsImage& image);
void decodeSetupTimes1(RecordView<kSetupTimesLength> bytes, CSettingsImage& image);
Record<kSetupTimesLength> encodeSetupTimes2(const CSettingsImage& image);
void decodeSetupTimes2(RecordView<kSetupTimesLength> bytes, CSettingsImage& image);

Record<kPressCorrLength> encodePressCorr(const CSettingsImage& image);
void decodePressCorr(RecordView<kPressCorrLength> bytes, CSettingsImage& image);

Record<kAutomapScheduleLength> encodeAutomapSchedule(const CSettingsImage& image);
void decodeAutomapSchedule(RecordView<kAutomapScheduleLength> bytes, CSettingsImage& image);

Record<kMapAxesLength> encodeMapAxes(const CSettingsImage& image);
void decodeMapAxes(RecordView<kMapAxesLength> bytes, CSettingsImage& image);

// A settings block that travels as one record: the command that asks for it,
// the record type it comes and goes as, its length and its two codecs. The
// identity and the map page travel otherwise and have none.
struct CBlockRecord {
    CReadBlocks::Block block;
    uint8_t readCommand;
    uint8_t recordType;
    std::size_t length;
    std::vector<uint8_t> (*encode)(const CSettingsImage& image);
    // bytes holds length bytes; stores the record's members into image.
    void (*decode)(std::span<const uint8_t> bytes, CSettingsImage& image);
};
// The record of block; null for the identity and the map page.
const CBlockRecord* blockRecord(CReadBlocks::Block block);

// Identity (never written): flags, production date, version, serial, injector
// count and model code (the model name follows a known code).
void decodeDevInfo(RecordView<kDevInfoLength> bytes, CDevInfo& info);
void decodeStatistics(RecordView<kStatisticsLength> bytes, CStatistic& statistic);

// Little-endian field access shared by the codecs.
uint16_t getU16(const uint8_t* p);
uint32_t getU32(const uint8_t* p);
void putU16(uint8_t* p, uint16_t v);
void putU32(uint8_t* p, uint32_t v);
