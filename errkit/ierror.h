// SPDX-License-Identifier: GPL-3.0-or-later
// Error objects: every failure travels as a heap object derived from IError,
// thrown as a pointer. The catcher owns the thrown object and deletes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IError {
public:
    IError();
    explicit IError(IError* prev);
    IError(uint32_t code, const wchar_t* text, int32_t line, const wchar_t* file);
    IError(uint32_t code, const wchar_t* text, IError* prev, int32_t line, const wchar_t* file);
    // A copy shares the previous error with its source; the chain is deleted
    // when the last error object holding it is destroyed.
    IError(const IError& other);
    IError& operator=(const IError& other);
    virtual ~IError();

    uint32_t getCode() const { return m_code; }
    int32_t getLine() const { return m_line; }
    const std::wstring& getText() const { return m_text; }
    const std::wstring& getFile() const { return m_file; }
    IError* getPrev() const { return m_prev.get(); }

    void setCode(uint32_t code) { m_code = code; }
    void setLine(int32_t line) { m_line = line; }
    void setText(const wchar_t* text) { m_text = text ? text : L""; }
    void setFile(const wchar_t* file) { m_file = file ? file : L""; }
    // Takes ownership of prev; the previous error held so far is released.
    void setPrev(IError* prev);

    // Entry [code] of the message table, entry 0 for a code beyond it.
    const std::wstring& getMsg() const;
    virtual std::wstring name() const;
    // The whole report, previous errors included, with CR LF line ends.
    virtual std::wstring format() const;

protected:
    // Appends this class's messages; every constructor of a derived class calls its own.
    virtual void setMsgs();

    std::shared_ptr<IError> m_prev;
    uint32_t m_code = 0;
    int32_t m_line = 0;
    std::wstring m_text;
    std::wstring m_file;
    std::vector<std::wstring> m_messages;
};

// Narrow text in the ANSI code page of the Polish system (Windows-1250) to wide,
// one wide character per byte.
std::wstring ansi2unicode(const std::string& text);

// The answer to an exhausted heap: throws a new CRunTime with code 6.
[[noreturn]] void throw_no_mem(std::size_t size);
