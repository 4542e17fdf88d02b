// SPDX-License-Identifier: GPL-3.0-or-later
// The car a controller is fitted to and its owner: the m_carInfo fields of the
// settings image and what the image does not hold (VIN, registration number,
// odometer, customer name and telephone). The controller never holds any of
// it, so the history keeps it by controller serial as "key=value" lines.
#pragma once

#include <app/data/settingsimage.h>

#include <string>

struct CCarDetails {
    CCarInfo m_carInfo;
    std::wstring m_vin;
    std::wstring m_registration;
    std::wstring m_odometer; // as the fitter wrote it (km)
    std::wstring m_customer;
    std::wstring m_phone;

    bool operator==(const CCarDetails&) const = default;

    // "key=value" lines, UTF-8, empty fields left out; line breaks inside a
    // value become blanks, so a field can never start a line of its own.
    std::string toText() const;
    // Unknown keys and lines without "=" are skipped.
    static CCarDetails fromText(const std::string& text);
    // Make, model and engine in one line ("Skoda Octavia 1.6 MPI"); empty when none is set.
    std::wstring title() const;
};
