// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/kalibracjadlg.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/qtinteraction.h>
#include <app/shell/unreadline.h>
#include <app/shell/buttontips.h>
#include <app/shell/correctionspin.h>
#include <basectrls/ctrlid.h>
#include <basectrls/extedit.h>
#include <gradctrls/dialogs/gdippalette.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QListWidget>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

constexpr const wchar_t* kOperation = L"Autokalibracja";
constexpr int kOfferRetryMs = 200;
constexpr const wchar_t* kCylinderTexts[CMainCorrEdits::kEdits] = { L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8" };

// Left of the readings panel (CWspolneOdczytyMultiPageDlg::kPanelLeftDu).
constexpr int kLeft = 10;
constexpr int kWidth = 495;
constexpr int kLogTop = 96;
// Room for the lines of a usual run; a longer log scrolls.
constexpr int kLogHeight = 170;
// The line that names the blocks not read, between the log and the corrections.
constexpr int kUnreadTop = kLogTop + kLogHeight + 6;
constexpr int kUnreadHeight = 26;
constexpr int kProgressTop = 72;
constexpr int kProgressHeight = 16;
// The corrections: two columns of four rows.
constexpr int kColumnX[2] = { 30, 270 };
constexpr int kBoxTop = kUnreadTop + kUnreadHeight + 6;
constexpr int kFirstRowY = kBoxTop + 40;
constexpr int kRowStep = 36;
constexpr int kRowHeight = 22;

CBlockUndo::Table mainCorrTable()
{
    CBlockUndo::Table t;
    t.block = CReadBlocks::MainCorr;
    t.get = [](const CLPGDevice& device) {
        const auto& corr = device.image().m_mainCorr.m_mainCorr;
        return CBlockUndo::Values(corr.begin(), corr.end());
    };
    t.set = [](CLPGDevice& device, const CBlockUndo::Values& values) {
        device.changeImage([&](CSettingsImage& image) {
            auto& corr = image.m_mainCorr.m_mainCorr;
            std::copy_n(values.begin(), std::min(values.size(), corr.size()), corr.begin());
        });
    };
    t.describe = [](std::size_t i, double v) {
        return translate(L"Korekty główne") + L" " + std::to_wstring(i + 1) + L": " + CMainCorrEdits::format(v)
            + translate(L" ms");
    };
    t.handler = L"CKalibracjaDlg::undo()";
    return t;
}

std::vector<SCtrlLayout> buildLayout()
{
    std::vector<SCtrlLayout> rows {
        { CKalibracjaDlg::kCorrBoxId, ECtrlKind::GroupBox, kLeft, kBoxTop, kWidth, 194, nullptr },
        { CKalibracjaDlg::kStartId, ECtrlKind::PushButton, kLeft, 10, 150, 30, L"Kalibracja" },
        { CKalibracjaDlg::kStopId, ECtrlKind::PushButton, kLeft + 160, 10, 150, 30, L"Zatrzymaj" },
        { CKalibracjaDlg::kPerCylinderId, ECtrlKind::CheckBox, kLeft, 48, kWidth, 18,
            L"Autokalibracja po 1 cylindrze" },
        { CKalibracjaDlg::kOneCorrectionId, ECtrlKind::CheckBox, 24, kBoxTop + 12, 300, 18, L"Jedna poprawka" },
    };
    for (int i = 0; i < CMainCorrEdits::kEdits; ++i) {
        const int x = kColumnX[i / 4];
        const int y = kFirstRowY + (i % 4) * kRowStep;
        rows.push_back(
            { CKalibracjaDlg::kFirstLabelId + i, ECtrlKind::LabelRight, x, y, 20, kRowHeight, kCylinderTexts[i] });
        rows.push_back(
            { CKalibracjaDlg::kFirstEditId + i, ECtrlKind::ReadOnlyEdit, x + 28, y, 140, kRowHeight, nullptr });
    }
    CUnreadLine::addRows(rows, kLeft, kUnreadTop, kWidth, kUnreadHeight);
    return rows;
}

const std::vector<SCtrlLayout>& pageLayout()
{
    static const std::vector<SCtrlLayout> rows = buildLayout();
    return rows;
}

QString translated(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

uint32_t colourRef(const QColor& colour)
{
    return static_cast<uint32_t>(colour.red()) | static_cast<uint32_t>(colour.green()) << 8
        | static_cast<uint32_t>(colour.blue()) << 16;
}

} // namespace

CKalibracjaDlg::CKalibracjaDlg(const CPageContext& context, QWidget* parent)
    : CWspolneOdczytyExMultiPageDlg(context, kResourceId, parent)
    , m_calibration(context.device, *this)
    , m_undo(context.device, mainCorrTable())
{
    setTranslator([](const std::wstring& text) { return translate(text); });
}

CKalibracjaDlg::~CKalibracjaDlg()
{
    // A page going away mid-run lets the procedure end at its next wait.
    m_calibration.stop();
}

std::span<const SCtrlLayout> CKalibracjaDlg::layoutTable() const
{
    return pageLayout();
}

void CKalibracjaDlg::createControls()
{
    CWspolneOdczytyExMultiPageDlg::createControls();

    m_progress = new QProgressBar(this);
    setCtrlId(m_progress, kProgressId);
    m_progress->setRange(0, CAutoCalibration::kProgressEnd);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setGeometry(CPageLayout::duToPixels(kLeft, kProgressTop, kWidth, kProgressHeight));

    m_log = new QListWidget(this);
    setCtrlId(m_log, kLogId);
    m_log->setSelectionMode(QAbstractItemView::NoSelection);
    m_log->setFocusPolicy(Qt::NoFocus);
    m_log->setWordWrap(true);
    m_log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The log's two colours are light: they stand on the dark backdrop.
    QPalette palette = m_log->palette();
    palette.setColor(QPalette::Base, GradPalette::backdropBottom());
    palette.setColor(QPalette::Text, GradPalette::fromColorRef(kCalibrationInfoColour));
    m_log->setPalette(palette);
    m_log->setGeometry(CPageLayout::duToPixels(kLeft, kLogTop, kWidth, kLogHeight));

    for (int i = 0; i < CMainCorrEdits::kEdits; ++i) {
        m_labels[static_cast<std::size_t>(i)] = findChildCtrl(this, kFirstLabelId + i);
        m_edits[static_cast<std::size_t>(i)] = qobject_cast<CExtEdit*>(findChildCtrl(this, kFirstEditId + i));
        auto* spin = new CCorrectionSpin(this);
        setOwnButtonTip(spin, kStepButtonTip);
        setCtrlId(spin, kFirstSpinId + i);
        spin->setGeometry(
            CPageLayout::duToPixels(kColumnX[i / 4] + 172, kFirstRowY + (i % 4) * kRowStep, 22, kRowHeight));
        connect(spin, &CCorrectionSpin::deltaPos, this, [this, i](int change) { onDeltaSpinMainCorr(i, change); });
        m_spins[static_cast<std::size_t>(i)] = spin;
    }
    m_unread = new CUnreadLine(this, m_context, kShownBlocks, [this] { showCorrections(); });
    m_unread->create();
    setOwnButtonTip(findChildCtrl(this, kPerCylinderId),
        L"Autokalibracja przełącza wtedy cylindry na gaz po jednym i wylicza korektę każdego; samo zaznaczenie "
        L"niczego nie wpisuje do sterownika.");
    setOwnButtonTip(findChildCtrl(this, kOneCorrectionId),
        L"Jedna korekta główna dla wszystkich cylindrów: strzałki przy cylindrze 1 zmieniają wszystkie i od razu "
        L"wpisują je do sterownika; samo zaznaczenie niczego nie wpisuje.");
}

bool CKalibracjaDlg::OnInitDialog()
{
    if (!CWspolneOdczytyExMultiPageDlg::OnInitDialog())
        return false;
    if (auto* start = qobject_cast<QAbstractButton*>(findChildCtrl(this, kStartId)))
        connect(start, &QAbstractButton::clicked, this, &CKalibracjaDlg::OnBnClickedStart);
    if (auto* stop = qobject_cast<QAbstractButton*>(findChildCtrl(this, kStopId)))
        connect(stop, &QAbstractButton::clicked, this, &CKalibracjaDlg::OnBnClickedStop);
    if (auto* one = qobject_cast<QCheckBox*>(findChildCtrl(this, kOneCorrectionId))) {
        one->setChecked(true);
        connect(one, &QCheckBox::toggled, this, [this] { updateSpins(); });
    }
    connect(&m_context.relay, &CDeviceEventRelay::linkConnected, this, [this] {
        updateSpins();
        if (!m_calibration.leftChanged().empty())
            QTimer::singleShot(0, this, &CKalibracjaDlg::offerPutBack);
    });
    connect(&m_context.relay, &CDeviceEventRelay::linkLost, this, [this] { updateSpins(); });
    updateTexts();
    showCorrections();
    return true;
}

void CKalibracjaDlg::activate()
{
    CWspolneOdczytyExMultiPageDlg::activate();
    showCorrections();
}

bool CKalibracjaDlg::correctionsUnread() const
{
    return m_unread && m_unread->unread(CReadBlocks::MainCorr) != 0;
}

void CKalibracjaDlg::updateTexts()
{
    CWspolneOdczytyExMultiPageDlg::updateTexts();
    retranslateLayout();
    if (auto* start = qobject_cast<QAbstractButton*>(findChildCtrl(this, kStartId)))
        start->setText(translated(L"Autokalibracja"));
    if (m_unread)
        m_unread->updateTexts();
}

bool CKalibracjaDlg::oneCorrection() const
{
    auto* box = qobject_cast<QCheckBox*>(findChildCtrl(this, kOneCorrectionId));
    return !box || box->isChecked();
}

bool CKalibracjaDlg::perCylinder() const
{
    auto* box = qobject_cast<QCheckBox*>(findChildCtrl(this, kPerCylinderId));
    return box && box->isChecked();
}

void CKalibracjaDlg::OnBnClickedStart()
{
    if (m_calibration.running())
        return;
    const bool oneByOne = perCylinder();
    m_context.doc.runOperation(
        kOperation, [this, oneByOne] { m_calibration.start(oneByOne); }, this);
}

void CKalibracjaDlg::OnBnClickedStop()
{
    m_calibration.stop();
}

void CKalibracjaDlg::offerPutBack()
{
    CLPGDevice& device = m_context.device;
    if (m_calibration.leftChanged().empty() || !device.isConnected())
        return;
    // The reconnection is raised inside the controller search, which holds the device.
    if (device.operation().running()) {
        QTimer::singleShot(kOfferRetryMs, this, &CKalibracjaDlg::offerPutBack);
        return;
    }
    m_context.doc.runOperation(kOperation, [this] { m_calibration.offerPutBack(); }, this);
    showCorrections();
}

void CKalibracjaDlg::onDeltaSpinMainCorr(int index, int positionChange)
{
    if (index < 0 || index >= CMainCorrEdits::kEdits || !m_context.device.isConnected() || m_calibration.running()
        || correctionsUnread())
        return;
    // A write in the middle of a search or a firmware update would cut into its exchanges.
    if (m_context.doc.refuseWhileBusy(this))
        return;
    COwnerScope owner(this);
    m_undo.begin();
    if (CMainCorrEdits::onDeltaSpin(m_context.device, m_texts, index, positionChange, oneCorrection()))
        m_undo.commit();
    // The texts as the rule left them, written or not.
    for (int i = 0; i < CMainCorrEdits::kEdits; ++i)
        if (CExtEdit* edit = m_edits[static_cast<std::size_t>(i)])
            edit->setText(QString::fromStdWString(m_texts[static_cast<std::size_t>(i)]));
}

void CKalibracjaDlg::undo()
{
    if (!m_context.device.isConnected() || m_calibration.running() || m_context.doc.refuseWhileBusy(this))
        return;
    COwnerScope owner(this);
    m_undo.undo();
    showCorrections();
}

void CKalibracjaDlg::redo()
{
    if (!m_context.device.isConnected() || m_calibration.running() || m_context.doc.refuseWhileBusy(this))
        return;
    COwnerScope owner(this);
    m_undo.redo();
    showCorrections();
}

std::vector<CKalibracjaDlg::SLogLine> CKalibracjaDlg::logLines() const
{
    std::vector<SLogLine> lines;
    if (!m_log)
        return lines;
    for (int i = 0; i < m_log->count(); ++i) {
        const QListWidgetItem* item = m_log->item(i);
        lines.push_back({ item->text().toStdWString(), colourRef(item->foreground().color()) });
    }
    return lines;
}

int CKalibracjaDlg::progressPosition() const
{
    return m_progress ? m_progress->value() : 0;
}

QString CKalibracjaDlg::correctionText(int index) const
{
    const CExtEdit* edit
        = index >= 0 && index < CMainCorrEdits::kEdits ? m_edits[static_cast<std::size_t>(index)] : nullptr;
    return edit ? edit->text() : QString();
}

void CKalibracjaDlg::clearLog()
{
    if (m_log)
        m_log->clear();
}

void CKalibracjaDlg::logLine(const std::wstring& text, uint32_t colour)
{
    if (!m_log)
        return;
    auto* item = new QListWidgetItem(QString::fromStdWString(text), m_log);
    item->setForeground(GradPalette::fromColorRef(colour));
    m_log->scrollToBottom();
}

void CKalibracjaDlg::progress(int position)
{
    if (m_progress)
        m_progress->setValue(position);
}

void CKalibracjaDlg::mainCorrectionsChanged()
{
    showCorrections();
}

void CKalibracjaDlg::runningChanged(bool)
{
    updateStartButton();
    updateSpins();
}

void CKalibracjaDlg::showCorrections()
{
    if (m_unread)
        m_unread->refresh();
    m_texts = CMainCorrEdits::texts(m_context.device);
    // Corrections not read from the controller now connected are not this car's.
    const bool unread = correctionsUnread();
    for (int i = 0; i < CMainCorrEdits::kEdits; ++i)
        if (CExtEdit* edit = m_edits[static_cast<std::size_t>(i)]) {
            edit->setText(unread ? QString::fromStdWString(CUnreadLine::kNoValue)
                                 : QString::fromStdWString(m_texts[static_cast<std::size_t>(i)]));
            edit->setEnabled(!unread);
        }
    updateSpins();
    updateStartButton();
}

void CKalibracjaDlg::updateSpins()
{
    const int n = m_context.device.image().m_devInfo.m_injCount;
    const bool connected = m_context.device.isConnected();
    const bool one = oneCorrection();
    const bool idle = !m_calibration.running();
    for (int i = 0; i < CMainCorrEdits::kEdits; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const bool shown = CMainCorrEdits::visible(i, n);
        for (QWidget* ctrl : { m_labels[k], static_cast<QWidget*>(m_edits[k]), static_cast<QWidget*>(m_spins[k]) })
            if (ctrl)
                ctrl->setVisible(shown);
        if (m_spins[k])
            m_spins[k]->setEnabled(idle && !correctionsUnread() && CMainCorrEdits::spinEnabled(i, connected, one));
        // With one common correction the other cylinders show it and take no value of their own.
        if (CExtEdit* edit = m_edits[k]; edit && i > 0 && !correctionsUnread()) {
            edit->setText(QString::fromStdWString(m_texts[one ? 0 : k]));
            edit->setEnabled(!one);
        }
    }
    if (auto* box = findChildCtrl(this, kOneCorrectionId))
        box->setEnabled(idle);
}

void CKalibracjaDlg::updateStartButton()
{
    const bool idle = !m_calibration.running();
    // The run writes the corrections and the base block: not over values that were not read.
    if (QWidget* start = findChildCtrl(this, kStartId))
        start->setEnabled(idle && !(m_unread && m_unread->missing()));
    if (QWidget* box = findChildCtrl(this, kPerCylinderId))
        box->setEnabled(idle);
}
