// SPDX-License-Identifier: GPL-3.0-or-later
// Gives a class two throw operations bound to its error class T.
// Both create a new T on the heap and throw the pointer; the catcher deletes it.
#pragma once

#include <errkit/ierror.h>

template <class T>
class IErrorHelper {
public:
    virtual ~IErrorHelper() = default;

protected:
    [[noreturn]] virtual void _throw(uint32_t code, const wchar_t* text, int32_t line, const wchar_t* file) const
    {
        throw new T(code, text, line, file);
    }
    // prev becomes the new error's previous error (ownership passes with it).
    [[noreturn]] virtual void re_throw(uint32_t code, const wchar_t* text, IError* prev, int32_t line,
                                       const wchar_t* file) const
    {
        throw new T(code, text, prev, line, file);
    }
};
