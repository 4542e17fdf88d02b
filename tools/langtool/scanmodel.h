// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner's picture of the sources: token ranges, the structs and
// functions found, the translating functions (sinks), and the token helpers
// the scanner reads the sources with.
#pragma once

#include "cpptokens.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace langscan {

using Tokens = std::vector<SToken>;

struct SRange {
    std::size_t begin;
    std::size_t end; // one past
};

struct SMember {
    std::string name;
    bool text = false; // const wchar_t*, std::wstring …
    bool defaulted = false;
};

struct SStruct {
    std::string name;
    std::size_t file;
    std::vector<SMember> members;
    std::size_t minCount = 0; // rows may leave out defaulted trailing members
};

struct SFunction {
    std::string name;
    std::size_t file;
    bool local; // anonymous namespace or static in a source file
    std::string cls; // C of a C::name definition
    std::vector<std::string> params;
    SRange body;
};

struct SSink {
    std::string name;
    std::size_t arg;
    std::optional<std::size_t> file; // file-local helper
    std::string cls; // a member function whose name other classes use too: only its own class's calls
    bool operator<(const SSink& o) const
    {
        return std::tie(name, arg, file, cls) < std::tie(o.name, o.arg, o.file, o.cls);
    }
};

bool isPunct(const SToken& t, const char* p);
bool isIdent(const SToken& t, const char* w = nullptr);
bool isOpen(const SToken& t);
bool isClose(const SToken& t);
std::size_t matchClose(const Tokens& t, std::size_t open);
std::vector<SRange> splitTop(const Tokens& t, std::size_t begin, std::size_t end);
bool hasTopLevel(const Tokens& t, SRange r, const char* p);
bool isTextType(const Tokens& t, std::size_t begin, std::size_t end);
std::vector<std::string> paramNames(const Tokens& t, std::size_t begin, std::size_t end);
const std::set<std::string>& keywords();
// The member named last in a chain inside r (row.text, kRows[i]->label), if the chain ends there.
std::optional<std::string> lastMember(const Tokens& t, SRange r);
// Whether member is a translated member of a struct defined in a file visible() accepts.
bool translatedMember(const std::vector<SStruct>& structs, const std::set<std::pair<std::size_t, std::size_t>>& fields,
    const std::function<bool(std::size_t)>& visible, const std::string& member);

} // namespace langscan
