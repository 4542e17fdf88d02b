// SPDX-License-Identifier: GPL-3.0-or-later
// Finds every text the program passes to translate(), from its sources.
//
// How texts reach translate():
//  * calls: translate(…) and every function that hands one of its parameters
//    on to translate() or to another such function (found from the function
//    bodies, repeated until nothing new turns up) or stores it in a translated
//    member; the literals of that argument count, and named constants
//    (kText, kTexts[i]) are looked up where they are defined;
//  * members: a text member of a struct that reaches translate() (row.text,
//    f->label) makes the literals at that member's place in every brace row of
//    the struct's shape (and .member = … assignments) count; a row that puts
//    another struct's member there makes that member translated too;
//  * page layout rows of a drop-down list carry one item a line: each counts.
// A literal joined at run time to something else (L"x " + number) is not asked
// for as written: it is reported as a composite for the include list instead.
// Texts without a letter are never catalogue texts.
#pragma once

#include "cpptokens.h"

#include <map>
#include <set>
#include <string>
#include <vector>

struct SScanResult {
    std::map<std::wstring, std::vector<std::string>> texts; // text → "file:line" where found
    std::vector<std::string> composites; // "file:line: literal" of run-time joined texts
};

class CTextScanner {
public:
    void addFile(const std::string& path, const std::string& content);
    SScanResult scan() const;

private:
    std::vector<SSourceFile> m_files;
};

bool hasLetter(const std::wstring& text);
