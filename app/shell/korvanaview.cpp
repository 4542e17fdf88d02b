// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/korvanaview.h>

#include <app/data/diag.h>
#include <app/data/translate.h>
#include <app/platform/log.h>
#include <app/shell/buttontips.h>
#include <app/shell/skinimage.h>
#include <app/platform/userinteraction.h>
#include <app/shell/consolebtn.h>
#include <app/shell/cppbtn.h>
#include <app/shell/emptydlg.h>
#include <app/shell/odczytydlg.h>
#include <app/shell/framegeometry.h>
#include <app/shell/infodlg.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/mainframe.h>
#include <app/shell/mapadlg.h>
#include <app/shell/obddlg.h>
#include <app/shell/obdshellsteps.h>
#include <app/shell/switchbuttons.h>
#include <app/shell/ustawieniadlg.h>
#include <app/shell/ustawieniadodatkowedlg.h>
#include <app/shell/wspolneodczytymultipagedlg.h>
#include <app/shell/kalibracjadlg.h>
#include <errkit/errorguard.h>

#include <imagekit/imageobject.h>

#include <QResizeEvent>
#include <QTimer>

#include <cstdlib>
#include <ctime>

namespace {

struct SButtonRow {
    const wchar_t* title;
    double lead;
    double extent;
};

// The column, top to bottom: the five action buttons in the upper panel, the
// seven page buttons in the lower one.
constexpr std::array<SButtonRow, CkorvanaView::kButtonCount> kButtons { {
    { L"AUTO", 0.1, 0.05 },
    { L"GAZ", 0.0, 0.05 },
    { L"BENZYNA", 0.0, 0.05 },
    { L"Konsolka", 0.0, 0.15 },
    { L"Wskazanie", 0.0, 0.05 },
    { L"Odczyty", 0.51, 0.05 },
    { L"Ustawienia", 0.0, 0.05 },
    { L"Zaawansowane", 0.0, 0.05 },
    { L"Kalibracja", 0.0, 0.05 },
    { L"Mapa", 0.0, 0.05 },
    { L"OBD", 0.0, 0.05 },
    { L"Info", 0.0, 0.05 },
} };

constexpr int kConsoleIndex = 3;
constexpr int kFirstPageDialog = 313; // dialogs 313 … 319 of the seven pages

QString translated(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

} // namespace

CkorvanaView::CkorvanaView(CkorvanaDoc* doc, QWidget* parent)
    : QWidget(parent)
    , m_doc(doc)
{
    m_viewFont.setFamilies({ QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans") });
    m_viewFont.setWeight(QFont::Normal);
    m_viewFont.setStyleHint(QFont::SansSerif);
    m_viewFont.setPixelSize(12);
    setObjectName(QStringLiteral("korvanaView"));
}

CkorvanaView::~CkorvanaView() = default;

bool CkorvanaView::OnCreate()
{
    try {
        std::srand(static_cast<unsigned>(std::time(nullptr)));
        if (m_doc)
            m_doc->prepareDevice();
        if (m_doc)
            m_doc->searchController();
        createControls();
    } catch (IError* e) {
        // The view exists even when building it failed part-way.
        CErrorGuard error(e);
        logSwallowed("gui", "CkorvanaView::OnCreate", *error);
    }
    return true;
}

void CkorvanaView::createControls()
{
    m_mpc = new CKorMultiPageCtrl;
    m_mpc->setButtonFont(&m_viewFont);
    m_mpc->Create(rect(), this, kMultiPageId);
    const CPageContext context = m_doc->pageContext();
    connect(&context.relay, &CDeviceEventRelay::imageChanged, this, &CkorvanaView::onImageChanged);
    connect(m_mpc, &CKorMultiPageCtrl::pageActivated, this, &CkorvanaView::onPageActivated);
    m_obdSteps = new CObdShellSteps(context, this);

    for (int i = 0; i < kButtonCount; ++i) {
        CMultiPageIndependentBtn* action = nullptr;
        switch (i) {
        case 0:
            action = m_autoBtn = new CSwitchToAutoBtn(context);
            break;
        case 1:
            action = m_gasBtn = new CSwitchToGasBtn(context);
            break;
        case 2:
            action = m_petrolBtn = new CSwitchToPetrolBtn(context);
            break;
        case kConsoleIndex:
            action = m_consoleBtn = new CConsoleBtn(context);
            // The picture shows the switch in the car; what a click does it does not show.
            setOwnButtonTip(action, L"Przełącznik w samochodzie, jak go teraz widać. Dwukrotne kliknięcie otwiera "
                                    L"ustawienia konsolki.");
            break;
        case 4:
            action = new CCPPBtn(context);
            setOwnButtonTip(action, L"Poziom gazu w zbiorniku. Kliknięcie otwiera ustawienia czujnika poziomu gazu.");
            break;
        default:
            break;
        }
        CGDIpMultiPageGradientButton* button = action ? action : new CGDIpMultiPageGradientButton;
        const SButtonRow& row = kButtons[static_cast<std::size_t>(i)];
        button->m_lead = row.lead;
        button->m_extent = row.extent;
        // Only the first page shown is built before the window appears; the rest
        // follow on the event loop (buildPagesLater) or when first asked for.
        if (i >= kFirstPage)
            m_mpc->insertPage(translated(row.title), button, [this, i, context] { return createPage(i, context); });
        else
            m_mpc->insertPage(translated(row.title), button, createPage(i, context));
    }
    m_stale.assign(static_cast<std::size_t>(kButtonCount), false);
    loadConsoleImages();
    m_mpc->activatePage(kFirstPage);
    updateDemoHints(true);
}

CGDIpMultiPageDialog* CkorvanaView::createPage(int index, const CPageContext& context)
{
    if (pageFactory)
        if (CGDIpMultiPageDialog* page = pageFactory(index, context))
            return page;
    CGDIpMultiPageDialog* built = nullptr;
    // One line per page: index − kFirstPage is 0 Odczyty, 1 Ustawienia, 2 Zaawansowane,
    // 3 Kalibracja, 4 Mapa, 5 OBD, 6 Info.
    switch (index - kFirstPage) {
    case 0: built = new COdczytyDlg(context); break;
    case 1: built = new CUstawieniaDlg(context); break;
    case 2: built = new CUstawieniaDodatkoweDlg(context); break;
    case 3: built = new CKalibracjaDlg(context); break;
    case 4: built = new CMapaDlg(context); break;
    case 5: built = new CObdDlg(context); break;
    case 6: built = new CInfoDlg(context); break;
    default:
        break;
    }
    if (built) {
        built->setContainerFont(&m_viewFont);
        built->Create(m_mpc);
        return built;
    }
    // A page not built yet shows an empty page.
    auto* page = new CEmptyDlg(index < kFirstPage ? CEmptyDlg::kResourceId : kFirstPageDialog + index - kFirstPage);
    page->setContainerFont(&m_viewFont);
    page->setTranslator([](const std::wstring& text) { return translate(text); });
    page->Create(m_mpc);
    return page;
}

void CkorvanaView::prefetchSkins()
{
    // The first page's pictures, decoded beside the start rather than in its way:
    // the small ones the page takes first on a worker of their own.
    std::vector<std::wstring> small = COdczytyDlg::skinFiles();
    small.push_back(skinPath(kConsoleFiles.front()).wstring());
    CImageObject::prefetch(std::move(small));
    CImageObject::prefetch(CWspolneOdczytyMultiPageDlg::skinFiles());
}

void CkorvanaView::loadConsoleImages()
{
    for (std::size_t i = 0; i < kConsoleFiles.size(); ++i) {
        // The first picture that is missing ends the list; the button keeps what came before.
        const std::filesystem::path path = skinPath(kConsoleFiles[i]);
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error))
            break;
        m_consoleBtn->appendImageFile(path.wstring());
        if (i == 0)
            m_consoleBtn->selectImage(0);
    }
}

void CkorvanaView::OnInitialUpdate()
{
    if (m_doc && m_doc->mainFrame())
        m_doc->mainFrame()->setView(this);
    try {
        if (m_doc && m_doc->device().isConnected()) {
            if (!m_doc->device().isDemo())
                m_doc->writeInitialSetup();
            m_doc->startPolling();
            if (m_obdSteps)
                m_obdSteps->onViewCreated();
        } else if (!m_doc || m_doc->noConnectionAsked() == 0) {
            // The no-connection dialog, when it came, has said so already.
            userInteraction().message(translate(L"BRAK POŁĄCZENIA"), L"KORVANA", MsgIcon::None);
        }
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("gui", "CkorvanaView::OnInitialUpdate", *error);
    }
    updateDemoHints();
    if (m_doc && m_doc->mainFrame())
        m_doc->mainFrame()->updateTexts();
}

void CkorvanaView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The font follows the window; a zero height would not be a font.
    const int height = FrameGeometry::viewFontHeight(event->size().height());
    m_viewFont.setPixelSize(height < 0 ? -height : 1);
    if (m_mpc)
        m_mpc->setGeometry(rect());
}

void CkorvanaView::markStale()
{
    if (!m_mpc)
        return;
    for (int i = 0; i < m_mpc->getPageCount(); ++i) {
        if (auto* page = dynamic_cast<CWspolneOdczytyMultiPageDlg*>(m_mpc->getBuiltPage(i)))
            page->setStale(true);
    }
}

void CkorvanaView::onTimer()
{
    if (!m_mpc)
        return;
    if (auto* page = dynamic_cast<ITimerBasedGUI*>(m_mpc->getActivePage()))
        page->onTimer();
    if (m_obdSteps)
        m_obdSteps->onTimer(dynamic_cast<CObdDlg*>(m_mpc->getActivePage()) != nullptr);
    if (!m_doc || !m_doc->device().isConnected())
        return;
    CDiag record;
    if (!m_doc->latestRecord(record))
        return;
    showReadings(record);
}

void CkorvanaView::showReadings(const CDiag& record)
{
    const uint8_t fuelState = record.fuelState();
    const uint8_t switchMode = record.bytes()[1];
    const uint8_t rawLevel = record.bytes()[14];
    const int level = levelIndex(rawLevel, m_doc->device().image().m_sensorsSetup);
    if (const auto image = m_display.consoleRefresh(fuelState, switchMode, level)) {
        // The button repaints itself when its picture changes; repainting the
        // whole view here would repaint every page control beneath it as well.
        if (m_consoleBtn)
            m_consoleBtn->selectImage(*image);
    }
    if (const auto lit = m_display.fuelButtonRefresh(fuelState, switchMode)) {
        if (m_autoBtn && m_gasBtn && m_petrolBtn) {
            m_autoBtn->selected(*lit == EFuelButton::Auto);
            m_gasBtn->selected(*lit == EFuelButton::Gas);
            m_petrolBtn->selected(*lit == EFuelButton::Petrol);
            m_autoBtn->invalidate(true);
            m_gasBtn->invalidate(true);
            m_petrolBtn->invalidate(true);
        }
    }
}

void CkorvanaView::updateTexts()
{
    if (!m_mpc)
        return;
    for (int i = 0; i < kButtonCount; ++i)
        m_mpc->changeTitle(i, translated(kButtons[static_cast<std::size_t>(i)].title));
    for (int i = 0; i < m_mpc->getPageCount(); ++i)
        if (auto* page = dynamic_cast<IMultilangGUI*>(m_mpc->getBuiltPage(i)))
            page->updateTexts();
    updateDemoHints(true); // in the new language
}

void CkorvanaView::refreshActivePage()
{
    if (!m_mpc)
        return;
    if (CGDIpMultiPageDialog* page = m_mpc->getActivePage()) {
        page->activate();
        page->v_invalidate(true);
    }
}

void CkorvanaView::onImageChanged(ImageBlock)
{
    if (!m_mpc)
        return;
    const int active = m_mpc->getActiveIndex();
    for (std::size_t i = 0; i < m_stale.size(); ++i)
        m_stale[i] = static_cast<int>(i) != active;
    refreshActivePage();
}

void CkorvanaView::onPageActivated(int index)
{
    // Showing a page makes it read the image (activate); a page that missed a change is drawn anew.
    if (index < 0 || static_cast<std::size_t>(index) >= m_stale.size() || !m_stale[static_cast<std::size_t>(index)])
        return;
    m_stale[static_cast<std::size_t>(index)] = false;
    if (CGDIpMultiPageDialog* page = m_mpc->getPage(index))
        page->v_invalidate(true);
}

bool CkorvanaView::isPageStale(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < m_stale.size() && m_stale[static_cast<std::size_t>(index)];
}

void CkorvanaView::buildPagesLater()
{
    // One page per turn of the event loop, so that input and paints get in between.
    QTimer::singleShot(0, this, [this] {
        if (m_mpc && m_mpc->buildPendingPages(1) > 0)
            buildPagesLater();
    });
}

void CkorvanaView::buildAllPages()
{
    if (m_mpc)
        m_mpc->buildPendingPages(kButtonCount);
}

bool CkorvanaView::showPage(int n)
{
    if (!m_mpc || n < 0 || n >= kPageCount)
        return false;
    m_mpc->activatePage(kFirstPage + n);
    return m_mpc->getActiveIndex() == kFirstPage + n;
}

void CkorvanaView::updateDemoHints(bool force)
{
    const bool demo = m_doc && m_doc->device().isDemo();
    if (demo == m_demoHints && !force)
        return;
    m_demoHints = demo;
    // Each says which fuel its click switches the car to; in demo mode that nothing real is switched.
    const QString hint = demo ? QStringLiteral("\n") + translated(L"Sterownik symulowany (tryb demo)") : QString();
    const std::pair<QWidget*, const wchar_t*> buttons[] = {
        { m_autoBtn, L"Przełącza sterownik w tryb automatyczny: silnik rusza na benzynie, a sterownik sam przechodzi na gaz." },
        { m_gasBtn, L"Przełącza samochód na gaz." },
        { m_petrolBtn, L"Przełącza samochód na benzynę." },
    };
    for (const auto& [button, tip] : buttons)
        if (button)
            button->setToolTip(translated(tip) + hint);
}
