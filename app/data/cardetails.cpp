// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/cardetails.h>

#include <app/data/conversions.h>
#include <app/platform/textcodec.h>
#include <errkit/utf8.h>

#include <charconv>
#include <cstdio>
#include <utility>

namespace {

// The keys of the text form; the history's points have always used the first six.
template <class Visit>
void eachText(CCarDetails& car, Visit visit)
{
    visit("vendor", car.m_carInfo.m_vendor);
    visit("model", car.m_carInfo.m_model);
    visit("engine", car.m_carInfo.m_engine);
    visit("power", car.m_carInfo.m_power);
    visit("year", car.m_carInfo.m_prodYear);
    visit("injectors", car.m_carInfo.m_injectors);
    visit("vin", car.m_vin);
    visit("registration", car.m_registration);
    visit("odometer", car.m_odometer);
    visit("customer", car.m_customer);
    visit("phone", car.m_phone);
}

constexpr const char* kPressureKey = "pressure";

std::string oneLine(const std::wstring& value)
{
    std::string text = toUtf8(value);
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

} // namespace

std::string CCarDetails::toText() const
{
    std::string text;
    CCarDetails copy = *this;
    eachText(copy, [&](const char* key, const std::wstring& value) {
        if (!value.empty())
            text += std::string(key) + "=" + oneLine(value) + "\n";
    });
    if (m_carInfo.m_reductorPress != 0) {
        char number[32];
        std::snprintf(number, sizeof number, "%.2f", m_carInfo.m_reductorPress);
        text += std::string(kPressureKey) + "=" + number + "\n";
    }
    return text;
}

CCarDetails CCarDetails::fromText(const std::string& text)
{
    CCarDetails car;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == kPressureKey) {
            double v = 0;
            const auto [ptr, error] = std::from_chars(value.data(), value.data() + value.size(), v);
            if (error == std::errc {} && ptr == value.data() + value.size())
                car.m_carInfo.m_reductorPress = v;
            continue;
        }
        eachText(car, [&](const char* name, std::wstring& field) {
            if (key == name)
                field = fromUtf8(value);
        });
    }
    return car;
}

std::wstring CCarDetails::title() const
{
    std::wstring line;
    for (const std::wstring* part : { &m_carInfo.m_vendor, &m_carInfo.m_model, &m_carInfo.m_engine }) {
        if (part->empty())
            continue;
        if (!line.empty())
            line += L' ';
        line += *part;
    }
    return line;
}
