// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/mappage.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/korvanadoc.h>
#include <app/tuning/automapping.h>
#include <basectrls/ctrlid.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <QAbstractButton>
#include <QProgressBar>

#include <algorithm>

namespace {

QProgressBar* barInstead(QWidget* page, int id)
{
    QWidget* placeholder = findChildCtrl(page, id);
    if (!placeholder)
        return nullptr;
    auto* bar = new QProgressBar(page);
    bar->setRange(0, 1000);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setGeometry(placeholder->geometry());
    setCtrlId(bar, id);
    bar->stackUnder(placeholder);
    delete placeholder;
    bar->show();
    return bar;
}

} // namespace

CMapPage::CMapPage(int resourceId, const CPageContext& context, QWidget* parent)
    : CGDIpMultiPageDialog(resourceId, parent)
    , m_context(context)
{
    setTranslator([](const std::wstring& text) { return translate(text); });
}

CMapPage::~CMapPage() = default;

void CMapPage::createControls()
{
    CGDIpMultiPageDialog::createControls();
    m_progressPetrol = barInstead(this, kProgressPetrol);
    m_progressLpg = barInstead(this, kProgressLpg);
    if (auto* b = qobject_cast<QAbstractButton*>(findChildCtrl(this, kBtnClrMap)))
        connect(b, &QAbstractButton::clicked, this, [this] { OnBtnClrMap(); });
    if (auto* b = qobject_cast<QAbstractButton*>(findChildCtrl(this, kBtnClrMapLpg)))
        connect(b, &QAbstractButton::clicked, this, [this] { OnBtnClrMapLpg(); });
}

bool CMapPage::readMaps()
{
    CLPGDevice& device = m_context.device;
    // A running procedure owns the link; the maps wait for the next read.
    if (!device.isConnected() || device.operation().running())
        return false;
    std::array<uint8_t, kChartMapLength> petrol {}, lpg {};
    try {
        if (!device.readPetrolMap(petrol) || !device.readLpgMap(lpg))
            return false;
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("mappage", "CMapPage::readMaps", *error);
        return false;
    }
    showMaps(CChartMapRecord::decode(petrol), CChartMapRecord::decode(lpg));
    return true;
}

void CMapPage::showMaps(const CChartMapRecord& petrol, const CChartMapRecord& lpg)
{
    m_maps.build(petrol, lpg, m_context.device.image());
    if (m_progressPetrol)
        m_progressPetrol->setValue(std::min(1000, CChartMaps::progressPosition(m_maps.petrol())));
    if (m_progressLpg)
        m_progressLpg->setValue(std::min(1000, CChartMaps::progressPosition(m_maps.lpg())));
    mapsRead();
}

void CMapPage::onTimer()
{
    if (!m_context.device.isConnected())
        return;
    if (++m_ticks < kReadEvery)
        return;
    m_ticks = 0;
    readMaps();
    slowTick();
}

void CMapPage::clearMap(bool lpg, const wchar_t* handler)
{
    m_context.doc.runOperation(
        L"Zapis ustawień", std::wstring(L"CMapPage::") + handler,
        [&] {
            if (CAutomapping::clearMap(m_context.device, lpg))
                readMaps();
        },
        this);
}

void CMapPage::OnBtnClrMap()
{
    clearMap(false, L"OnBtnClrMap()");
}

void CMapPage::OnBtnClrMapLpg()
{
    clearMap(true, L"OnBtnClrMapLpg()");
}
