// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/settingsfile.h>

#include <app/platform/boundedread.h>
#include <app/platform/filereplace.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

// One read of the runtime's line reader takes at most this many characters.
constexpr std::size_t kMaxLineRead = 511;

std::string toBytes(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        out.push_back(static_cast<unsigned long>(c) <= 0xFF ? static_cast<char>(c) : '?');
    return out;
}

std::wstring fromBytes(const std::string& bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

} // namespace

CSettingsFile::~CSettingsFile()
{
    discard();
}

void CSettingsFile::discard()
{
    m_written.clear();
    m_written.shrink_to_fit();
}

bool CSettingsFile::open(const std::string& path, bool forWriting)
{
    discard();
    m_path.clear();
    m_loaded = false;
    m_content.clear();
    m_forWriting = forWriting;
    m_ok = false;
    if (forWriting) {
        if (path.empty())
            return false;
        // Refused at once: a save that cannot end well should not start.
        struct stat folder {};
        const std::string target = resolveSaveTarget(path);
        const std::size_t slash = target.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
        if (!isRegularFileOrAbsent(path) || ::stat(dir.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
            return false;
        m_path = path;
        m_ok = true;
        return true;
    }

    std::string raw;
    if (readBoundedFile(path, kMaxFileBytes, raw) != BoundedReadResult::Read)
        return false;
    // Text mode: CR LF is seen as LF.
    m_content.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        m_content.push_back(raw[i]);
    }
    m_path = path;
    m_loaded = true;
    return true;
}

bool CSettingsFile::readString(const std::wstring& key, std::wstring& text, int* line) const
{
    if (!m_loaded)
        return false;
    const std::string wanted = toBytes(key);
    std::size_t pos = 0;
    while (pos < m_content.size()) {
        // One read: up to and including the line feed, at most 511 characters.
        std::size_t end = pos;
        while (end < m_content.size() && end - pos < kMaxLineRead) {
            if (m_content[end++] == '\n')
                break;
        }
        const std::string_view piece(m_content.data() + pos, end - pos);
        const std::size_t start = pos;
        pos = end;
        const std::size_t tab = piece.find('\t');
        if (tab == std::string_view::npos || piece.substr(0, tab) != wanted)
            continue;
        const std::string_view rest = piece.substr(tab + 1);
        if (rest.empty())
            return false;
        if (line)
            *line = 1 + static_cast<int>(std::count(m_content.begin(), m_content.begin() + static_cast<std::ptrdiff_t>(start), '\n'));
        // The last character read is dropped whatever it is: the line feed, or
        // the value's own last character on a last line without one.
        text = fromBytes(std::string(rest.substr(0, rest.size() - 1)));
        return true;
    }
    return false;
}

bool CSettingsFile::readDouble(const std::wstring& key, double& value) const
{
    std::wstring text;
    if (!readString(key, text))
        return false;
    value = parseNumber(text);
    return true;
}

double CSettingsFile::parseNumber(const std::wstring& text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    std::string ascii;
    for (; i < text.size() && static_cast<unsigned long>(text[i]) < 0x80; ++i)
        ascii.push_back(static_cast<char>(text[i]));
    const char* first = ascii.data();
    const char* last = ascii.data() + ascii.size();
    bool negative = false;
    if (first < last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    if (first == last || (*first != '.' && (*first < '0' || *first > '9')))
        return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument)
        return 0.0;
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow; the runtime gives ±HUGE_VAL or 0.
        const std::string digits(first, result.ptr);
        value = std::strtod(digits.c_str(), nullptr);
    }
    return negative ? -value : value;
}

bool CSettingsFile::isNumber(const std::wstring& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    std::string ascii;
    for (std::size_t i = first; i < last; ++i) {
        if (static_cast<unsigned long>(text[i]) >= 0x80)
            return false;
        ascii.push_back(static_cast<char>(text[i]));
    }
    std::size_t i = ascii.empty() || (ascii[0] != '+' && ascii[0] != '-') ? 0 : 1;
    // Digits or a point first: from_chars would take "inf" and "nan" as numbers.
    if (i >= ascii.size() || (ascii[i] != '.' && (ascii[i] < '0' || ascii[i] > '9')))
        return false;
    double value = 0.0;
    const char* end = ascii.data() + ascii.size();
    const auto result = std::from_chars(ascii.data() + i, end, value, std::chars_format::general);
    // A number too large for a double is still a number; whether it fits is its member's question.
    return result.ptr == end && (result.ec == std::errc() || result.ec == std::errc::result_out_of_range);
}

std::string CSettingsFile::formatNumber(double value)
{
    std::array<char, 64> buf {};
    const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, 6);
    std::string out(buf.data(), result.ptr);
    // The exponent always has at least three digits.
    const std::size_t e = out.find('e');
    if (e != std::string::npos) {
        const std::size_t digits = out.size() - (e + 2);
        if (digits < 3)
            out.insert(e + 2, 3 - digits, '0');
    }
    return out;
}

bool CSettingsFile::writeLine(const std::wstring& key, const std::string& value)
{
    if (!m_forWriting || m_path.empty()) {
        m_ok = false;
        return false;
    }
    std::string line = toBytes(key);
    line.push_back('\t');
    line += value;
    line += "\r\n";
    m_written += line;
    return true;
}

bool CSettingsFile::writeDouble(const std::wstring& key, double value)
{
    return writeLine(key, formatNumber(value));
}

bool CSettingsFile::writeString(const std::wstring& key, const std::wstring& text)
{
    return writeLine(key, toBytes(text));
}

bool CSettingsFile::commit()
{
    if (!m_forWriting || m_path.empty())
        return false;
    const bool ok = m_ok && replaceFile(m_path, m_written) == FileReplaceResult::Saved;
    discard();
    m_ok = false;
    return ok;
}
