// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli raw TYPE HEX: one exchange with the controller, printed as
// "T: b b …" (answer type in decimal, payload bytes in lower-case hex).
#include "cli.h"

#include <app/device/lpgdevice.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <cctype>
#include <cstdio>
#include <iostream>

namespace {

const char* describe(LinkFailure f)
{
    switch (f) {
    case LinkFailure::None:
        break;
    case LinkFailure::ShortWrite:
        return "the port did not take the whole request";
    case LinkFailure::LineError:
        return "the port reported a line error";
    case LinkFailure::ShortHeader:
        return "no answer (fewer than 4 header bytes)";
    case LinkFailure::NoSync:
        return "no 0xAA in the answer header";
    case LinkFailure::ShortRealign:
        return "the answer header broke off after a stray byte";
    case LinkFailure::ShortKey:
        return "the answer broke off before its key word";
    case LinkFailure::ShortPayload:
        return "the answer is shorter than its length byte";
    case LinkFailure::TooShort:
        return "the answer's length byte is 2 or less";
    case LinkFailure::Checksum:
        return "the answer's checksum is wrong";
    }
    return "no valid answer";
}

bool parseType(const std::string& text, uint8_t& type)
{
    if (text.empty() || text.size() > 3)
        return false;
    unsigned value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    type = static_cast<uint8_t>(value);
    return value <= 255;
}

// Each argument holds whole bytes: "010000000000" or "01 00 00" (one or several arguments).
bool parseHex(const std::vector<std::string>& words, std::vector<uint8_t>& out, std::string& message)
{
    for (const auto& arg : words) {
        std::size_t i = 0;
        while (i < arg.size()) {
            if (std::isspace(static_cast<unsigned char>(arg[i]))) {
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < arg.size() && std::isxdigit(static_cast<unsigned char>(arg[end])))
                ++end;
            const bool separated = end == arg.size() || std::isspace(static_cast<unsigned char>(arg[end]));
            if (end == i || !separated || (end - i) % 2 != 0) {
                message = "not hex bytes: " + arg;
                return false;
            }
            for (; i < end; i += 2)
                out.push_back(static_cast<uint8_t>(std::stoul(arg.substr(i, 2), nullptr, 16)));
        }
    }
    if (out.size() > kMaxPayload) {
        message = "a payload holds at most 253 bytes";
        return false;
    }
    return true;
}

} // namespace

int cmdRaw(const CliContext& context)
{
    if (context.args.empty())
        return usageError("raw", "raw needs a message type");
    uint8_t type = 0;
    if (!parseType(context.args[0], type))
        return usageError("raw", "not a message type (0…255): " + context.args[0]);
    std::vector<uint8_t> payload;
    std::string message;
    if (!parseHex({ context.args.begin() + 1, context.args.end() }, payload, message))
        return usageError("raw", message);
    if (context.port.empty())
        return usageError("raw", "raw needs --port");
    const uint32_t n = resolvePort(*context.ports, context.port, message);
    if (n == 0)
        return usageError("raw", message);

    CLPGDevice device(*context.ports);
    ExchangeBuffer buffer {};
    std::copy(payload.begin(), payload.end(), buffer.begin());
    auto length = static_cast<uint8_t>(payload.size());
    LinkFailure why = LinkFailure::None;
    try {
        device.link().configurePort(n);
        if (!device.link().exchange(buffer, length, type, &why))
            return failed(describe(why));
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
    std::string line = std::to_string(type) + ":";
    char two[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(two, sizeof two, " %02x", buffer[i]);
        line += two;
    }
    std::cout << line << '\n';
    return kExitOk;
}
