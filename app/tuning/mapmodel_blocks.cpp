// SPDX-License-Identifier: GPL-3.0-or-later
// Copy, paste and interpolation of blocks of the map grid. Unlike the step
// edit these send the whole map page and read it back, so a block that the
// controller did not take whole never stays on the screen.
#include <app/tuning/mapmodel.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/tuning/mapcsv.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

namespace {

const wchar_t* const kMapWriteFailed = L"Nie powiodło się wpisanie mapy wtrysków do urządzenia!";
const wchar_t* const kNotABlock = L"Schowek nie zawiera bloku liczb, który można wkleić do mapy!";
const wchar_t* const kDoesNotFit = L"Wklejany blok nie mieści się w mapie!";
const wchar_t* const kReadBackDiffers
    = L"Mapa odczytana z urządzenia różni się od wpisanej! Pokazano mapę z urządzenia.";

void showError(const std::wstring& text)
{
    userInteraction().message(translate(text), L"KORVANA", MsgIcon::Error);
}

} // namespace

std::string CMapModel::copySelection() const
{
    const auto rect = selectionRect();
    if (!rect)
        return {};
    std::string text = "ms";
    for (int c = rect->c1; c <= rect->c2; ++c)
        text += "\t" + rpmText(m_rpm[c]);
    text += "\n";
    for (int r = rect->r1; r <= rect->r2; ++r) {
        text += timeText(m_time[r]);
        for (int c = rect->c1; c <= rect->c2; ++c)
            text += "\t" + cellText(m_value[c][r]);
        text += "\n";
    }
    return text;
}

bool CMapModel::paste(const std::string& text)
{
    const auto first = firstSelected();
    if (!first)
        return false;
    std::vector<std::vector<int>> block;
    MapTextError error;
    if (!parseMapBlock(text, block, error)) {
        logInfo("map", "paste refused: " + error.describe());
        showError(kNotABlock);
        return false;
    }
    const int rows = static_cast<int>(block.size());
    const int columns = static_cast<int>(block.front().size());
    if (first->row + rows > kMapRows || first->column + columns > kMapCols) {
        showError(kDoesNotFit);
        return false;
    }
    auto wanted = m_value;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            wanted[first->column + c][first->row + r] = block[r][c];
    const MapValues before = m_value;
    if (!sendTable(wanted))
        return false;
    remember(before);
    selectRect({ first->column, first->row, first->column + columns - 1, first->row + rows - 1 });
    return true;
}

bool CMapModel::interpolateSelection()
{
    const auto rect = selectionRect();
    if (!rect)
        return false;
    const auto [c1, r1, c2, r2] = *rect;
    const double a = m_value[c1][r1], b = m_value[c2][r1], c = m_value[c1][r2], d = m_value[c2][r2];
    auto wanted = m_value;
    for (int col = c1; col <= c2; ++col) {
        const double fx = c2 == c1 ? 0 : double(col - c1) / (c2 - c1);
        for (int row = r1; row <= r2; ++row) {
            if (!m_selected[col][row])
                continue;
            const double fy = r2 == r1 ? 0 : double(row - r1) / (r2 - r1);
            const double v = (1 - fx) * (1 - fy) * a + fx * (1 - fy) * b + (1 - fx) * fy * c + fx * fy * d;
            wanted[col][row] = static_cast<int>(clampCell(roundToWhole(v)));
        }
    }
    const MapValues before = m_value;
    if (!sendTable(wanted))
        return false;
    remember(before);
    return true;
}

void CMapModel::putBackTable(const std::array<std::array<double, kMapCols>, kMapRows>& table)
{
    m_device->changeImage([&table](CSettingsImage& image) { image.m_corrMap.m_injMapTable = table; });
}

bool CMapModel::sendTable(const std::array<std::array<int, kMapRows>, kMapCols>& wanted)
{
    if (!connected()) {
        restoreValues(wanted);
        return true;
    }
    auto& image = m_device->liveImage().m_corrMap;
    const auto previous = image.m_injMapTable;
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            image.m_injMapTable[r][c] = wanted[c][r];
    CWaitCursor wait;
    logInfo("map", "writing the whole map page");
    try {
        // A whole page is written as every map write is: on petrol, read back, restarted, then the fuel given back.
        CWriteSession session(*m_device, L"CMapArray::writeInjMap()");
        if (!session.write(CReadBlocks::InjMap)) {
            const CWriteReport& report = session.finish();
            putBackTable(m_device->heldImage().m_corrMap.m_injMapTable);
            logWarning("map", "map page not written");
            report.show(kMapWriteFailed);
            for (int c = 0; c < kMapCols; ++c)
                for (int r = 0; r < kMapRows; ++r)
                    setCellValue(c, r, image.m_injMapTable[r][c]);
            return false;
        }
        session.finish();
    } catch (IError* e) {
        CErrorGuard error(e);
        putBackTable(previous);
        userInteraction().message(L"CMapArray::writeInjMap()\n" + error.format(), L"KORVANA", MsgIcon::Error);
        return false;
    }
    bool same = true;
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            same = same && image.m_injMapTable[r][c] == wanted[c][r];
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            setCellValue(c, r, image.m_injMapTable[r][c]);
    if (!same) {
        logWarning("map", "map page read back differs from the one written");
        showError(kReadBackDiffers);
    }
    return same;
}
