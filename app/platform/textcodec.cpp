// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/textcodec.h>

#include <cstdio>
#include <cwchar>

namespace {

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void appendEscaped(std::string& out, unsigned char byte)
{
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02x", byte);
    out += text;
}

// Length of the well-formed UTF-8 sequence at text[i] and its character; 0 when there is none.
std::size_t sequenceAt(std::string_view text, std::size_t i, char32_t& c)
{
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : 4;
    if (extra == 4 || i + extra >= text.size())
        return 0;
    c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto cb = static_cast<unsigned char>(text[i + k]);
        if ((cb & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (cb & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are no characters.
    static constexpr char32_t kLeast[] = { 0, 0x80, 0x800, 0x10000 };
    if (c < kLeast[extra] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return 0;
    return extra + 1;
}

} // namespace

std::string escapeControls(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        const std::size_t length = sequenceAt(text, i, c);
        if (length == 0 || isControl(c)) {
            const std::size_t bad = length == 0 ? 1 : length;
            for (std::size_t k = 0; k < bad; ++k)
                appendEscaped(out, static_cast<unsigned char>(text[i + k]));
            i += bad;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::wstring escapeControls(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        if (isControl(static_cast<char32_t>(c))) {
            wchar_t escaped[5];
            std::swprintf(escaped, 5, L"\\x%02x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring fromUtf8(const std::string& text)
{
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : 4;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = extra < 4 && i + extra < text.size();
        for (std::size_t k = 1; ok && k <= extra; ++k) {
            const auto cb = static_cast<unsigned char>(text[i + k]);
            ok = (cb & 0xC0) == 0x80;
            c = (c << 6) | (cb & 0x3F);
        }
        if (!ok) {
            out.push_back(L'\uFFFD');
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(c));
        i += extra + 1;
    }
    return out;
}
