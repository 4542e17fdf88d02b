// SPDX-License-Identifier: GPL-3.0-or-later
// The customer's report of a session: what was fitted, how it is set, what
// changed in this session (the first restore point of this connection against
// now), the diagnosis and what was cleared, as A4 pages painted with QPainter
// onto a PDF writer or a printer, in the current language.
#pragma once

#include <app/data/cardetails.h>
#include <app/data/settingsimage.h>
#include <app/data/workshop.h>

#include <QDateTime>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CLPGDevice;
class CHistoryRecorder;
class QPagedPaintDevice;

struct CSessionReport {
    struct Setting {
        std::wstring label; // the page's label, translated
        std::wstring value; // now, with the unit
        std::wstring before; // at the start of the session when it changed; empty otherwise
    };
    struct Section {
        std::wstring title;
        std::vector<Setting> rows;
    };

    CWorkshop workshop;
    QDateTime made;
    CDevInfo devInfo;
    std::wstring version;
    CCarDetails car;
    std::vector<Section> settings; // "Ustawienia", "Zaawansowane"
    CCorrMap map;
    std::array<std::array<bool, kMapCols>, kMapRows> changedCells {};
    int changedCellCount = 0;
    bool sessionKnown = false; // a restore point of this connection's start was at hand
    std::array<double, kTemprCorrCount> temprCorr {};
    std::array<double, kPressCorrCount> pressCorr {};
    std::array<double, kSetupTimesCount> setupTimes1 {};
    std::optional<std::array<double, 8>> mainCorrBefore; // the main corrections, when they changed
    std::array<double, 8> mainCorr {};
    int injectors = 4;
    std::optional<std::vector<std::wstring>> controllerErrors; // nothing when they could not be read
    bool codesRead = false;
    std::vector<std::wstring> troubleCodes; // with their texts
    bool codesCleared = false;
    std::vector<std::wstring> obdReadings; // "STFT Bank 1: 3.21 %" …

    // Everything from the device as it stands, the session's start from the
    // history point since (0: none; recorder may be null), the workshop from
    // the profile. Reads the controller's errors and, when the OBD link is up
    // and the codes were not read in this session, the car's codes.
    static CSessionReport gather(CLPGDevice& device, CHistoryRecorder* recorder, int64_t since);
    // The start of the session a report made from a terminal covers: the
    // first point of this controller taken today (local time); 0 when none.
    static int64_t firstPointToday(CHistoryRecorder& recorder, const std::wstring& serial);

    // Paints every page; returns the number of pages.
    int paint(QPagedPaintDevice& device) const;
    // Writes an A4 PDF; false when the file could not be written.
    bool writePdf(const QString& path) const;
};
