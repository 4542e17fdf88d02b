// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/langfile.h>

#include <app/platform/boundedread.h>
#include <app/platform/log.h>

#include <algorithm>

namespace {

// The line reader's buffer holds 2048 characters, one of them the terminator.
constexpr std::size_t kMaxLine = 2047;
// Language files hold a few hundred entries (some 50 kB); anything past this is not one.
constexpr std::size_t kMaxFileBytes = 4u << 20;

// UTF-16 to text in one pass: pairs of surrogates joined, a lone one
// replaced, and the escapes \t, \r and \n turned into their characters.
std::wstring decodeText(std::u16string_view units)
{
    std::wstring text;
    text.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        if (c == u'\\' && i + 1 < units.size()) {
            const char16_t next = units[i + 1];
            if (next == u't' || next == u'r' || next == u'n') {
                text.push_back(next == u't' ? L'\t' : next == u'r' ? L'\r' : L'\n');
                ++i;
                continue;
            }
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            text.push_back(static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            text.push_back(L'\uFFFD');
        } else {
            text.push_back(static_cast<wchar_t>(c));
        }
    }
    return text;
}

void addLine(std::unordered_map<std::wstring, std::wstring>& table, std::u16string_view piece)
{
    // The reader sees a C string: a NUL ends the line's text.
    if (const auto nul = piece.find(u'\0'); nul != std::u16string_view::npos)
        piece = piece.substr(0, nul);
    if (!piece.empty() && piece.back() == u'\n')
        piece.remove_suffix(1);
    if (!piece.empty() && piece.back() == u'\r')
        piece.remove_suffix(1);
    const auto tab = piece.find(u'\t');
    if (tab == std::u16string_view::npos)
        return;
    // emplace keeps an existing entry: the first occurrence of a key wins.
    table.emplace(decodeText(piece.substr(0, tab)), decodeText(piece.substr(tab + 1)));
}

} // namespace

std::shared_ptr<const CLangFile::Table> CLangFile::parse(std::string_view bytes)
{
    auto table = std::make_shared<Table>();
    std::size_t start = 0;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        start = 2;
    const std::size_t units = (bytes.size() - start) / 2;
    std::u16string piece;
    piece.reserve(kMaxLine);
    std::size_t i = 0;
    while (i < units) {
        piece.clear();
        while (i < units && piece.size() < kMaxLine) {
            const auto lo = static_cast<unsigned char>(bytes[start + 2 * i]);
            const auto hi = static_cast<unsigned char>(bytes[start + 2 * i + 1]);
            const auto c = static_cast<char16_t>(lo | hi << 8);
            ++i;
            piece.push_back(c);
            if (c == u'\n')
                break;
        }
        addLine(*table, piece);
    }
    return table;
}

std::optional<std::string> CLangFile::readFile(const std::string& path)
{
    std::string bytes;
    const BoundedReadResult read = readBoundedFile(path, kMaxFileBytes, bytes);
    if (read == BoundedReadResult::Read)
        return bytes;
    logWarning("lang", path + ": not taken as a language file, " + describeBoundedRead(read, kMaxFileBytes));
    return std::nullopt;
}

bool CLangFile::open(const std::string& path)
{
    std::optional<std::string> bytes = readFile(path);
    const bool ok = bytes.has_value();
    const std::lock_guard<std::mutex> lock(m_mutex);
    // The table is built on the first look-up, not here.
    m_table.reset();
    m_unparsed = std::move(bytes);
    m_unread = false;
    m_path = path;
    return ok;
}

void CLangFile::openLater(const std::string& path)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_table.reset();
    m_unparsed.reset();
    m_unread = true;
    m_path = path;
}

void CLangFile::readPending() const
{
    if (!m_unread)
        return;
    m_unread = false;
    m_unparsed = readFile(m_path);
}

void CLangFile::openBytes(std::string_view bytes)
{
    auto table = parse(bytes);
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_table = std::move(table);
    m_unparsed.reset();
    m_unread = false;
    m_path.clear();
}

void CLangFile::close()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_table.reset();
    m_unparsed.reset();
    m_unread = false;
    m_path.clear();
}

bool CLangFile::isOpen() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    readPending();
    return m_table != nullptr || m_unparsed.has_value();
}

std::string CLangFile::path() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_path;
}

std::wstring CLangFile::translate(const std::wstring& text) const
{
    std::shared_ptr<const Table> table;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        readPending();
        if (m_unparsed) {
            m_table = parse(*m_unparsed);
            m_unparsed.reset();
        }
        table = m_table;
    }
    if (!table)
        return text;
    const auto entry = table->find(text);
    return entry == table->end() ? text : entry->second;
}
