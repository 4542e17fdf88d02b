// SPDX-License-Identifier: GPL-3.0-or-later
// Owns a caught error object for the rest of the catch block:
//     catch (IError* e) { CErrorGuard error(e); … }
// deletes it on every way out. To pass it on, `throw error.release();`.
#pragma once

#include <errkit/ierror.h>

class CErrorGuard {
public:
    explicit CErrorGuard(IError* error) noexcept
        : m_error(error)
    {
    }
    ~CErrorGuard() { delete m_error; }
    CErrorGuard(const CErrorGuard&) = delete;
    CErrorGuard& operator=(const CErrorGuard&) = delete;

    IError* get() const noexcept { return m_error; }
    IError* operator->() const noexcept { return m_error; }
    const IError& operator*() const noexcept { return *m_error; }
    explicit operator bool() const noexcept { return m_error != nullptr; }
    // The whole report; empty for a null error.
    std::wstring format() const { return m_error ? m_error->format() : std::wstring(); }
    // Gives the error up (to rethrow it); the guard then deletes nothing.
    IError* release() noexcept
    {
        IError* error = m_error;
        m_error = nullptr;
        return error;
    }

private:
    IError* m_error;
};
