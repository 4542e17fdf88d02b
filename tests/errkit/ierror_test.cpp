// SPDX-License-Identifier: GPL-3.0-or-later
// Error objects: the formatted report byte for byte, the message tables,
// ownership of error chains, the Windows-1250 decoding and throw_no_mem.
#include <errkit/ierror.h>
#include <errkit/ierrorhelper.h>
#include <errkit/runtime.h>

#include <gtest/gtest.h>

namespace {

const std::wstring kDash(68, L'-');

std::wstring report(const std::wstring& cls, const std::wstring& code, const std::wstring& msg,
                    const std::wstring& text, const std::wstring& file, const std::wstring& line,
                    const std::wstring& related)
{
    return L"\r\n" + kDash + L"\r\nklasa:\t\t" + cls + L"\r\nkod:\t\t" + code + L"\r\nznaczenie:\t" + msg
        + L"\r\nrozszerzone:\t" + text + L"\r\nplik:\t\t" + file + L"\r\nlinia:\t\t" + line
        + L"\r\npowiązany:\t" + related + L"\r\n" + kDash;
}

TEST(IErrorFormat, SingleErrorHasEveryLineWithCrLf)
{
    IError e(4, L"opis", 17, L"plik");
    EXPECT_EQ(e.format(), report(L"IError", L"4", L"Błąd czasu wykonania", L"opis", L"plik", L"17", L"Brak"));
}

TEST(IErrorFormat, ChainPutsOlderReportAfterNizej)
{
    auto* older = new CRunTime(5, L"stary", 10, L"a");
    CRunTime newer(6, L"nowy", older, 20, L"b");
    const std::wstring olderReport
        = report(L"CRunTime", L"5", L"Przekroczyłeś dozwolony zakres.", L"stary", L"a", L"10", L"Brak");
    EXPECT_EQ(newer.format(),
              report(L"CRunTime", L"6", L"Nie udało się dynamicznie przydzielić pamięci.", L"nowy", L"b", L"20",
                     L"Niżej" + olderReport));
}

TEST(IErrorFormat, CodeThreeIsTheShortRethrowForm)
{
    CRunTime e(3, L"tekst", new CRunTime(5, L"x", 1, L"f"), 9, L"g");
    EXPECT_EQ(e.format(), L"Błąd przerzucony!\r\ntekst");
}

TEST(IErrorFormat, CodeBeyondTableUsesMessageZero)
{
    IError base(5, L"", 0, L"");
    EXPECT_EQ(base.getMsg(), L"Błąd z poza zdefiniowanego zakresu");
    CRunTime rt(10, L"", 0, L"");
    EXPECT_EQ(rt.getMsg(), L"Błąd z poza zdefiniowanego zakresu");
    CRunTime minusOne(static_cast<uint32_t>(-1), L"", 0, L"");
    EXPECT_NE(minusOne.format().find(L"kod:\t\t4294967295\r\n"), std::wstring::npos);
    EXPECT_NE(minusOne.format().find(L"znaczenie:\tBłąd z poza zdefiniowanego zakresu\r\n"), std::wstring::npos);
}

TEST(IErrorFormat, EmptyTextAndFileKeepTheirLines)
{
    IError e;
    EXPECT_EQ(e.format(), report(L"IError", L"0", L"Błąd z poza zdefiniowanego zakresu", L"", L"", L"0", L"Brak"));
}

TEST(IErrorMessages, TablesOfBothClasses)
{
    const wchar_t* const expected[] = {
        L"Błąd z poza zdefiniowanego zakresu", L"Operacja nie zaimplementowana", L"", L"", L"Błąd czasu wykonania",
        L"Przekroczyłeś dozwolony zakres.", L"Nie udało się dynamicznie przydzielić pamięci.",
        L"Operacja nie zaimplementowana.", L"Operacja zaimplementowana częściowo.", L"Błąd, errLast nie jest błędem.",
    };
    for (uint32_t code = 0; code < 10; ++code) {
        CRunTime e(code, L"", 0, L"");
        EXPECT_EQ(e.getMsg(), expected[code]) << code;
        if (code < 5) {
            IError b(code, L"", 0, L"");
            EXPECT_EQ(b.getMsg(), expected[code]) << code;
        }
    }
    EXPECT_EQ(CRunTime().name(), L"CRunTime");
    EXPECT_EQ(IError().name(), L"IError");
}

TEST(IErrorOwnership, DestroyingNewestDestroysChainAndCopiesShareIt)
{
    auto* root = new CRunTime(5, L"root", 1, L"r");
    auto* middle = new CRunTime(6, L"mid", root, 2, L"m");
    auto* newest = new IError(4, L"new", middle, 3, L"n");
    {
        IError copy(*newest);
        EXPECT_EQ(copy.getPrev(), middle);
        IError assigned;
        assigned = copy;
        EXPECT_EQ(assigned.getPrev(), middle);
        EXPECT_EQ(assigned.format(), newest->format());
    }
    // The copies are gone; the chain must still be alive for the original.
    EXPECT_EQ(newest->getPrev()->getPrev()->getText(), L"root");
    delete newest; // ASan reports a leak or a double free here if ownership is wrong
}

TEST(IErrorOwnership, SetPrevReplacesAndOwns)
{
    IError e;
    e.setPrev(new CRunTime(5, L"a", 1, L"a"));
    e.setPrev(new CRunTime(6, L"b", 1, L"b"));
    ASSERT_NE(e.getPrev(), nullptr);
    EXPECT_EQ(e.getPrev()->getText(), L"b");
    e.setText(L"t");
    e.setFile(L"f");
    e.setLine(7);
    e.setCode(4);
    EXPECT_EQ(e.getText(), L"t");
    EXPECT_EQ(e.getFile(), L"f");
    EXPECT_EQ(e.getLine(), 7);
}

TEST(ThrowNoMem, ThrowsRunTimeCodeSixWithExactText)
{
    try {
        throw_no_mem(42);
        FAIL() << "returned";
    } catch (IError* e) {
        EXPECT_EQ(e->name(), L"CRunTime");
        EXPECT_EQ(e->getCode(), 6u);
        EXPECT_EQ(e->getLine(), 162);
        EXPECT_EQ(e->getFile(), L"ierror");
        EXPECT_EQ(e->getText(), L"rtl_new_heandler(size_t size)\n\t\tPróba przydzielenia: 42 bajtów nie powidła się.");
        EXPECT_EQ(e->getPrev(), nullptr);
        delete e;
    }
}

class Raiser : public IErrorHelper<CRunTime> {
public:
    void fail() { _throw(7, L"raised", 33, ansi2unicode("raiser").c_str()); }
    void wrap(IError* prev) { re_throw(8, L"wrapped", prev, 44, L"raiser"); }
};

TEST(IErrorHelper, ThrowAndRethrowCreateTheHelpersClass)
{
    Raiser r;
    IError* caught = nullptr;
    try {
        r.fail();
    } catch (CRunTime* e) {
        caught = e;
    }
    ASSERT_NE(caught, nullptr);
    EXPECT_EQ(caught->getMsg(), L"Operacja nie zaimplementowana.");
    try {
        r.wrap(caught);
    } catch (IError* e) {
        EXPECT_EQ(e->getCode(), 8u);
        EXPECT_EQ(e->getPrev(), caught);
        EXPECT_EQ(e->getLine(), 44);
        delete e;
    }
}

TEST(Ansi2Unicode, DecodesWindows1250)
{
    EXPECT_EQ(ansi2unicode(""), L"");
    EXPECT_EQ(ansi2unicode("abc 123"), L"abc 123");
    EXPECT_EQ(ansi2unicode("\xB9\xEA\xB3\xF1\xF3\x9C\x9F\xBF"), L"ąęłńóśźż");
    EXPECT_EQ(ansi2unicode("\xA5\xCA\xA3\xD1\xD3\x8C\x8F\xAF"), L"ĄĘŁŃÓŚŹŻ");
    EXPECT_EQ(ansi2unicode("\x80\xFF").size(), 2u);
    EXPECT_EQ(ansi2unicode("\x80"), L"\u20AC");
}

} // namespace
