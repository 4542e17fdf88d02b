// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/mapadlg.h>

#include <app/data/translate.h>
#include <app/shell/chart2ddlg.h>
#include <app/shell/corpressdlg.h>
#include <app/shell/corrpmdlg.h>
#include <app/shell/cortempdlg.h>
#include <app/shell/emptydlg.h>
#include <app/shell/unreadline.h>
#include <gradctrls/multipage/gdipmultipagectrl.h>
#include <gradctrls/multipage/gdipmultipagegradientbutton.h>

#include <QResizeEvent>

#include <array>
#include <cmath>
#include <vector>

namespace {

const std::array<const wchar_t*, CMapaDlg::kPageCount> kTitles {
    L"Mapa", L"Mapa 2D", L"Korekty temperatury", L"Korekty ciśnienia"
};

// The page shown first: the map grid is what the page is opened for.
constexpr int kFirstSubPage = 1;

// The tuning pages, and below them the line that names the blocks not read.
const std::vector<SCtrlLayout>& pageLayout()
{
    static const std::vector<SCtrlLayout> rows = [] {
        std::vector<SCtrlLayout> r {
            { CMapaDlg::kMultiPage, ECtrlKind::Placeholder, 4, 4, CMapaDlg::kTuningWidthDu - 8, 564, nullptr },
        };
        CUnreadLine::addRows(r, 8, 572, CMapaDlg::kTuningWidthDu - 16, 24);
        return r;
    }();
    return rows;
}

// The tuning pages' control: the function keys belong to the main view's pages, not to these.
class CTuningPagesCtrl : public CGDIpMultiPageCtrl {
public:
    bool checkMsg(QEvent*) override { return false; }
};

QString translatedText(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

} // namespace

CMapaDlg::CMapaDlg(const CPageContext& context, QWidget* parent)
    : CWspolneOdczytyExMultiPageDlg(context, kResourceId, parent)
{
    setObjectName(QStringLiteral("mapaDlg"));
    setTranslator([](const std::wstring& text) { return translate(text); });
    m_font.setFamilies({ QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans") });
    m_font.setWeight(QFont::Normal);
    m_font.setStyleHint(QFont::SansSerif);
    m_font.setPixelSize(12);
}

CMapaDlg::~CMapaDlg() = default;

int CMapaDlg::fontPixelHeight(int width, int height)
{
    const int h = static_cast<int>(std::sqrt(static_cast<double>(width) * height) / 75);
    return std::max(h, 1);
}

std::span<const SCtrlLayout> CMapaDlg::layoutTable() const
{
    return pageLayout();
}

void CMapaDlg::createControls()
{
    // The page's own font, whatever the view handed over.
    setContainerFont(&m_font);
    // The page's table first, then the readings panel.
    CWspolneOdczytyExMultiPageDlg::createControls();
    m_mpc = new CTuningPagesCtrl;
    m_mpc->setButtonFont(&m_font);
    // A wider button column than the view's, buttons high enough for two
    // lines: the correction titles are long, longer still once translated.
    m_mpc->setLayoutProportions({ 3.2, 1.0, 0.245 });
    m_mpc->CreateFromStatic(kMultiPage, this);
    m_mpc->setObjectName(QStringLiteral("mapaPages"));
    for (int i = 0; i < kPageCount; ++i)
        m_mpc->insertPage(translatedText(kTitles[static_cast<std::size_t>(i)]), new CGDIpMultiPageGradientButton,
                          createSubPage(i, m_context));
    m_mpc->activatePage(kFirstSubPage);
    m_unread = new CUnreadLine(this, m_context, kShownBlocks, [this] {
        if (CGDIpMultiPageDialog* page = m_mpc ? m_mpc->getActivePage() : nullptr)
            page->activate();
    });
    m_unread->create();
}

CGDIpMultiPageDialog* CMapaDlg::createSubPage(int i, const CPageContext& context)
{
    CGDIpMultiPageDialog* page = nullptr;
    switch (i) {
    case 0:
        page = new CChart2DDlg(context);
        break;
    case 1:
        page = new CCorRpmDlg(context);
        break;
    case 2:
        page = new CCorTempDlg(context);
        break;
    case 3:
        page = new CCorPressDlg(context);
        break;
    default:
        break;
    }
    if (!page) {
        auto* empty = new CEmptyDlg;
        empty->setTranslator([](const std::wstring& text) { return translate(text); });
        page = empty;
    }
    page->setContainerFont(&m_font);
    page->Create(m_mpc);
    return page;
}

CGDIpMultiPageDialog* CMapaDlg::subPage(int index) const
{
    return m_mpc ? m_mpc->getPage(index) : nullptr;
}

void CMapaDlg::resizeEvent(QResizeEvent* event)
{
    m_font.setPixelSize(fontPixelHeight(event->size().width(), event->size().height()));
    CWspolneOdczytyExMultiPageDlg::resizeEvent(event);
    if (m_mpc)
        m_mpc->recalcLayout();
}

void CMapaDlg::activate()
{
    CWspolneOdczytyExMultiPageDlg::activate();
    if (m_unread)
        m_unread->refresh();
    if (CGDIpMultiPageDialog* page = m_mpc ? m_mpc->getActivePage() : nullptr)
        page->activate();
}

void CMapaDlg::deactivate()
{
    CWspolneOdczytyExMultiPageDlg::deactivate();
    if (CGDIpMultiPageDialog* page = m_mpc ? m_mpc->getActivePage() : nullptr)
        page->deactivate();
}

void CMapaDlg::refreshObdPanel()
{
    CWspolneOdczytyExMultiPageDlg::onTimer();
}

void CMapaDlg::onTimer()
{
    refreshObdPanel();
    if (auto* page = dynamic_cast<ITimerBasedGUI*>(m_mpc ? m_mpc->getActivePage() : nullptr))
        page->onTimer();
}

void CMapaDlg::updateTexts()
{
    CWspolneOdczytyExMultiPageDlg::updateTexts();
    if (m_unread)
        m_unread->updateTexts();
    if (!m_mpc)
        return;
    for (int i = 0; i < kPageCount && i < m_mpc->getPageCount(); ++i) {
        m_mpc->changeTitle(i, translatedText(kTitles[static_cast<std::size_t>(i)]));
        if (auto* page = dynamic_cast<IMultilangGUI*>(m_mpc->getPage(i)))
            page->updateTexts();
    }
}
