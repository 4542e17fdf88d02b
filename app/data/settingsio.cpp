// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/settingsio.h>
#include <app/data/settingsfile.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

// A member is written as a number or a text, and read back with the conversion of its type.
struct Field {
    std::wstring key;
    std::function<double(const CSettingsImage&)> get; // numbers
    std::function<void(CSettingsImage&, double)> set;
    std::function<std::wstring(const CSettingsImage&)> getText; // texts
    std::function<void(CSettingsImage&, const std::wstring&)> setText;
    // Numbers the member holds without a wrap or a cut: whole numbers in
    // [lo, hi] for integer members, any finite number for doubles.
    bool whole = false;
    double lo = -std::numeric_limits<double>::max();
    double hi = std::numeric_limits<double>::max();

    bool fits(double v) const { return std::isfinite(v) && v >= lo && v <= hi && (!whole || std::trunc(v) == v); }
};

template <class T>
Field integral(Field f)
{
    f.whole = true;
    f.lo = static_cast<double>(std::numeric_limits<T>::min());
    f.hi = static_cast<double>(std::numeric_limits<T>::max());
    return f;
}

// Integer members take the number truncated toward zero; 32-bit counters pass
// through 64 bits so values up to 4 294 967 295 survive.
int64_t truncated(double v)
{
    if (!std::isfinite(v) || std::fabs(v) >= 9.2e18)
        return 0;
    return static_cast<int64_t>(v);
}

template <class T>
T low(double v)
{
    return static_cast<T>(static_cast<uint64_t>(truncated(v)));
}

#define KORVANA_WIDE2(text) L##text
#define KORVANA_WIDE(text) KORVANA_WIDE2(text)
#define KORVANA_DOUBLE(path)                                                                                          \
    Field                                                                                                              \
    {                                                                                                                  \
        KORVANA_WIDE(#path), [](const CSettingsImage& im) { return static_cast<double>(im.path); },                             \
            [](CSettingsImage& im, double v) { im.path = v; }, nullptr, nullptr                                        \
    }
#define KORVANA_INT(path, T)                                                                                          \
    integral<T>(Field {                                                                                                \
        KORVANA_WIDE(#path), [](const CSettingsImage& im) { return static_cast<double>(im.path); },                             \
            [](CSettingsImage& im, double v) { im.path = low<T>(v); }, nullptr, nullptr })
#define KORVANA_TEXT(path)                                                                                            \
    Field                                                                                                              \
    {                                                                                                                  \
        KORVANA_WIDE(#path), nullptr, nullptr, [](const CSettingsImage& im) { return im.path; },                                \
            [](CSettingsImage& im, const std::wstring& t) { im.path = t; }                                            \
    }

std::vector<Field> identityFields()
{
    return {
        KORVANA_INT(m_devInfo.m_version, int32_t),
        KORVANA_INT(m_devInfo.m_injCount, int32_t),
        Field { L"m_devInfo.m_serial", nullptr, nullptr,
                [](const CSettingsImage& im) { return im.m_devInfo.m_serial.substr(0, 15); },
                [](CSettingsImage& im, const std::wstring& t) { im.m_devInfo.m_serial = t; } },
        KORVANA_TEXT(m_devInfo.m_prodDate),
        KORVANA_INT(m_devInfo.m_flags1, uint32_t),
        KORVANA_INT(m_devInfo.m_flags2, uint32_t),
        KORVANA_INT(m_devInfo.m_deviceID, uint8_t),
        KORVANA_INT(m_devInfo.m_statistic.gas, uint32_t),
        KORVANA_INT(m_devInfo.m_statistic.lpg, uint32_t),
        KORVANA_INT(m_devInfo.m_statistic.modify, uint16_t),
        KORVANA_TEXT(m_carInfo.m_vendor),
        KORVANA_TEXT(m_carInfo.m_model),
        KORVANA_TEXT(m_carInfo.m_engine),
        KORVANA_TEXT(m_carInfo.m_power),
        KORVANA_TEXT(m_carInfo.m_prodYear),
        KORVANA_TEXT(m_carInfo.m_injectors),
        KORVANA_DOUBLE(m_carInfo.m_reductorPress),
    };
}

std::vector<Field> baseFields()
{
    return {
        KORVANA_DOUBLE(m_base.m_switchRPM),
        KORVANA_DOUBLE(m_base.m_switchTempr),
        KORVANA_INT(m_base.m_sparkDivider, uint8_t),
        KORVANA_DOUBLE(m_base.m_switchPressure),
        KORVANA_DOUBLE(m_base.m_switchDelay),
        KORVANA_DOUBLE(m_base.m_switchMinGasTime),
        KORVANA_INT(m_base.m_flags, uint8_t),
        KORVANA_DOUBLE(m_base.m_emulatorDelay),
        KORVANA_DOUBLE(m_base.m_pressureGain),
        KORVANA_DOUBLE(m_base.m_pressureRef),
        KORVANA_DOUBLE(m_base.m_pressAverageCount),
        KORVANA_DOUBLE(m_base.m_temprRef),
        KORVANA_DOUBLE(m_base.m_temprGain),
        KORVANA_DOUBLE(m_base.m_temprBottom),
        KORVANA_DOUBLE(m_base.m_temprUpper),
        KORVANA_DOUBLE(m_base.m_minVCC),
        KORVANA_DOUBLE(m_base.m_rpmSignalLevel),
        KORVANA_DOUBLE(m_base.m_maxRPMHigh),
        KORVANA_DOUBLE(m_base.m_maxRPMLow),
    };
}

std::vector<Field> advFields()
{
    std::vector<Field> f {
        KORVANA_DOUBLE(m_adv.m_pwmOffset),
        KORVANA_DOUBLE(m_adv.m_pwm),
        KORVANA_DOUBLE(m_adv.m_injectorWarmingImpulse),
        KORVANA_DOUBLE(m_adv.m_warmingTime),
        KORVANA_DOUBLE(m_adv.m_warmingUpperTempr),
        KORVANA_INT(m_adv.m_injectorType, uint8_t),
        KORVANA_DOUBLE(m_adv.m_minLPGTime),
        KORVANA_DOUBLE(m_adv.m_ignoreLPGTime),
        KORVANA_INT(m_adv.m_engineSignalBehavior, uint8_t),
        KORVANA_INT(m_adv.m_flags, uint8_t),
    };
    for (std::size_t i = 0; i < 8; ++i)
        f.push_back(integral<uint8_t>(
            { L"m_adv.m_injConfMap[" + std::to_wstring(i) + L"]",
              [i](const CSettingsImage& im) { return static_cast<double>(im.m_adv.m_injConfMap[i]); },
              [i](CSettingsImage& im, double v) { im.m_adv.m_injConfMap[i] = low<uint8_t>(v); }, nullptr, nullptr }));
    f.push_back(KORVANA_DOUBLE(m_adv.m_cutOffExitDelay));
    f.push_back(KORVANA_DOUBLE(m_adv.m_cutOffExitEmulatorDelay));
    f.push_back(KORVANA_DOUBLE(m_adv.m_cutOffPressSwitch));
    return f;
}

std::vector<Field> mainCorrFields()
{
    std::vector<Field> f;
    for (std::size_t i = 0; i < 8; ++i)
        f.push_back({ L"m_mainCorr.m_mainCorr[" + std::to_wstring(i) + L"]",
                      [i](const CSettingsImage& im) { return im.m_mainCorr.m_mainCorr[i]; },
                      [i](CSettingsImage& im, double v) { im.m_mainCorr.m_mainCorr[i] = v; }, nullptr, nullptr });
    return f;
}

std::vector<Field> sensorFields()
{
    return {
        KORVANA_INT(m_sensorsSetup.m_lambdaSecond, uint8_t),
        KORVANA_INT(m_sensorsSetup.m_lambdaType, uint8_t),
        KORVANA_INT(m_sensorsSetup.m_fuelFull, uint8_t),
        KORVANA_INT(m_sensorsSetup.m_fuelHgw, uint8_t),
        KORVANA_INT(m_sensorsSetup.m_fuelHalf, uint8_t),
        KORVANA_INT(m_sensorsSetup.m_fuelQuarter, uint8_t),
        KORVANA_INT(m_sensorsSetup.m_fuelRes, uint8_t),
        KORVANA_INT(m_sensorsSetup.m_fuelType, uint8_t),
        KORVANA_INT(m_sensorsSetup.m_temprEngineSensor, uint8_t),
        KORVANA_INT(m_sensorsSetup.m_temprLPGSensor, uint8_t),
    };
}

std::vector<Field> setupTimesFields()
{
    std::vector<Field> f;
    auto table = [&f](const std::wstring& name, std::array<double, kSetupTimesCount> CSettingsImage::*member) {
        for (std::size_t i = 0; i < kSetupTimesCount; ++i)
            f.push_back({ name + L"[" + std::to_wstring(i + 1) + L"]",
                          [i, member](const CSettingsImage& im) { return (im.*member)[i]; },
                          [i, member](CSettingsImage& im, double v) { (im.*member)[i] = v; }, nullptr, nullptr });
    };
    table(L"m_setupTimes1", &CSettingsImage::m_setupTimes1);
    f.push_back(KORVANA_INT(m_tableMask, uint8_t));
    table(L"m_setupTimes2", &CSettingsImage::m_setupTimes2);
    return f;
}

std::vector<Field> mapFields()
{
    std::vector<Field> f;
    // Fixed labels: row label 2 … 20, column label 1000 … 8000.
    for (std::size_t r = 0; r < kMapRows; ++r)
        for (std::size_t c = 0; c < kMapCols; ++c)
            f.push_back({ L"m_injMapTable[" + std::to_wstring(r + 2) + L"][" + std::to_wstring(1000 + 500 * c) + L"]",
                          [r, c](const CSettingsImage& im) { return im.m_corrMap.m_injMapTable[r][c]; },
                          [r, c](CSettingsImage& im, double v) { im.m_corrMap.m_injMapTable[r][c] = v; }, nullptr,
                          nullptr });
    f.push_back(KORVANA_INT(m_corrMap.m_flags, uint8_t));
    return f;
}

// The members the reader takes of the advanced setup, in the order it reads them.
std::vector<Field> advancedReadFields()
{
    return {
        KORVANA_INT(m_advancedSetup.m_advancedFlags, uint8_t),
        KORVANA_DOUBLE(m_advancedSetup.m_minimalLPGRPM),
        // Travels as a signed byte: the low 8 bits are taken as such, so a
        // negative enrichment reads back negative.
        integral<int8_t>(Field { L"m_advancedSetup.m_switchCorr",
                                 [](const CSettingsImage& im) { return im.m_advancedSetup.m_switchCorr; },
                                 [](CSettingsImage& im, double v) {
                                     im.m_advancedSetup.m_switchCorr = static_cast<int8_t>(low<uint8_t>(v));
                                 },
                                 nullptr, nullptr }),
        KORVANA_DOUBLE(m_advancedSetup.m_switchCorrTime),
    };
}

std::vector<Field> advancedWriteFields()
{
    return {
        KORVANA_DOUBLE(m_advancedSetup.m_minimalLPGRPM),
        KORVANA_DOUBLE(m_advancedSetup.m_switchCorr),
        KORVANA_DOUBLE(m_advancedSetup.m_switchCorrTime),
        KORVANA_DOUBLE(m_advancedSetup.m_maxLoadTime),
        KORVANA_DOUBLE(m_advancedSetup.m_minLpgTempr),
        KORVANA_INT(m_advancedSetup.m_advancedFlags, uint8_t),
        KORVANA_INT(m_advancedSetup.m_advancedFlags2, uint8_t),
        KORVANA_INT(m_advancedSetup.m_advancedFlags3, uint16_t),
    };
}

#undef KORVANA_DOUBLE
#undef KORVANA_INT
#undef KORVANA_TEXT
#undef KORVANA_WIDE
#undef KORVANA_WIDE2

// One section of the reader: its own file object, the first missing key ends it.
// A number is taken as it always was (the prefix, low bits); what it could not
// be taken as exactly goes into the report.
bool readSection(const std::string& path, CSettingsImage& image, const std::vector<Field>& fields,
                 CSettingsReadReport* report)
{
    CSettingsFile file;
    if (!file.open(path, false))
        return false;
    for (const Field& f : fields) {
        std::wstring t;
        int line = 0;
        if (!file.readString(f.key, t, &line))
            return false;
        if (report)
            report->lines[f.key] = line;
        if (!f.set) {
            f.setText(image, t);
            continue;
        }
        const double v = CSettingsFile::parseNumber(t);
        f.set(image, v);
        if (!report)
            continue;
        if (!CSettingsFile::isNumber(t))
            report->rejected.push_back({ f.key, line, t, CSettingsLineProblem::NotANumber, 0, 0 });
        else if (!f.fits(v))
            report->rejected.push_back({ f.key, line, t, CSettingsLineProblem::DoesNotFit, f.whole ? f.lo : 0,
                                        f.whole ? f.hi : 0 });
    }
    return true;
}

} // namespace

std::vector<std::pair<std::wstring, std::wstring>> settingsLines(const CSettingsImage& image)
{
    std::vector<std::pair<std::wstring, std::wstring>> lines;
    lines.reserve(449);
    lines.emplace_back(L"m_timeStamp", image.m_timeStamp);
    for (const auto& fields : { identityFields(), baseFields(), advFields(), mainCorrFields(), sensorFields(),
                                setupTimesFields(), mapFields(), advancedWriteFields() }) {
        for (const Field& f : fields) {
            if (f.get) {
                const std::string number = CSettingsFile::formatNumber(f.get(image));
                lines.emplace_back(f.key, std::wstring(number.begin(), number.end()));
            } else {
                lines.emplace_back(f.key, f.getText(image));
            }
        }
    }
    return lines;
}

bool writeSettings(const std::string& path, const CSettingsImage& image)
{
    CSettingsFile file;
    if (!file.open(path, true))
        return false;
    for (const auto& [key, value] : settingsLines(image))
        file.writeString(key, value);
    return file.commit();
}

int CSettingsReadReport::lineOf(const std::wstring& key) const
{
    const auto it = lines.find(key);
    return it == lines.end() ? 0 : it->second;
}

bool readSettings(const std::string& path, CSettingsImage& image, CSettingsReadReport* report)
{
    if (report)
        *report = {};
    {
        CSettingsFile file;
        int line = 0;
        if (!file.open(path, false) || !file.readString(L"m_timeStamp", image.m_timeStamp, &line))
            return false;
        if (report)
            report->lines[L"m_timeStamp"] = line;
    }
    for (const auto& fields : { identityFields(), baseFields(), advFields(), mainCorrFields(), mapFields(),
                                setupTimesFields(), advancedReadFields(), sensorFields() })
        if (!readSection(path, image, fields, report))
            return false;
    if (report)
        std::sort(report->rejected.begin(), report->rejected.end(),
                  [](const CSettingsLineProblem& a, const CSettingsLineProblem& b) { return a.line < b.line; });
    return true;
}
