// SPDX-License-Identifier: GPL-3.0-or-later
#include <errkit/ierror.h>
#include <errkit/runtime.h>

#include <sstream>

namespace {

const wchar_t* const kDashes = L"--------------------------------------------------------------------";

// Windows-1250 upper half; bytes the code page leaves undefined map to the same code point.
const char16_t kCp1250High[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

} // namespace

IError::IError()
{
    IError::setMsgs();
}

IError::IError(IError* prev)
    : m_prev(prev)
{
    IError::setMsgs();
}

IError::IError(uint32_t code, const wchar_t* text, int32_t line, const wchar_t* file)
    : m_code(code)
    , m_line(line)
    , m_text(text ? text : L"")
    , m_file(file ? file : L"")
{
    IError::setMsgs();
}

IError::IError(uint32_t code, const wchar_t* text, IError* prev, int32_t line, const wchar_t* file)
    : m_prev(prev)
    , m_code(code)
    , m_line(line)
    , m_text(text ? text : L"")
    , m_file(file ? file : L"")
{
    IError::setMsgs();
}

IError::IError(const IError& other) = default;
IError& IError::operator=(const IError& other) = default;
IError::~IError() = default;

void IError::setPrev(IError* prev)
{
    if (prev != m_prev.get())
        m_prev.reset(prev);
}

void IError::setMsgs()
{
    m_messages.push_back(L"Błąd z poza zdefiniowanego zakresu");
    m_messages.push_back(L"Operacja nie zaimplementowana");
    m_messages.push_back(L"");
    m_messages.push_back(L"");
    m_messages.push_back(L"Błąd czasu wykonania");
}

const std::wstring& IError::getMsg() const
{
    return m_code < m_messages.size() ? m_messages[m_code] : m_messages[0];
}

std::wstring IError::name() const
{
    return L"IError";
}

std::wstring IError::format() const
{
    if (m_code == 3)
        return L"Błąd przerzucony!\r\n" + m_text;

    std::wstring previous;
    if (m_prev)
        previous = m_prev->format();

    std::wostringstream out;
    out << L"\r\n"
        << kDashes << L"\r\n"
        << L"klasa:\t\t" << name() << L"\r\n"
        << L"kod:\t\t" << m_code << L"\r\n"
        << L"znaczenie:\t" << getMsg() << L"\r\n"
        << L"rozszerzone:\t" << m_text << L"\r\n"
        << L"plik:\t\t" << m_file << L"\r\n"
        << L"linia:\t\t" << m_line << L"\r\n"
        << L"powiązany:\t";
    if (m_prev)
        out << L"Niżej" << previous;
    else
        out << L"Brak";
    out << L"\r\n" << kDashes;
    return out.str();
}

std::wstring ansi2unicode(const std::string& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        out.push_back(byte < 0x80 ? static_cast<wchar_t>(byte) : static_cast<wchar_t>(kCp1250High[byte - 0x80]));
    }
    return out;
}

void throw_no_mem(std::size_t size)
{
    std::wostringstream text;
    text << L"rtl_new_heandler(size_t size)\n\t\tPróba przydzielenia: " << size << L" bajtów nie powidła się.";
    throw new CRunTime(6, text.str().c_str(), 162, L"ierror");
}
