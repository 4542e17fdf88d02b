// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/recordingpath.h>

#include <app/data/settingsimage.h>

#include <cstdio>

namespace {

// Accented letters as a fitter types them in a car's make and model.
const char* unaccented(wchar_t c)
{
    static const struct {
        const wchar_t* from;
        const char* to;
    } kFolds[] = {
        { L"ąàáâãäåāă", "a" }, { L"ĄÀÁÂÃÄÅĀĂ", "A" }, { L"ćçčĉ", "c" }, { L"ĆÇČĈ", "C" }, { L"ďđ", "d" },
        { L"ĎĐ", "D" }, { L"ęèéêëěē", "e" }, { L"ĘÈÉÊËĚĒ", "E" }, { L"ìíîïī", "i" }, { L"ÌÍÎÏĪ", "I" },
        { L"łľĺ", "l" }, { L"ŁĽĹ", "L" }, { L"ńñň", "n" }, { L"ŃÑŇ", "N" }, { L"óòôõöøő", "o" },
        { L"ÓÒÔÕÖØŐ", "O" }, { L"řŕ", "r" }, { L"ŘŔ", "R" }, { L"śšş", "s" }, { L"ŚŠŞ", "S" }, { L"ťţ", "t" },
        { L"ŤŢ", "T" }, { L"ùúûüůű", "u" }, { L"ÙÚÛÜŮŰ", "U" }, { L"ýÿ", "y" }, { L"Ý", "Y" }, { L"źżž", "z" },
        { L"ŹŻŽ", "Z" }, { L"ß", "ss" },
    };
    for (const auto& fold : kFolds)
        for (const wchar_t* p = fold.from; *p; ++p)
            if (*p == c)
                return fold.to;
    return nullptr;
}

} // namespace

std::string fileNamePart(const std::wstring& text)
{
    std::string out;
    bool gap = false;
    for (const wchar_t c : text) {
        const char* folded = nullptr;
        char ascii[2] = { 0, 0 };
        if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9')) {
            ascii[0] = static_cast<char>(c);
            folded = ascii;
        } else {
            folded = unaccented(c);
        }
        if (!folded) {
            // Spaces and signs part words; other characters are dropped.
            if (c < 0x80 || c == 0xA0)
                gap = true;
            continue;
        }
        if (gap && !out.empty())
            out += '-';
        gap = false;
        out += folded;
    }
    return out;
}

std::string defaultRecordingName(const std::wstring& serial, const CCarInfo& car, const std::tm& when)
{
    std::string name = fileNamePart(serial);
    if (name.empty())
        name = "korvana";
    const std::string vehicle = fileNamePart(car.m_vendor + L" " + car.m_model);
    if (!vehicle.empty())
        name += "_" + vehicle;
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "_%04d-%02d-%02d_%02d-%02d-%02d.osc", when.tm_year + 1900, when.tm_mon + 1,
        when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
    return name + stamp;
}
