// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/noconnectiondlg.h>

#include <app/data/translate.h>
#include <app/platform/serialdiagnosis.h>
#include <basectrls/ctrlid.h>

#include <QAbstractButton>
#include <QLabel>

#include <algorithm>

namespace {

// 409 x 109 dialog units, three buttons of 130 side by side; the title static takes the top 32 px.
constexpr int kWidthDu = 409;
constexpr SCtrlLayout kLayout[] = {
    { CNoConnectionDlg::kTextId, ECtrlKind::LabelCenter, 10, 30, 389, 26, L"BRAK POŁĄCZENIA" },
    { CNoConnectionDlg::kDemoId, ECtrlKind::PushButton, 10, 64, 124, 34, L"Uruchom w trybie demo" },
    { CNoConnectionDlg::kOfflineId, ECtrlKind::PushButton, 142, 64, 124, 34, L"Uruchom bez połączenia" },
    { CNoConnectionDlg::kRetryId, ECtrlKind::PushButton, 274, 64, 124, 34, L"Ponów" },
};

// The same with the diagnosis under the buttons; the dialog grows by its height.
constexpr int kDiagnosisHeightDu = 84;
constexpr SCtrlLayout kLayoutWithDiagnosis[] = {
    kLayout[0],
    kLayout[1],
    kLayout[2],
    kLayout[3],
    { CNoConnectionDlg::kDiagnosisId, ECtrlKind::Label, 10, 104, kWidthDu - 20, kDiagnosisHeightDu - 4, nullptr },
};

std::wstring wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::wstring holderNames(const std::vector<PortHolder>& holders)
{
    std::wstring names;
    for (const auto& h : holders)
        names += (names.empty() ? L"" : L", ") + wide(h.command) + L" (PID " + std::to_wstring(h.pid) + L")";
    return names;
}

bool heldBy(const std::vector<PortHolder>& holders, const char* command)
{
    for (const auto& h : holders) {
        if (h.command == command)
            return true;
    }
    return false;
}

std::wstring portLine(const PortDiagnosis& d)
{
    const std::wstring port = wide(d.path) + L": ";
    switch (d.access) {
    case PortAccess::PermissionDenied: {
        const std::wstring group = wide(d.group.empty() ? std::string("dialout") : d.group);
        return port + translate(L"brak uprawnień; dodaj użytkownika do grupy") + L" " + group + L": sudo usermod -aG "
            + group + L" $USER, " + translate(L"potem wyloguj się i zaloguj ponownie");
    }
    case PortAccess::Busy:
    case PortAccess::Free: {
        if (d.access == PortAccess::Free && d.holders.empty())
            return {};
        // This program never names itself as the one to close.
        if (d.holders.empty() && d.heldHere)
            return port + translate(L"port już otwarty w tym programie");
        std::wstring line = port
            + (d.holders.empty() ? translate(L"port zajęty przez inny program")
                                 : translate(L"port zajęty przez") + L" " + holderNames(d.holders));
        if (heldBy(d.holders, "ModemManager"))
            line += L"; " + translate(L"zatrzymaj go") + L": sudo systemctl stop ModemManager";
        else if (heldBy(d.holders, "brltty"))
            line += L"; " + translate(L"zatrzymaj go") + L": sudo systemctl mask --now brltty-udev.service";
        return line;
    }
    case PortAccess::Missing:
    case PortAccess::Error:
    case PortAccess::NotSerial:
        return {};
    }
    return {};
}

} // namespace

std::wstring CNoConnectionDlg::diagnosisText(const std::vector<SearchAttempt>& attempts,
                                             const std::vector<PortEntry>& present,
                                             const CSerialDiagnosis& diagnosis, const std::string& lostPath)
{
    std::wstring text;
    const auto add = [&text](const std::wstring& line) {
        if (!line.empty())
            text += (text.empty() ? L"" : L"\n") + line;
    };
    // An adapter is a USB-serial port or one named on the command line.
    const auto adapter = [&present](const std::string& path) {
        for (const auto& p : present) {
            if (p.path == path)
                return CSerialDiagnosis::hasUsbSerialAdapter({ p }) || p.description.find("--port") != std::string::npos;
        }
        return false;
    };
    // The controller's own port went away with the link: its adapter was pulled out. Said first.
    const bool lostTried = std::any_of(
        attempts.begin(), attempts.end(), [&lostPath](const SearchAttempt& a) { return a.path == lostPath; });
    const bool lostGone = !lostPath.empty() && !lostTried && !adapter(lostPath);
    if (lostGone)
        add(wide(lostPath) + L": " + translate(L"port zniknął; adapter został odłączony"));
    bool silentAdapter = false;
    for (const auto& a : attempts) {
        // An adapter that opened with nothing behind it: the controller is off or its cable is out.
        if (a.failure == ConnectFailure::NoAnswer && adapter(a.path)) {
            silentAdapter = true;
            add(wide(a.path) + L": "
                + translate(L"adapter jest podłączony, ale sterownik nie odpowiada; sprawdź zapłon i przewód do sterownika"));
            continue;
        }
        if (a.failure != ConnectFailure::PermissionDenied && a.failure != ConnectFailure::PortBusy
            && a.failure != ConnectFailure::NoAnswer)
            continue;
        add(portLine(diagnosis.probe(a.path)));
    }
    if (!silentAdapter && !lostGone && !CSerialDiagnosis::hasUsbSerialAdapter(present))
        add(translate(L"Nie wykryto adaptera USB-serial; podłącz przewód sterownika."));
    return text;
}

CNoConnectionDlg::CNoConnectionDlg(QWidget* parent, std::wstring diagnosis)
    : CSkinDlg(kResourceId, parent)
    , m_diagnosis(std::move(diagnosis))
{
    setDesignSizeDu(kWidthDu, m_diagnosis.empty() ? 109 : 109 + kDiagnosisHeightDu);
    m_font.setFamilies({ QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans") });
    m_font.setPointSize(10);
    setTranslator([](const std::wstring& text) { return translate(text); });
    setSkinTitle(QStringLiteral("KORVANA"));
}

std::span<const SCtrlLayout> CNoConnectionDlg::layoutTable() const
{
    if (m_diagnosis.empty())
        return kLayout;
    return kLayoutWithDiagnosis;
}

bool CNoConnectionDlg::OnInitDialog()
{
    if (!CSkinDlg::OnInitDialog())
        return false;
    if (auto* text = qobject_cast<QLabel*>(findChildCtrl(this, kTextId))) {
        text->setAlignment(Qt::AlignCenter);
        text->setWordWrap(true);
    }
    if (auto* diagnosis = qobject_cast<QLabel*>(findChildCtrl(this, kDiagnosisId))) {
        diagnosis->setText(QString::fromStdWString(m_diagnosis));
        diagnosis->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        diagnosis->setWordWrap(true);
        // Commands to copy into a terminal.
        diagnosis->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    if (auto* demo = qobject_cast<QAbstractButton*>(findChildCtrl(this, kDemoId))) {
        connect(demo, &QAbstractButton::clicked, this, &QDialog::accept);
        demo->setFocus();
    }
    if (auto* offline = qobject_cast<QAbstractButton*>(findChildCtrl(this, kOfflineId)))
        connect(offline, &QAbstractButton::clicked, this, &QDialog::reject);
    if (auto* retry = qobject_cast<QAbstractButton*>(findChildCtrl(this, kRetryId)))
        connect(retry, &QAbstractButton::clicked, this, [this] { done(kRetryResult); });
    return true;
}

ENoConnectionChoice CNoConnectionDlg::ask()
{
    const int result = DoModal();
    if (result == QDialog::Accepted)
        return ENoConnectionChoice::Demo;
    return result == kRetryResult ? ENoConnectionChoice::Retry : ENoConnectionChoice::Offline;
}

void CNoConnectionDlg::recalcControls()
{
    CSkinDlg::recalcControls();
    if (QWidget* text = findChildCtrl(this, kTextId)) {
        QFont bold = text->font();
        bold.setBold(true);
        text->setFont(bold);
    }
}
