// SPDX-License-Identifier: GPL-3.0-or-later
// One module of the controller's fault memory: a message per bit of the
// module's error byte. Messages are translated once, when the module is built,
// so they stay in the language that was active then.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CDeviceErrorBase {
public:
    virtual ~CDeviceErrorBase() = default;

    // The module name, translated each time it is asked for.
    virtual std::wstring name() const = 0;

    // The messages for the set bits of b, bit 0 first; a bit beyond the
    // module's messages yields the unknown-code text with the bit's value.
    std::vector<std::wstring> decode(uint8_t b) const;

    std::size_t messageCount() const { return m_messages.size(); }
    const std::wstring& message(std::size_t bit) const { return m_messages.at(bit); }

protected:
    // Appends the message for the next bit, translated.
    void addMessage(const std::wstring& text);

private:
    std::vector<std::wstring> m_messages;
};
