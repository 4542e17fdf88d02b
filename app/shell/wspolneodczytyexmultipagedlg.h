// SPDX-License-Identifier: GPL-3.0-or-later
// The readings panel with eight OBD tiles under it (short- and long-term fuel
// trims and oxygen sensors of both banks), for the pages that tune against the
// engine computer. Derive from it as from CWspolneOdczytyMultiPageDlg; the
// tiles take the panel's bottom right (kTilesTopDu and below), so the page's
// own controls stay left of kPanelLeftDu.
#pragma once

#include <app/shell/wspolneodczytymultipagedlg.h>

#include <array>
#include <string>

class CWspolneOdczytyExMultiPageDlg : public CWspolneOdczytyMultiPageDlg {
    Q_OBJECT
public:
    // Tiles, upper row then lower row, left to right.
    static constexpr std::array<int, 8> kTileIds = { 1159, 1153, 1154, 1155, 1160, 1156, 1157, 1158 };
    static constexpr int kTilesTopDu = 478;

    CWspolneOdczytyExMultiPageDlg(const CPageContext& context, int resourceId, QWidget* parent = nullptr);

    // The panel refresh, then the tiles from the device's OBD readings.
    void onTimer() override;
    // The panel's marking, and the tiles greyed with "—".
    void setStale(bool stale) override;

    // The tile's three-line text for OBD reading index (0 … 7) with its text.
    static std::wstring tileText(int reading, const std::wstring& value);
    // The OBD reading a tile shows (-1 for an id that is not a tile).
    static int readingOfTile(int id);

protected:
    void createControls() override;
    bool OnInitDialog() override;

private:
    std::array<std::wstring, 8> m_shown;
};
