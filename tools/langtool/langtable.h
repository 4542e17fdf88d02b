// SPDX-License-Identifier: GPL-3.0-or-later
// The language source tables (data/lang/<FILE>.tsv: UTF-8, one
// "Polish TAB translation" line per entry, TAB/CR/LF written as \t \r \n) and
// the language files made from them (UTF-16LE with BOM, CR LF, same escapes).
#pragma once

#include <map>
#include <string>
#include <vector>

std::wstring escapeText(const std::wstring& text);
std::wstring unescapeText(const std::wstring& text);

struct STableEntry {
    std::wstring key; // unescaped
    std::wstring value; // unescaped
    int line;
};

struct STableProblem {
    int line;
    bool fatal; // malformed or duplicate: the file cannot be built
    std::string text;
};

struct SLangTable {
    std::vector<STableEntry> entries; // in file order, good lines only
    std::vector<STableProblem> problems;
};

// Parses a table. Lines without a TAB, duplicate keys and lines too long for
// the program's line reader are fatal; empty keys or translations are left out
// with a warning (an empty translation would blank the control).
SLangTable parseLangTable(const std::string& utf8);

// The language file for the entries: BOM, "key TAB value CR LF" each.
std::string languageFileBytes(const std::vector<STableEntry>& entries);

// catalogue.txt: one escaped text a line; returns the unescaped texts.
std::vector<std::wstring> parseCatalogue(const std::string& utf8);
std::string catalogueText(const std::vector<std::wstring>& texts);

// catalogue-rules.txt: "include TAB text TAB reason" / "exclude TAB text TAB reason".
struct SCatalogueRules {
    std::map<std::wstring, std::string> include;
    std::map<std::wstring, std::string> exclude;
    std::vector<std::string> problems;
};
SCatalogueRules parseCatalogueRules(const std::string& utf8);

// The order of the catalogue: by UTF-8 bytes, the same on every machine.
void sortTexts(std::vector<std::wstring>& texts);
