// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/locale.h>

#include <cstdlib>
#include <string>

namespace {

struct LanguageEntry {
    const char* language;
    uint16_t langId; // with its default sublanguage
};

struct TerritoryEntry {
    const char* language;
    const char* territory;
    uint16_t langId;
};

constexpr LanguageEntry kLanguages[] = {
    { "af", 0x0436 }, { "ar", 0x0401 }, { "az", 0x042C }, { "be", 0x0423 }, { "bg", 0x0402 },
    { "bs", 0x141A }, { "ca", 0x0403 }, { "cs", 0x0405 }, { "cy", 0x0452 }, { "da", 0x0406 },
    { "de", 0x0407 }, { "el", 0x0408 }, { "en", 0x0409 }, { "es", 0x0C0A }, { "et", 0x0425 },
    { "eu", 0x042D }, { "fa", 0x0429 }, { "fi", 0x040B }, { "fr", 0x040C }, { "ga", 0x083C },
    { "gl", 0x0456 }, { "he", 0x040D }, { "hi", 0x0439 }, { "hr", 0x041A }, { "hu", 0x040E },
    { "hy", 0x042B }, { "id", 0x0421 }, { "is", 0x040F }, { "it", 0x0410 }, { "ja", 0x0411 },
    { "ka", 0x0437 }, { "kk", 0x043F }, { "ko", 0x0412 }, { "lt", 0x0427 }, { "lv", 0x0426 },
    { "mk", 0x042F }, { "ms", 0x043E }, { "nb", 0x0414 }, { "nl", 0x0413 }, { "nn", 0x0814 },
    { "no", 0x0414 }, { "pl", 0x0415 }, { "pt", 0x0416 }, { "ro", 0x0418 }, { "ru", 0x0419 },
    { "sk", 0x041B }, { "sl", 0x0424 }, { "sq", 0x041C }, { "sr", 0x281A }, { "sv", 0x041D },
    { "th", 0x041E }, { "tr", 0x041F }, { "uk", 0x0422 }, { "ur", 0x0420 }, { "uz", 0x0443 },
    { "vi", 0x042A }, { "zh", 0x0804 },
};

constexpr TerritoryEntry kTerritories[] = {
    { "de", "CH", 0x0807 }, { "de", "AT", 0x0C07 }, { "de", "LU", 0x1007 }, { "de", "LI", 0x1407 },
    { "en", "GB", 0x0809 }, { "en", "AU", 0x0C09 }, { "en", "CA", 0x1009 }, { "en", "NZ", 0x1409 },
    { "en", "IE", 0x1809 }, { "en", "ZA", 0x1C09 }, { "en", "IN", 0x4009 }, { "en", "SG", 0x4809 },
    { "es", "MX", 0x080A }, { "es", "GT", 0x100A }, { "es", "CR", 0x140A }, { "es", "PA", 0x180A },
    { "es", "DO", 0x1C0A }, { "es", "VE", 0x200A }, { "es", "CO", 0x240A }, { "es", "PE", 0x280A },
    { "es", "AR", 0x2C0A }, { "es", "EC", 0x300A }, { "es", "CL", 0x340A }, { "es", "UY", 0x380A },
    { "es", "PY", 0x3C0A }, { "es", "BO", 0x400A }, { "es", "SV", 0x440A }, { "es", "HN", 0x480A },
    { "es", "NI", 0x4C0A }, { "es", "PR", 0x500A }, { "es", "US", 0x540A },
    { "fr", "BE", 0x080C }, { "fr", "CA", 0x0C0C }, { "fr", "CH", 0x100C }, { "fr", "LU", 0x140C },
    { "fr", "MC", 0x180C }, { "it", "CH", 0x0810 }, { "nl", "BE", 0x0813 }, { "pt", "PT", 0x0816 },
    { "sv", "FI", 0x081D }, { "ru", "MD", 0x0819 }, { "ms", "BN", 0x083E }, { "hr", "BA", 0x101A },
    { "sr", "ME", 0x301A }, { "sr", "BA", 0x1C1A },
    { "zh", "TW", 0x0404 }, { "zh", "HK", 0x0C04 }, { "zh", "SG", 0x1004 }, { "zh", "MO", 0x1404 },
};

constexpr uint16_t kEnglishUs = 0x0409;

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

uint16_t langIdForLocale(std::string_view locale)
{
    std::string language;
    std::string territory;
    std::string modifier;
    std::size_t i = 0;
    for (; i < locale.size() && locale[i] != '_' && locale[i] != '-' && locale[i] != '.' && locale[i] != '@'; ++i)
        language.push_back(lower(locale[i]));
    if (i < locale.size() && (locale[i] == '_' || locale[i] == '-'))
        for (++i; i < locale.size() && locale[i] != '.' && locale[i] != '@'; ++i)
            territory.push_back(upper(locale[i]));
    if (const auto at = locale.find('@'); at != std::string_view::npos)
        modifier = locale.substr(at + 1);

    // Serbian written in Latin letters has identifiers of its own.
    if (language == "sr" && modifier == "latin") {
        if (territory == "ME")
            return 0x2C1A;
        if (territory == "BA")
            return 0x181A;
        return 0x241A;
    }
    for (const auto& entry : kTerritories)
        if (language == entry.language && territory == entry.territory)
            return entry.langId;
    for (const auto& entry : kLanguages)
        if (language == entry.language)
            return entry.langId;
    return kEnglishUs;
}

uint16_t userDefaultLangId()
{
    for (const char* name : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        const char* value = std::getenv(name);
        if (value && *value)
            return langIdForLocale(value);
    }
    return kEnglishUs;
}
