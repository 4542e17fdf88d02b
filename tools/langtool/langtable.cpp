// SPDX-License-Identifier: GPL-3.0-or-later
#include "langtable.h"

#include "cpptokens.h"

#include <algorithm>
#include <set>

namespace {

// The program's line reader takes 2047 UTF-16 units a line, CR LF included.
constexpr std::size_t kMaxLineUnits = 2047;

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    // A UTF-8 BOM is not part of the first key.
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = 3;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::size_t utf16Units(const std::wstring& text)
{
    std::size_t units = 0;
    for (const wchar_t c : text)
        units += static_cast<char32_t>(c) > 0xFFFF ? 2 : 1;
    return units;
}

void putUtf16(std::string& out, const std::wstring& text)
{
    auto unit = [&](char16_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    for (const wchar_t wc : text) {
        const auto c = static_cast<char32_t>(wc);
        if (c > 0xFFFF) {
            unit(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            unit(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            unit(static_cast<char16_t>(c));
        }
    }
}

} // namespace

std::wstring escapeText(const std::wstring& text)
{
    std::wstring out;
    for (const wchar_t c : text) {
        if (c == L'\t')
            out += L"\\t";
        else if (c == L'\r')
            out += L"\\r";
        else if (c == L'\n')
            out += L"\\n";
        else
            out.push_back(c);
    }
    return out;
}

std::wstring unescapeText(const std::wstring& text)
{
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 1 < text.size()
            && (text[i + 1] == L't' || text[i + 1] == L'r' || text[i + 1] == L'n')) {
            out.push_back(text[i + 1] == L't' ? L'\t' : text[i + 1] == L'r' ? L'\r' : L'\n');
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

SLangTable parseLangTable(const std::string& utf8)
{
    SLangTable table;
    std::map<std::wstring, int> seen;
    const auto lines = splitLines(utf8);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const int lineNo = static_cast<int>(n) + 1;
        const std::wstring line = utf8ToWide(lines[n]);
        if (line.empty() || line[0] == L'#')
            continue;
        const auto tab = line.find(L'\t');
        if (tab == std::wstring::npos) {
            table.problems.push_back({ lineNo, true, "no TAB between the Polish text and its translation" });
            continue;
        }
        if (line.find(L'\t', tab + 1) != std::wstring::npos) {
            table.problems.push_back({ lineNo, true, "more than one TAB (write a TAB inside a text as \\t)" });
            continue;
        }
        if (utf16Units(line) + 2 > kMaxLineUnits) {
            table.problems.push_back({ lineNo, true, "line longer than the program reads (2045 characters)" });
            continue;
        }
        STableEntry entry { unescapeText(line.substr(0, tab)), unescapeText(line.substr(tab + 1)), lineNo };
        if (entry.key.empty()) {
            table.problems.push_back({ lineNo, false, "empty Polish text; line left out" });
            continue;
        }
        if (entry.value.empty()) {
            table.problems.push_back({ lineNo, false,
                "empty translation of \"" + lines[n].substr(0, lines[n].find('\t')) + "\"; line left out" });
            continue;
        }
        const auto [it, fresh] = seen.emplace(entry.key, lineNo);
        if (!fresh) {
            table.problems.push_back({ lineNo, true,
                "duplicate of line " + std::to_string(it->second) + ": \"" + lines[n].substr(0, lines[n].find('\t'))
                    + "\"" });
            continue;
        }
        table.entries.push_back(std::move(entry));
    }
    return table;
}

std::string languageFileBytes(const std::vector<STableEntry>& entries)
{
    std::string out("\xFF\xFE", 2);
    for (const STableEntry& e : entries)
        putUtf16(out, escapeText(e.key) + L"\t" + escapeText(e.value) + L"\r\n");
    return out;
}

std::vector<std::wstring> parseCatalogue(const std::string& utf8)
{
    std::vector<std::wstring> texts;
    for (const std::string& line : splitLines(utf8))
        if (!line.empty())
            texts.push_back(unescapeText(utf8ToWide(line)));
    return texts;
}

std::string catalogueText(const std::vector<std::wstring>& texts)
{
    std::string out;
    for (const std::wstring& text : texts)
        out += wideToUtf8(escapeText(text)) + "\n";
    return out;
}

SCatalogueRules parseCatalogueRules(const std::string& utf8)
{
    SCatalogueRules rules;
    const auto lines = splitLines(utf8);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        if (line.empty() || line[0] == '#')
            continue;
        const auto tab1 = line.find('\t');
        const auto tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        const std::string verb = line.substr(0, tab1);
        if (tab2 == std::string::npos || (verb != "include" && verb != "exclude") || tab2 + 1 >= line.size()) {
            rules.problems.push_back(
                "line " + std::to_string(n + 1) + ": expected include|exclude TAB text TAB reason");
            continue;
        }
        const std::wstring text = unescapeText(utf8ToWide(line.substr(tab1 + 1, tab2 - tab1 - 1)));
        (verb == "include" ? rules.include : rules.exclude)[text] = line.substr(tab2 + 1);
    }
    return rules;
}

void sortTexts(std::vector<std::wstring>& texts)
{
    std::sort(texts.begin(), texts.end(),
        [](const std::wstring& a, const std::wstring& b) { return wideToUtf8(a) < wideToUtf8(b); });
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
}
