// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/infodlg.h>

#include <app/data/diagdata.h>
#include <app/data/translate.h>
#include <app/data/workingtime.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/pcid.h>
#include <app/platform/userinteraction.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/mainframe.h>
#include <app/shell/strvaluecmbbox.h>
#include <app/shell/unreadline.h>
#include <basectrls/ctrlid.h>
#include <basectrls/extedit.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>

#include <cstdio>
#include <vector>

namespace {

constexpr int kLabelOffset = 5000;
constexpr int kLeft = 8;
constexpr int kLabelWidth = 230;
constexpr int kEditX = kLeft + kLabelWidth + 8;
constexpr int kEditWidth = 262;
constexpr int kRowHeight = 25; // two lines of a long translated label
constexpr int kPitch = 30;
constexpr int kDataTitleId = 5001;
constexpr int kErrorsTitleId = 5002;

constexpr const wchar_t* kSetFailed = L"Nie powiodło się ustawienie urządzenia!";
constexpr const wchar_t* kReadFailed = L"Nie można wczytać błędów urządzenia";
constexpr const wchar_t* kClearFailed = L"Nie można skasować błędów urządzenia";

struct SField {
    int id;
    const wchar_t* label;
};
// The identity rows, top to bottom.
constexpr SField kRows[] = {
    { CInfoDlg::kVersionId, L"Wersja sterownika" },
    { CInfoDlg::kSerialId, L"Nr seryjny" },
    { CInfoDlg::kProdDateId, L"Data produkcji" },
    { CInfoDlg::kLastConnectionId, L"Ostatnio modyfikował:" },
    { CInfoDlg::kOwnIdId, L"Identyfikator własny:" },
    { CInfoDlg::kPetrolTimeId, L"Czas pracy na benzynie [h:m:s]:" },
    { CInfoDlg::kLpgTimeId, L"Czas pracy na gazie [h:m:s]:" },
    { CInfoDlg::kInspectionId, L"Inspekcja" },
    { CInfoDlg::kKmId, L"km do inspekcji" },
};
constexpr int kFirstRowY = 36;
constexpr int kErrorsTop = kFirstRowY + 9 * kPitch + 16;

std::vector<SCtrlLayout> buildLayout()
{
    std::vector<SCtrlLayout> rows;
    rows.push_back({ kDataTitleId, ECtrlKind::Label, kLeft, 8, 180, kRowHeight, L"Dane sterownika" });
    rows.push_back({ CInfoDlg::kCarId, ECtrlKind::PushButton, kEditX + kEditWidth - 310, 4, 150, 28, L"Samochód" });
    // The controller's restore points, on the title's line at the right of the identity.
    rows.push_back({ CInfoDlg::kHistoryId, ECtrlKind::PushButton, kEditX + kEditWidth - 150, 4, 150, 28,
                     L"Historia" });
    int y = kFirstRowY;
    for (const SField& row : kRows) {
        rows.push_back({ row.id + kLabelOffset, ECtrlKind::Label, kLeft, y, kLabelWidth, kRowHeight, row.label });
        rows.push_back({ row.id, row.id == CInfoDlg::kInspectionId ? ECtrlKind::Placeholder : ECtrlKind::ReadOnlyEdit,
                         kEditX, y + 1, kEditWidth, kRowHeight - 3, nullptr });
        y += kPitch;
    }
    rows.push_back({ kErrorsTitleId, ECtrlKind::Label, kLeft, kErrorsTop, 500, kRowHeight, L"Kody błędów" });
    rows.push_back({ CInfoDlg::kErrorsId, ECtrlKind::Placeholder, kLeft, kErrorsTop + 28, 500, 172, nullptr });
    CUnreadLine::addRows(rows, kLeft, kErrorsTop + 206, 500, 26);
    rows.push_back({ CInfoDlg::kReadErrorsId, ECtrlKind::PushButton, kLeft, kErrorsTop + 238, 240, 30,
                     L"Wczytaj błędy" });
    rows.push_back({ CInfoDlg::kClearErrorsId, ECtrlKind::PushButton, kLeft + 260, kErrorsTop + 238, 240, 30,
                     L"Kasuj błędy" });
    return rows;
}

const std::vector<SCtrlLayout>& pageLayout()
{
    static const std::vector<SCtrlLayout> rows = buildLayout();
    return rows;
}

// The inspection list: text = kilometres, with "on" (only shows one is set) and "off".
std::vector<CStrValueCmbBox::Item> inspectionItems()
{
    std::vector<CStrValueCmbBox::Item> items { { translate(L"Włączone"), -1 }, { translate(L"Wyłączone"), 0 } };
    for (int km : { 500, 1000, 2000, 5000, 10000, 20000, 50000 })
        items.push_back({ std::to_wstring(km), km });
    return items;
}

void fail(const wchar_t* text)
{
    userInteraction().message(translate(text), L"KORVANA", MsgIcon::Error);
}

} // namespace

CInfoDlg::CInfoDlg(const CPageContext& context, QWidget* parent)
    : CWspolneOdczytyExMultiPageDlg(context, kResourceId, parent)
{
    setObjectName(QStringLiteral("infoDlg"));
    setTranslator([](const std::wstring& text) { return translate(text); });
}

std::wstring CInfoDlg::versionText(const CDevInfo& info)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s  v %d.%01d.%u", QString::fromStdWString(info.m_modelName).toUtf8().constData(),
                  info.m_version >> 8 & 0xFF, info.m_version & 0xFF, static_cast<unsigned>(info.m_flags1));
    return QString::fromUtf8(text).toStdWString();
}

std::wstring CInfoDlg::idText(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02X%02X-%02X%02X", a, b, c, d);
    return QString::fromLatin1(text).toStdWString();
}

std::span<const SCtrlLayout> CInfoDlg::layoutTable() const
{
    return pageLayout();
}

void CInfoDlg::createControls()
{
    CWspolneOdczytyExMultiPageDlg::createControls();
    if (QWidget* placeholder = findChildCtrl(this, kInspectionId)) {
        m_inspection = new CStrValueCmbBox(this);
        setCtrlId(m_inspection, kInspectionId);
        m_inspection->setGeometry(placeholder->geometry());
        m_inspection->setClosedHeight(placeholder->geometry().height());
        placeholder->hide();
        placeholder->setParent(nullptr);
        placeholder->deleteLater();
        m_inspection->setItems(inspectionItems());
        m_inspection->setPlaceholderText(QString::fromStdWString(CUnreadLine::kNoValue));
        m_inspection->show();
        connect(m_inspection, &QComboBox::activated, this, [this] { OnCbnSelendokComboinspection(); });
    }
    if (QWidget* placeholder = findChildCtrl(this, kErrorsId)) {
        m_errors = new QListWidget(this);
        setCtrlId(m_errors, kErrorsId);
        m_errors->setGeometry(placeholder->geometry());
        m_errors->setSelectionMode(QAbstractItemView::NoSelection);
        placeholder->hide();
        placeholder->setParent(nullptr);
        placeholder->deleteLater();
        m_errors->show();
    }
    if (auto* read = qobject_cast<QAbstractButton*>(findChildCtrl(this, kReadErrorsId)))
        connect(read, &QAbstractButton::clicked, this, [this] { OnBnClickedButtonread(); });
    if (auto* clear = qobject_cast<QAbstractButton*>(findChildCtrl(this, kClearErrorsId)))
        connect(clear, &QAbstractButton::clicked, this, [this] { OnBnClickedButtonclear(); });
    if (auto* history = qobject_cast<QAbstractButton*>(findChildCtrl(this, kHistoryId)))
        connect(history, &QAbstractButton::clicked, this, [] {
            if (g_korvanaDoc && g_korvanaDoc->mainFrame())
                g_korvanaDoc->mainFrame()->OnFileHistory();
        });
    if (auto* car = qobject_cast<QAbstractButton*>(findChildCtrl(this, kCarId)))
        connect(car, &QAbstractButton::clicked, this, [] {
            if (g_korvanaDoc && g_korvanaDoc->mainFrame())
                g_korvanaDoc->mainFrame()->OnFileCar();
        });
    m_unread = new CUnreadLine(this, m_context, kShownBlocks, [this] { fillIdentity(); });
    m_unread->create();
}

void CInfoDlg::activate()
{
    CWspolneOdczytyExMultiPageDlg::activate();
    fillIdentity();
}

void CInfoDlg::updateTexts()
{
    CWspolneOdczytyExMultiPageDlg::updateTexts();
    retranslateLayout();
    if (m_inspection) {
        m_inspection->setItems(inspectionItems());
        m_inspection->setPlaceholderText(QString::fromStdWString(CUnreadLine::kNoValue));
    }
    if (m_unread)
        m_unread->updateTexts();
    showKm();
}

void CInfoDlg::setEdit(int id, const std::wstring& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(this, id)))
        edit->setText(QString::fromStdWString(text));
}

void CInfoDlg::showKm()
{
    // The inspection is held in the advanced setup: not read, it is not this car's.
    const bool unread = m_unread && m_unread->unread(CReadBlocks::AdvancedSetup) != 0;
    if (m_inspection)
        m_inspection->setEnabled(!unread);
    if (unread) {
        setEdit(kKmId, CUnreadLine::kNoValue);
        if (m_inspection) {
            const QSignalBlocker quiet(m_inspection);
            m_inspection->setCurrentIndex(-1);
        }
        return;
    }
    const auto km = kmToInspection(m_context.device.image());
    setEdit(kKmId, km ? std::to_wstring(*km) : std::wstring());
    if (m_inspection)
        m_inspection->selectValue(km ? -1 : 0);
}

void CInfoDlg::fillIdentity()
{
    if (m_filling)
        return;
    m_filling = true;
    struct SReset {
        bool& flag;
        ~SReset() { flag = false; }
    } reset { m_filling };
    CLPGDevice& device = m_context.device;
    const CSettingsImage& image = device.image();
    const CDevInfo& info = image.m_devInfo;
    if (m_unread)
        m_unread->refresh();
    const auto unread = [this](uint32_t block) { return m_unread && m_unread->unread(block) != 0; };
    const bool identityUnread = unread(CReadBlocks::DevInfo);
    setEdit(kProdDateId, identityUnread ? CUnreadLine::kNoValue : info.m_prodDate);
    setEdit(kVersionId, identityUnread ? CUnreadLine::kNoValue : versionText(info));
    setEdit(kSerialId, identityUnread ? CUnreadLine::kNoValue : info.m_serial);
    const auto& stored = image.m_base.m_pcId;
    setEdit(kLastConnectionId, unread(CReadBlocks::Base) ? std::wstring(CUnreadLine::kNoValue)
                                                         : idText(stored[0], stored[1], stored[2], stored[3]));
    // The inspection from the image now; the statistics below bring the hours up to date.
    showKm();
    // This PC's identifier in the order a base write stores it, so that the
    // two fields read the same when this PC made the last change.
    if (const auto own = pcIdentifier())
        setEdit(kOwnIdId, idText((*own)[0], (*own)[1], (*own)[2], (*own)[3]));
    if (!device.isConnected() || m_context.doc.operationRunning())
        return;
    bool read = false;
    try {
        read = device.readStatistics();
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("info", "CInfoDlg::fillIdentity()", *error);
    }
    if (!read)
        return; // the old texts stay
    setEdit(kPetrolTimeId, workingTimeText(device.image().m_devInfo.m_statistic.gas));
    setEdit(kLpgTimeId, workingTimeText(device.image().m_devInfo.m_statistic.lpg));
    showKm();
}

void CInfoDlg::OnCbnSelendokComboinspection()
{
    if (!m_inspection)
        return;
    const int km = m_inspection->value(-1);
    if (km == -1 || (m_unread && m_unread->unread(CReadBlocks::AdvancedSetup)))
        return;
    CLPGDevice& device = m_context.device;
    if (device.isConnected() && m_context.doc.refuseWhileBusy(this)) {
        showKm();
        return;
    }
    device.changeImage([km](CSettingsImage& image) {
        if (km == 0)
            image.m_advancedSetup.m_advancedFlags &= ~kAdvInspectionReminder;
        else
            image.m_advancedSetup.m_advancedFlags |= kAdvInspectionReminder;
        image.m_advancedSetup.m_inspectionCounter = inspectionDeadline(image.m_devInfo.m_statistic.lpg, km);
    });
    setEdit(kKmId, km > 0 ? std::to_wstring(km) : std::wstring());
    bool ok = false;
    CWriteReport report;
    m_context.doc.runOperation(
        L"Zapis ustawień",
        [&] {
            try {
                report = CWriteSession::writeBlocks(device, L"CInfoDlg::OnCbnSelendokComboinspection()",
                                                    { CReadBlocks::AdvancedSetup });
                ok = report.ok();
            } catch (IError* e) {
                CErrorGuard error(e);
                logSwallowed("info", "CInfoDlg::OnCbnSelendokComboinspection()", *error);
            }
        },
        this);
    if (!ok) {
        if (report.outcome == CWriteReport::Outcome::Refused)
            report.show(kSetFailed);
        else
            fail(kSetFailed);
    }
}

void CInfoDlg::OnBnClickedButtonread()
{
    CLPGDevice& device = m_context.device;
    m_context.doc.runOperation(
        L"Wczytywanie błędów",
        [&] {
            CWaitCursor wait;
            std::array<uint8_t, 4> bytes {};
            bool ok = false;
            try {
                ok = device.readErrors(bytes);
            } catch (IError* e) {
                CErrorGuard error(e);
                logSwallowed("info", "CInfoDlg::OnBnClickedButtonread()", *error);
            }
            if (!ok) {
                fail(kReadFailed);
                return;
            }
            logInfo("info", "error memory read");
            if (!m_errors)
                return;
            m_errors->clear();
            // Each error with the byte and bit it comes from ("2.6"), as the controller's documents name them.
            for (std::size_t b = 0; b < bytes.size(); ++b) {
                for (unsigned bit = 0; bit < 8; ++bit) {
                    if (!(bytes[b] & (1u << bit)))
                        continue;
                    for (const std::wstring& text : device.decodeModule(b, static_cast<uint8_t>(1u << bit)))
                        m_errors->addItem(QString::fromStdWString(
                            std::to_wstring(b) + L"." + std::to_wstring(bit) + L"  " + text));
                }
            }
            m_errors->repaint();
        },
        this);
}

void CInfoDlg::OnBnClickedButtonclear()
{
    CLPGDevice& device = m_context.device;
    m_context.doc.runOperation(
        L"Kasowanie błędów", L"CDevDataDlg::OnBnClickedButtonclear()",
        [&] {
            // The restart moves the car to petrol for a moment: the fitter says yes first.
            if (!userInteraction().question(translate(L"Kasowanie błędów restartuje sterownik na benzynie. Czy "
                                                      L"skasować błędy sterownika?"),
                                            L"KORVANA", MsgIcon::Question, false)) {
                logInfo("info", "clearing the error memory: the fitter said no");
                return;
            }
            CWaitCursor wait;
            // The restart on petrol clears them; the session gives the car its fuel mode back.
            CWriteSession session(device, L"CDevDataDlg::OnBnClickedButtonclear()");
            logInfo("info", "clearing the error memory: restart on petrol");
            if (!session.restart()) {
                fail(kClearFailed);
                return;
            }
            if (m_errors) {
                m_errors->clear();
                m_errors->repaint();
            }
        },
        this);
}
