// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/wspolneodczytyexmultipagedlg.h>

#include <app/device/lpgdevice.h>
#include <app/shell/obdtile.h>
#include <app/tuning/deviceobd.h>
#include <basectrls/ctrlid.h>
#include <gradctrls/dialogs/gdipstatic.h>

#include <QLabel>

#include <cwchar>

namespace {

// The tile of each OBD reading (STFT B1, LTFT B1, STFT B2, LTFT B2, O2 B1-1, B1-2, B2-1, B2-2).
constexpr int kTileOfReading[8] = { 1154, 1157, 1155, 1158, 1159, 1160, 1153, 1156 };
const wchar_t* const kTileName[8] = { L"STFT Bank 1", L"LTFT Bank 1", L"STFT Bank 2", L"LTFT Bank 2", L"OS Bank 1-1",
    L"OS Bank 1-2", L"OS Bank 2-1", L"OS Bank 2-2" };

constexpr int kTileW = 66;
constexpr int kTileH = 44;
constexpr int kTileLeft = 527;

} // namespace

CWspolneOdczytyExMultiPageDlg::CWspolneOdczytyExMultiPageDlg(
    const CPageContext& context, int resourceId, QWidget* parent)
    : CWspolneOdczytyMultiPageDlg(context, resourceId, parent)
{
}

std::wstring CWspolneOdczytyExMultiPageDlg::tileText(int reading, const std::wstring& value)
{
    if (reading < 0 || reading >= 8)
        return {};
    const wchar_t* unit = reading < 4 ? L" %" : L" V";
    return std::wstring(L"\n") + kTileName[reading] + L"\n" + value + unit;
}

int CWspolneOdczytyExMultiPageDlg::readingOfTile(int id)
{
    for (int i = 0; i < 8; ++i)
        if (kTileOfReading[i] == id)
            return i;
    return -1;
}

void CWspolneOdczytyExMultiPageDlg::createControls()
{
    CWspolneOdczytyMultiPageDlg::createControls();
    for (std::size_t k = 0; k < 8; ++k) {
        const int column = static_cast<int>(k % 4);
        const int row = static_cast<int>(k / 4);
        auto* tile = new CObdTile(this);
        tile->setGeometry(CPageLayout::duToPixels(
            kTileLeft + column * (kTileW + 1), kTilesTopDu + row * (kTileH + 4), kTileW, kTileH));
        setCtrlId(tile, kTileIds[k]);
    }
}

bool CWspolneOdczytyExMultiPageDlg::OnInitDialog()
{
    if (!CWspolneOdczytyMultiPageDlg::OnInitDialog())
        return false;
    for (int i = 0; i < 8; ++i)
        if (auto* tile = qobject_cast<QLabel*>(findChildCtrl(this, kTileOfReading[i])))
            tile->setText(QString::fromStdWString(tileText(i, L"-")));
    return true;
}

void CWspolneOdczytyExMultiPageDlg::setStale(bool stale)
{
    const bool was = this->stale();
    CWspolneOdczytyMultiPageDlg::setStale(stale);
    if (was == stale)
        return;
    for (std::size_t i = 0; i < 8; ++i) {
        auto* tile = qobject_cast<QLabel*>(findChildCtrl(this, kTileOfReading[i]));
        if (!tile)
            continue;
        markStaleWidget(tile, stale);
        if (stale) {
            m_shown[i] = kStaleValue;
            tile->setText(QString::fromStdWString(tileText(static_cast<int>(i), m_shown[i])));
        }
    }
}

void CWspolneOdczytyExMultiPageDlg::onTimer()
{
    CWspolneOdczytyMultiPageDlg::onTimer();
    if (!m_context.device.isConnected())
        return;
    for (std::size_t i = 0; i < 8; ++i) {
        std::wstring value = obdOf(m_context.device).readingText(static_cast<int>(i));
        if (value.empty())
            value = L"-";
        if (value == m_shown[i])
            continue;
        m_shown[i] = value;
        if (auto* tile = qobject_cast<QLabel*>(findChildCtrl(this, kTileOfReading[i])))
            tile->setText(QString::fromStdWString(tileText(static_cast<int>(i), value)));
    }
}
