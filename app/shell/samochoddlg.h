// SPDX-License-Identifier: GPL-3.0-or-later
// "Samochód": the car and customer of the connected controller (the image's
// m_carInfo and what the history keeps beside it), with "Odczytaj VIN" over OBD.
#pragma once

#include <app/data/cardetails.h>
#include <app/shell/skindlg.h>

#include <functional>
#include <string>

class CLPGDevice;

// Reads the car's VIN through the controller and says why when it cannot
// ("VIN niepełny" for an answer that is not a whole VIN). Empty when none came.
std::wstring readVinShown(CLPGDevice& device);

class CSamochodDlg : public CSkinDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 342;
    static constexpr int kVendorId = 1301;
    static constexpr int kModelId = 1302;
    static constexpr int kEngineId = 1303;
    static constexpr int kPowerId = 1304;
    static constexpr int kYearId = 1305;
    static constexpr int kInjectorsId = 1306;
    static constexpr int kPressureId = 1307;
    static constexpr int kVinId = 1308;
    static constexpr int kRegistrationId = 1309;
    static constexpr int kOdometerId = 1310;
    static constexpr int kCustomerId = 1311;
    static constexpr int kPhoneId = 1312;
    static constexpr int kReadVinId = 1320;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;

    // readVin: what "Odczytaj VIN" does (empty result: nothing changes); the
    // button is disabled without it.
    CSamochodDlg(const CCarDetails& car, std::function<std::wstring()> readVin, QWidget* parent = nullptr);

    // The fields as they stand.
    CCarDetails details() const;
    void OnBnClickedReadVin();

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    bool OnInitDialog() override;

private:
    void setField(int id, const std::wstring& text);
    std::wstring field(int id) const;

    CCarDetails m_car;
    std::function<std::wstring()> m_readVin;
};
