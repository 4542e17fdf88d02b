// SPDX-License-Identifier: GPL-3.0-or-later
#include "cpptokens.h"

#include <app/platform/textcodec.h>

#include <cctype>

std::wstring utf8ToWide(const std::string& text)
{
    return fromUtf8(text);
}

std::string wideToUtf8(const std::wstring& text)
{
    return toUtf8(text);
}

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The body of a non-raw literal (between the quotes), escapes resolved.
std::wstring decodeLiteral(const std::string& body)
{
    std::string bytes; // UTF-8 runs between escapes
    std::wstring out;
    auto flush = [&] {
        out += utf8ToWide(bytes);
        bytes.clear();
    };
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\\' || i + 1 >= body.size()) {
            bytes.push_back(body[i]);
            continue;
        }
        flush();
        const char e = body[++i];
        switch (e) {
        case 'n':
            out.push_back(L'\n');
            break;
        case 't':
            out.push_back(L'\t');
            break;
        case 'r':
            out.push_back(L'\r');
            break;
        case '0':
            out.push_back(L'\0');
            break;
        case 'a':
            out.push_back(L'\a');
            break;
        case 'b':
            out.push_back(L'\b');
            break;
        case 'f':
            out.push_back(L'\f');
            break;
        case 'v':
            out.push_back(L'\v');
            break;
        case 'x': {
            char32_t v = 0;
            while (i + 1 < body.size() && hexValue(body[i + 1]) >= 0)
                v = v * 16 + static_cast<char32_t>(hexValue(body[++i]));
            out.push_back(static_cast<wchar_t>(v));
            break;
        }
        case 'u':
        case 'U': {
            const int digits = e == 'u' ? 4 : 8;
            char32_t v = 0;
            for (int k = 0; k < digits && i + 1 < body.size() && hexValue(body[i + 1]) >= 0; ++k)
                v = v * 16 + static_cast<char32_t>(hexValue(body[++i]));
            out.push_back(static_cast<wchar_t>(v));
            break;
        }
        default:
            out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(e)));
            break;
        }
    }
    flush();
    return out;
}

bool identStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool identChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

} // namespace

SSourceFile tokenizeSource(const std::string& path, const std::string& s)
{
    SSourceFile file;
    file.path = path;
    int line = 1;
    bool lineStart = true;
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const char c = s[i];
        if (c == '\n') {
            ++line;
            lineStart = true;
            ++i;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '/') {
            while (i < n && s[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            i += 2;
            while (i + 1 < n && !(s[i] == '*' && s[i + 1] == '/')) {
                if (s[i] == '\n')
                    ++line;
                ++i;
            }
            i += 2;
            continue;
        }
        if (c == '#' && lineStart) {
            std::string directive;
            while (i < n && s[i] != '\n') {
                if (s[i] == '\\' && i + 1 < n && s[i + 1] == '\n') {
                    ++line;
                    i += 2;
                    continue;
                }
                directive.push_back(s[i++]);
            }
            // "#define NAME(args) a, b" hides arguments from a call's commas.
            if (const auto def = directive.find("define"); def != std::string::npos) {
                std::size_t k = directive.find_first_not_of(" \t", def + 6);
                std::size_t e = k;
                while (e < directive.size() && identChar(directive[e]))
                    ++e;
                if (k != std::string::npos && e > k && e < directive.size() && directive[e] == '(') {
                    const std::size_t close = directive.find(')', e);
                    int depth = 0;
                    int commas = 0;
                    for (std::size_t q = close == std::string::npos ? directive.size() : close + 1;
                         q < directive.size(); ++q) {
                        const char d = directive[q];
                        depth += d == '(' || d == '[' || d == '{';
                        depth -= d == ')' || d == ']' || d == '}';
                        commas += depth == 0 && d == ',';
                    }
                    if (commas > 0)
                        file.commaMacros.emplace_back(directive.substr(k, e - k), commas);
                }
            }
            const auto inc = directive.find("include");
            if (inc != std::string::npos) {
                const auto open = directive.find_first_of("<\"", inc);
                const auto close = open == std::string::npos ? open : directive.find_first_of(">\"", open + 1);
                if (close != std::string::npos)
                    file.includes.push_back(directive.substr(open + 1, close - open - 1));
            }
            continue;
        }
        lineStart = false;
        SToken tok { TokKind::Punct, {}, {}, false, line };
        if (identStart(c)) {
            std::size_t j = i;
            while (j < n && identChar(s[j]))
                ++j;
            std::string word = s.substr(i, j - i);
            const bool prefix = word == "L" || word == "u8" || word == "u" || word == "U" || word == "LR" || word == "R"
                || word == "u8R" || word == "uR" || word == "UR";
            if (prefix && j < n && (s[j] == '"' || s[j] == '\'')) {
                if (s[j] == '\'') {
                    std::size_t k = j + 1;
                    while (k < n && s[k] != '\'') {
                        k += s[k] == '\\' ? 2 : 1;
                    }
                    tok.kind = TokKind::Char;
                    tok.text = s.substr(i, k + 1 - i);
                    i = k + 1;
                    file.tokens.push_back(std::move(tok));
                    continue;
                }
                tok.kind = TokKind::String;
                tok.wide = word[0] == 'L';
                if (word.back() == 'R') {
                    const std::size_t paren = s.find('(', j);
                    const std::string delim = ")" + s.substr(j + 1, paren - j - 1) + "\"";
                    const std::size_t end = s.find(delim, paren);
                    const std::string body = s.substr(paren + 1, end - paren - 1);
                    for (const char b : body)
                        line += b == '\n';
                    tok.value = utf8ToWide(body);
                    tok.text = s.substr(i, end + delim.size() - i);
                    i = end + delim.size();
                } else {
                    std::size_t k = j + 1;
                    while (k < n && s[k] != '"' && s[k] != '\n')
                        k += s[k] == '\\' ? 2 : 1;
                    tok.value = decodeLiteral(s.substr(j + 1, k - j - 1));
                    tok.text = s.substr(i, k + 1 - i);
                    i = k + 1;
                }
                file.tokens.push_back(std::move(tok));
                continue;
            }
            tok.kind = TokKind::Ident;
            tok.text = std::move(word);
            i = j;
            file.tokens.push_back(std::move(tok));
            continue;
        }
        if (std::isdigit(static_cast<unsigned char>(c))
            || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            std::size_t j = i;
            while (j < n
                && (identChar(s[j]) || s[j] == '.' || (s[j] == '\'' && j + 1 < n && identChar(s[j + 1]))
                    || ((s[j] == '+' || s[j] == '-') && (s[j - 1] == 'e' || s[j - 1] == 'E' || s[j - 1] == 'p'))))
                ++j;
            tok.kind = TokKind::Number;
            tok.text = s.substr(i, j - i);
            i = j;
            file.tokens.push_back(std::move(tok));
            continue;
        }
        if (c == '"') {
            std::size_t k = i + 1;
            while (k < n && s[k] != '"' && s[k] != '\n')
                k += s[k] == '\\' ? 2 : 1;
            tok.kind = TokKind::String;
            tok.value = decodeLiteral(s.substr(i + 1, k - i - 1));
            tok.text = s.substr(i, k + 1 - i);
            i = k + 1;
            file.tokens.push_back(std::move(tok));
            continue;
        }
        if (c == '\'') {
            std::size_t k = i + 1;
            while (k < n && s[k] != '\'' && s[k] != '\n')
                k += s[k] == '\\' ? 2 : 1;
            tok.kind = TokKind::Char;
            tok.text = s.substr(i, k + 1 - i);
            i = k + 1;
            file.tokens.push_back(std::move(tok));
            continue;
        }
        if ((c == ':' && i + 1 < n && s[i + 1] == ':') || (c == '-' && i + 1 < n && s[i + 1] == '>')) {
            tok.text = s.substr(i, 2);
            i += 2;
        } else {
            tok.text = std::string(1, c);
            ++i;
        }
        file.tokens.push_back(std::move(tok));
    }
    return file;
}
