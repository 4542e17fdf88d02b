// SPDX-License-Identifier: GPL-3.0-or-later
// A small C++ tokenizer for the text catalogue: identifiers, numbers, string
// literals (decoded, adjacent literals not yet merged), punctuation. Comments
// and preprocessor lines are dropped; the project headers a file includes are
// kept aside. Enough to find calls, tables and struct members, not a parser.
#pragma once

#include <string>
#include <vector>

enum class TokKind { Ident, Number, String, Char, Punct };

struct SToken {
    TokKind kind;
    std::string text; // identifier, number or punctuation; the literal as written for strings
    std::wstring value; // strings: the decoded text
    bool wide = false; // strings: an L"…" literal
    int line = 0;
};

struct SSourceFile {
    std::string path; // relative to the scanned root
    std::vector<SToken> tokens;
    std::vector<std::string> includes; // "<a/b.h>" and "a.h" includes, as written
    // Function-like macros whose expansion holds top-level commas: name → commas.
    std::vector<std::pair<std::string, int>> commaMacros;
};

// Decodes UTF-8 (invalid bytes become U+FFFD).
std::wstring utf8ToWide(const std::string& text);
std::string wideToUtf8(const std::wstring& text);

SSourceFile tokenizeSource(const std::string& path, const std::string& content);
