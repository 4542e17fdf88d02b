// SPDX-License-Identifier: GPL-3.0-or-later
// The fitter's workshop as the customer's report heads it: name, address,
// telephone, tax number and a logo picture (a file path). Kept in the user's
// profile under "Software\KORVANA\Workshop".
#pragma once

#include <string>

struct CWorkshop {
    static constexpr const char* kProfileKey = "Software\\KORVANA\\Workshop";

    std::wstring m_name;
    std::wstring m_address; // may hold line breaks
    std::wstring m_phone;
    std::wstring m_taxNumber;
    std::string m_logoPath;

    bool operator==(const CWorkshop&) const = default;

    // From the profile; empty fields for what it lacks.
    static CWorkshop load();
    // False when the profile could not be written.
    bool store() const;
};
