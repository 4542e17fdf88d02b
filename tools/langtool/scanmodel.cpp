// SPDX-License-Identifier: GPL-3.0-or-later
#include "scanmodel.h"

namespace langscan {

bool isPunct(const SToken& t, const char* p)
{
    return t.kind == TokKind::Punct && t.text == p;
}

bool isIdent(const SToken& t, const char* w)
{
    return t.kind == TokKind::Ident && (!w || t.text == w);
}

bool isOpen(const SToken& t)
{
    return t.kind == TokKind::Punct && (t.text == "(" || t.text == "{" || t.text == "[");
}

bool isClose(const SToken& t)
{
    return t.kind == TokKind::Punct && (t.text == ")" || t.text == "}" || t.text == "]");
}

// Index of the bracket closing the one at open; tokens.size() when unbalanced.
std::size_t matchClose(const Tokens& t, std::size_t open)
{
    int depth = 0;
    for (std::size_t i = open; i < t.size(); ++i) {
        if (isOpen(t[i]))
            ++depth;
        else if (isClose(t[i]) && --depth == 0)
            return i;
    }
    return t.size();
}

// The top-level comma-separated pieces of [begin, end).
std::vector<SRange> splitTop(const Tokens& t, std::size_t begin, std::size_t end)
{
    std::vector<SRange> out;
    int depth = 0;
    std::size_t start = begin;
    for (std::size_t i = begin; i < end; ++i) {
        if (isOpen(t[i]))
            ++depth;
        else if (isClose(t[i]))
            --depth;
        else if (depth == 0 && isPunct(t[i], ",")) {
            out.push_back({ start, i });
            start = i + 1;
        }
    }
    if (start < end)
        out.push_back({ start, end });
    return out;
}

bool hasTopLevel(const Tokens& t, SRange r, const char* p)
{
    int depth = 0;
    for (std::size_t i = r.begin; i < r.end; ++i) {
        if (isOpen(t[i]))
            ++depth;
        else if (isClose(t[i]))
            --depth;
        else if (depth == 0 && isPunct(t[i], p))
            return true;
    }
    return false;
}

bool isTextType(const Tokens& t, std::size_t begin, std::size_t end)
{
    for (std::size_t i = begin; i < end; ++i)
        if (t[i].kind == TokKind::Ident
            && (t[i].text == "wchar_t" || t[i].text.find("wstring") != std::string::npos || t[i].text == "QString"))
            return true;
    return false;
}

std::vector<std::string> paramNames(const Tokens& t, std::size_t begin, std::size_t end)
{
    std::vector<std::string> names;
    for (const SRange p : splitTop(t, begin, end)) {
        std::size_t stop = p.end;
        for (std::size_t q = p.begin; q < p.end; ++q)
            if (isPunct(t[q], "=")) {
                stop = q;
                break;
            }
        std::string name;
        for (std::size_t q = p.begin; q < stop; ++q)
            if (isIdent(t[q]))
                name = t[q].text;
        names.push_back(name);
    }
    return names;
}

const std::set<std::string>& keywords()
{
    static const std::set<std::string> words { "if", "for", "while", "switch", "return", "catch", "sizeof", "alignof",
        "decltype", "static_assert", "noexcept", "new", "delete", "throw", "case", "co_return" };
    return words;
}

// Whether the member name at t[i] (after . or ->) is a translated member of a
// struct the file can see.
bool translatedMember(const std::vector<SStruct>& structs, const std::set<std::pair<std::size_t, std::size_t>>& fields,
    const std::function<bool(std::size_t)>& visible, const std::string& member)
{
    for (const auto& [s, m] : fields)
        if (structs[s].members[m].name == member && visible(structs[s].file))
            return true;
    return false;
}

// The member named last in a chain inside r (row.text, kRows[i]->label), if the
// chain ends there.
std::optional<std::string> lastMember(const Tokens& t, SRange r)
{
    for (std::size_t i = r.begin; i + 1 < r.end; ++i) {
        if ((isPunct(t[i], ".") || isPunct(t[i], "->")) && isIdent(t[i + 1])) {
            const std::size_t next = i + 2;
            if (next < r.end
                && (isPunct(t[next], "(") || isPunct(t[next], ".") || isPunct(t[next], "->") || isPunct(t[next], "[")))
                continue;
            return t[i + 1].text;
        }
    }
    return std::nullopt;
}

} // namespace langscan
