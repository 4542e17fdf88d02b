// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers every korvana-cli command uses: error output and the --port value.
#include "cli.h"

#include <app/data/settingsfile.h>
#include <app/data/translate.h>
#include <app/device/writesession.h>
#include <app/platform/boundedread.h>
#include <app/platform/iporttable.h>
#include <app/platform/textcodec.h>
#include <app/platform/log.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <cstdio>

#include <cctype>
#include <iostream>

int usageError(const std::string& command, const std::string& message)
{
    std::cerr << "korvana-cli: " << message << "\n";
    for (const auto& c : cliCommands()) {
        if (command == c.name)
            std::cerr << "usage: korvana-cli [--port P] " << c.name << (*c.usage ? " " : "") << c.usage << "\n";
    }
    if (command.empty())
        std::cerr << "try: korvana-cli --help\n";
    return kExitUsage;
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int failed(const std::string& message)
{
    std::cerr << "korvana-cli: " << message << "\n";
    return kExitFailed;
}

int settingsReadFailed(const std::string& path)
{
    std::string message = toUtf8(translate(L"Nie można wczytać ustawień z pliku")) + ": " + path;
    const BoundedReadResult why = probeBoundedFile(path, CSettingsFile::kMaxFileBytes);
    if (why == BoundedReadResult::NotRegularFile || why == BoundedReadResult::TooLarge)
        message += " (" + describeBoundedRead(why, CSettingsFile::kMaxFileBytes) + ")";
    return failed(message);
}

int failed(const CErrorGuard& error)
{
    if (!error)
        return failed("unknown error");
    logMessage(LogLevel::Error, "cli", error.format());
    std::string text = toUtf8(error->getText());
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        text.insert(at + 1, "  ");
    std::cerr << "korvana-cli: " << toUtf8(error->getMsg()) << "\n  " << text << "\n";
    // The error ended a write with the device: what it left in the car.
    if (!CWriteSession::lastLeftChanged().empty())
        return printLeftChanged(CWriteSession::lastLeftChanged());
    return kExitFailed;
}

bool isPortArgument(const std::string& value, std::string& message)
{
    if (value.find('/') != std::string::npos)
        return true;
    std::string digits = value;
    if (digits.size() > 3 && std::toupper(static_cast<unsigned char>(digits[0])) == 'C'
        && std::toupper(static_cast<unsigned char>(digits[1])) == 'O'
        && std::toupper(static_cast<unsigned char>(digits[2])) == 'M')
        digits = digits.substr(3);
    unsigned long n = 0;
    bool ok = !digits.empty() && digits.size() <= 3;
    for (char c : digits) {
        ok = ok && std::isdigit(static_cast<unsigned char>(c));
        n = n * 10 + static_cast<unsigned long>(c - '0');
    }
    if (!ok || n < 1 || n > IPortTable::kMaxPort) {
        message = "not a port: \"" + value + "\" (give 1…256, COM1…COM256 or a device path)";
        return false;
    }
    return true;
}

uint32_t resolvePort(IPortTable& ports, const std::string& value, std::string& message)
{
    if (!isPortArgument(value, message))
        return 0;
    if (value.find('/') != std::string::npos) {
        const uint32_t n = ports.addPath(value, "--port");
        if (n == 0)
            message = "no free port number left for " + value;
        return n;
    }
    std::string digits = value;
    if (!std::isdigit(static_cast<unsigned char>(digits[0])))
        digits = digits.substr(3);
    return static_cast<uint32_t>(std::stoul(digits));
}
