// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue tool: how the scanner finds the texts that reach translate()
// (direct calls, helpers found from their bodies, lambdas, constants, table
// rows of translated members, drop-down items, macros that hide commas, member
// names other classes share) and what it leaves out (logs, handler names, texts
// joined at run time, texts without a letter); the source-table reader's
// verdicts; the language file it writes, read back by the program's reader; and
// the tool on a small tree: include/exclude rules, tests not scanned, verify
// naming what changed, check failing on a missing text but only warning on a
// stale one, and a broken table that leaves the last good file in place.
#include <catalogue.h>
#include <langtable.h>
#include <textscanner.h>

#include <app/data/langfile.h>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

namespace {

std::set<std::wstring> textsOf(
    const std::vector<std::pair<std::string, std::string>>& files, std::vector<std::string>* composites = nullptr)
{
    CTextScanner scanner;
    for (const auto& [path, content] : files)
        scanner.addFile(path, content);
    const SScanResult result = scanner.scan();
    if (composites)
        *composites = result.composites;
    std::set<std::wstring> texts;
    for (const auto& [text, where] : result.texts)
        texts.insert(text);
    return texts;
}

const char* const kTranslateHeader
    = "#pragma once\n#include <string>\nstd::wstring translate(const std::wstring& text);\n";

TEST(Scanner, CallsHelpersAndConstants)
{
    const auto texts
        = textsOf({ { "app/data/translate.h", kTranslateHeader }, { "app/a.cpp", R"src(#include <app/data/translate.h>
namespace {
constexpr const wchar_t* kFailed = L"Nie powiodło się";
const wchar_t* const kNames[] = { L"Pierwszy", L"Drugi" };
void fail(const wchar_t* text) { show(translate(text), L"KORVANA"); }
void report(int code, const std::wstring& line) { fail(line.c_str()); }
}
void f(bool lpg)
{
    fail(L"Błąd zapisu");
    report(3, L"Nie dotyczy"); // passed on as line.c_str(): still the same text
    translate(L"Odczyty");
    translate(lpg ? L"GAZ" : L"BENZYNA");
    translate(L"Dwie " L"części");
    translate(kFailed);
    translate(kNames[1]);
    logInfo("gui", L"zapis do logu");
    auto popup = [this](const wchar_t* title) { return translate(title); };
    popup(L"Plik");
    // translate(L"w komentarzu");
    translate(L"12.5 %");
}
)src" } });
    const std::set<std::wstring> expected { L"Błąd zapisu", L"Odczyty", L"GAZ", L"BENZYNA", L"Dwie części",
        L"Nie powiodło się", L"Pierwszy", L"Drugi", L"Plik", L"Nie dotyczy" };
    EXPECT_EQ(texts, expected);
}

TEST(Scanner, RowsOfTranslatedMembersAndDropDownItems)
{
    const auto texts
        = textsOf({ { "app/data/translate.h", kTranslateHeader }, { "gradctrls/layout/pagelayout.h", R"src(#pragma once
enum class ECtrlKind { Label, ComboBox };
struct SCtrlLayout { int id; ECtrlKind kind; int x; int y; int cx; int cy; const wchar_t* text; };
)src" },
            { "app/page.cpp", R"src(#include <app/data/translate.h>
#include <gradctrls/layout/pagelayout.h>
namespace {
struct SRow { int id; const wchar_t* label; };
struct SOther { const wchar_t* file; int size; };
constexpr SRow kRows[] = { { 1, L"Ciśnienie" }, { 2, L"Temperatura" } };
constexpr SOther kFiles[] = { { L"ABOUT LOGO.tif", 3 } };
constexpr SCtrlLayout kLayout[] = {
    { 10, ECtrlKind::Label, 0, 0, 10, 10, L"Typ paliwa" },
    { 11, ECtrlKind::ComboBox, 0, 0, 10, 10, L"LPG\nCNG\nBenzyna" },
};
}
void build(std::vector<SCtrlLayout>& rows)
{
    for (const SRow& row : kRows)
        rows.push_back({ row.id, ECtrlKind::Label, 0, 0, 1, 1, row.label });
    for (const SCtrlLayout& row : kLayout)
        translate(row.text);
    openFile(kFiles[0].file);
}
)src" } });
    const std::set<std::wstring> expected { L"Typ paliwa", L"LPG", L"CNG", L"Benzyna", L"Ciśnienie", L"Temperatura" };
    EXPECT_EQ(texts, expected);
}

TEST(Scanner, MembersStoredFromParametersAndHiddenCommas)
{
    const auto texts = textsOf({ { "app/data/translate.h", kTranslateHeader },
        { "app/fields.h",
            "#pragma once\nstruct CField { const char* key = \"\"; const wchar_t* label = L\"\"; "
            "const wchar_t* unit = L\"\"; };\n" },
        { "app/fields.cpp", R"src(#include <app/fields.h>
#define MEMBER(path) [](int i) { return i; }, [](int& i, int v) { i = v; }
CField spinField(int id, const wchar_t* label, Get get, Put put, const char* format, const wchar_t* unit)
{
    CField f;
    f.label = label;
    f.unit = unit;
    return f;
}
void table() { spinField(1, L"Ciśnienie robocze", MEMBER(x), "%.2f", L"bar"); }
)src" },
        { "app/show.cpp", R"src(#include <app/fields.h>
#include <app/data/translate.h>
void show(const CField* f) { translate(f->label); translate(f->unit); }
)src" } });
    const std::set<std::wstring> expected { L"Ciśnienie robocze", L"bar" };
    EXPECT_EQ(texts, expected);
}

TEST(Scanner, SharedMemberNamesOnlyTakeTheirOwnClassCalls)
{
    const auto texts = textsOf({ { "app/data/translate.h", kTranslateHeader },
        { "app/calib.h",
            "#pragma once\nclass CCalib {\n void showError(const wchar_t* title, const wchar_t* method);\n};\n" },
        { "app/chart.h", "#pragma once\nclass CChart {\n void showError(const wchar_t* handler);\n};\n" },
        { "app/calib.cpp", R"src(#include <app/calib.h>
#include <app/data/translate.h>
void CCalib::showError(const wchar_t* title, const wchar_t* method) { message(translate(title) + method); }
void CCalib::run() { showError(L"Błąd autokalibracji", L"CCalib::run()"); }
)src" },
        { "app/chart.cpp", R"src(#include <app/chart.h>
void CChart::showError(const wchar_t* handler) { message(std::wstring(L"CChart::") + handler); }
void CChart::onUndo() { showError(L"OnBtnUndo()"); }
)src" } });
    EXPECT_EQ(texts, std::set<std::wstring> { L"Błąd autokalibracji" });
}

TEST(Scanner, TextsJoinedAtRunTimeAreReportedNotCatalogued)
{
    std::vector<std::string> composites;
    const auto texts
        = textsOf({ { "app/data/translate.h", kTranslateHeader }, { "app/err.cpp", R"src(#include <app/data/translate.h>
void add(const std::wstring& text) { list.push_back(translate(text)); }
void build()
{
    for (int k = 1; k <= 8; ++k)
        add(L"Błąd wtryskiwacza " + std::to_wstring(k));
    add(L"Brak sygnału RPM");
    message(translate(L"Trwa inna operacja: ") + name);
}
)src" } },
            &composites);
    EXPECT_EQ(texts, (std::set<std::wstring> { L"Brak sygnału RPM", L"Trwa inna operacja: " }));
    ASSERT_EQ(composites.size(), 1u);
    EXPECT_NE(composites[0].find("app/err.cpp:6"), std::string::npos) << composites[0];
    EXPECT_NE(composites[0].find("Błąd wtryskiwacza "), std::string::npos);
}

TEST(LangTable, VerdictsPerLine)
{
    const SLangTable table = parseLangTable("\xEF\xBB\xBF# comment\n"
                                            "Odczyty\tReadings\r\n"
                                            "\n"
                                            "bez tabulatora\n"
                                            "Odczyty\tReadouts\n"
                                            "Pusty\t\n"
                                            " ms\t ms\n"
                                            "a\tb\tc\n"
                                            "Dwie\\nlinie\tTwo\\nlines");
    ASSERT_EQ(table.entries.size(), 3u);
    EXPECT_EQ(table.entries[0].key, L"Odczyty");
    EXPECT_EQ(table.entries[0].value, L"Readings"); // CR of a CR LF line is no part of it
    EXPECT_EQ(table.entries[1].key, L" ms"); // leading spaces kept
    EXPECT_EQ(table.entries[2].key, L"Dwie\nlinie");
    EXPECT_EQ(table.entries[2].value, L"Two\nlines");
    std::vector<std::pair<int, bool>> verdicts;
    for (const auto& p : table.problems)
        verdicts.emplace_back(p.line, p.fatal);
    const std::vector<std::pair<int, bool>> expected { { 4, true }, { 5, true }, { 6, false }, { 8, true } };
    EXPECT_EQ(verdicts, expected);
}

TEST(LangTable, LineTooLongForTheProgramsReaderIsFatal)
{
    const std::string longText(2050, 'x');
    const SLangTable table = parseLangTable("Długi\t" + longText + "\n");
    EXPECT_TRUE(table.entries.empty());
    ASSERT_EQ(table.problems.size(), 1u);
    EXPECT_TRUE(table.problems[0].fatal);
}

TEST(LangFileOut, ReadBackByTheProgramsReader)
{
    const SLangTable table = parseLangTable("Odczyty\tReadings\n"
                                            " ms jest za duża.\t ms is too large.\n"
                                            "Tab\\tw środku\tTab\\tinside\n"
                                            "Czy chcesz?\\nTak\tDo you?\\r\\nYes\n"
                                            "Błąd czujnika temperatury LPG\tLPG temperature sensor error\n"
                                            "Ελληνικά\tภาษาไทย 😀\n");
    ASSERT_TRUE(table.problems.empty());
    const std::string bytes = languageFileBytes(table.entries);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    // "Odczyty" TAB … CR LF in UTF-16LE right after the BOM.
    EXPECT_EQ(bytes.substr(2, 4), std::string("O\0d\0", 4));
    EXPECT_NE(bytes.find(std::string("\r\0\n\0", 4)), std::string::npos);
    CLangFile file;
    file.openBytes(bytes);
    EXPECT_EQ(file.translate(L"Odczyty"), L"Readings");
    EXPECT_EQ(file.translate(L" ms jest za duża."), L" ms is too large.");
    EXPECT_EQ(file.translate(L"Tab\tw środku"), L"Tab\tinside");
    EXPECT_EQ(file.translate(L"Czy chcesz?\nTak"), L"Do you?\r\nYes");
    EXPECT_EQ(file.translate(L"Ελληνικά"), L"ภาษาไทย \U0001F600");
}

TEST(CatalogueText, EscapesRoundTripAndSortIsByBytes)
{
    std::vector<std::wstring> texts { L"Zapis", L"Ąb", L"Czy?\nTak", L"A\tB", L"Zapis" };
    sortTexts(texts);
    const std::vector<std::wstring> sorted { L"A\tB", L"Czy?\nTak", L"Zapis", L"Ąb" };
    EXPECT_EQ(texts, sorted);
    const std::string written = catalogueText(texts);
    EXPECT_EQ(written, "A\\tB\nCzy?\\nTak\nZapis\nĄb\n");
    EXPECT_EQ(parseCatalogue(written), texts);
}

TEST(CatalogueRules, IncludeAndExcludeNeedAReason)
{
    const SCatalogueRules rules = parseCatalogueRules("# why\n"
                                                      "include\tBłąd wtryskiwacza LPG 1\tbuilt in a loop\n"
                                                      "exclude\tKORVANA\tthe product name\n"
                                                      "include\tbez powodu\n"
                                                      "drop\tx\ty\n");
    EXPECT_EQ(rules.include.size(), 1u);
    EXPECT_TRUE(rules.include.contains(L"Błąd wtryskiwacza LPG 1"));
    EXPECT_TRUE(rules.exclude.contains(L"KORVANA"));
    EXPECT_EQ(rules.problems.size(), 2u);
}

} // namespace

namespace {

namespace fs = std::filesystem;

class ScratchTree {
public:
    ScratchTree()
    {
        std::string pattern = (fs::temp_directory_path() / "langtool-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data());
    }
    ~ScratchTree() { fs::remove_all(m_root); }
    void write(const std::string& relative, const std::string& content)
    {
        fs::create_directories((m_root / relative).parent_path());
        std::ofstream(m_root / relative, std::ios::binary) << content;
    }
    const fs::path& root() const { return m_root; }

private:
    fs::path m_root;
};

// Runs the tool; returns its exit status and what it printed.
std::pair<int, std::string> langtool(const std::string& args)
{
    const std::string command = std::string(KORVANA_LANGTOOL) + " " + args + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    const int status = pipe ? ::pclose(pipe) : -1;
    return { WIFEXITED(status) ? WEXITSTATUS(status) : -1, out };
}

TEST(CatalogueTree, RulesAddAndRemoveTextsAndVerifyNamesTheDifference)
{
    ScratchTree tree;
    tree.write("app/data/translate.h", kTranslateHeader);
    tree.write("app/page.cpp",
        "#include <app/data/translate.h>\nvoid f() { translate(L\"Odczyty\"); "
        "translate(L\"KORVANA\"); }\n");
    tree.write("tests/ignored.cpp", "void t() { translate(L\"Tylko w teście\"); }\n");
    tree.write("data/lang/catalogue-rules.txt",
        "include\tBłąd wtryskiwacza LPG 1\tbuilt in a loop\n"
        "exclude\tKORVANA\tthe product's name\n");
    const SCatalogue catalogue = buildCatalogue(tree.root());
    EXPECT_EQ(catalogue.texts, (std::vector<std::wstring> { L"Błąd wtryskiwacza LPG 1", L"Odczyty" }));
    EXPECT_TRUE(catalogue.unusedRules.empty());

    tree.write("data/lang/catalogue.txt", "Odczyty\nStary tekst\n");
    auto [status, out] = langtool("verify --root " + tree.root().string());
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("added:   Błąd wtryskiwacza LPG 1"), std::string::npos) << out;
    EXPECT_NE(out.find("removed: Stary tekst"), std::string::npos) << out;
    EXPECT_NE(out.find("korvana-langtool update --root"), std::string::npos) << out;

    std::tie(status, out) = langtool("update --root " + tree.root().string());
    EXPECT_EQ(status, 0) << out;
    std::tie(status, out) = langtool("verify --root " + tree.root().string());
    EXPECT_EQ(status, 0) << out;

    // A table lacking a catalogue text fails the check; a key the catalogue lost only warns.
    tree.write("data/lang/ENGLISH.tsv", "Odczyty\tReadings\nStary tekst\tOld text\n");
    std::tie(status, out)
        = langtool("check --root " + tree.root().string() + " " + (tree.root() / "data/lang/ENGLISH.tsv").string());
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("ENGLISH.tsv: missing: Błąd wtryskiwacza LPG 1"), std::string::npos) << out;
    EXPECT_NE(out.find("ENGLISH.tsv:2: warning: not in the catalogue: Stary tekst"), std::string::npos) << out;
    tree.write("data/lang/ENGLISH.tsv",
        "Odczyty\tReadings\nBłąd wtryskiwacza LPG 1\tLPG injector 1 error\n"
        "Stary tekst\tOld text\n");
    std::tie(status, out)
        = langtool("check --root " + tree.root().string() + " " + (tree.root() / "data/lang/ENGLISH.tsv").string());
    EXPECT_EQ(status, 0) << out;
}

TEST(CatalogueTree, BuildRefusesABrokenTableAndKeepsTheOldFile)
{
    ScratchTree tree;
    tree.write("ok.tsv", "Odczyty\tReadings\n");
    tree.write("bad.tsv", "Odczyty\tReadings\nbez tabulatora\n");
    const std::string out = (tree.root() / "KOR_LANG" / "ENGLISH.txt").string();
    auto [status, text] = langtool("build " + (tree.root() / "ok.tsv").string() + " " + out);
    ASSERT_EQ(status, 0) << text;
    const auto size = fs::file_size(out);
    std::tie(status, text) = langtool("build " + (tree.root() / "bad.tsv").string() + " " + out);
    EXPECT_EQ(status, 1);
    EXPECT_NE(text.find("bad.tsv:2: error: no TAB"), std::string::npos) << text;
    EXPECT_EQ(fs::file_size(out), size);
}

} // namespace
