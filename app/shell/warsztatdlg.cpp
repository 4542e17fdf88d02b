// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/warsztatdlg.h>

#include <app/data/translate.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <basectrls/ctrlid.h>
#include <errkit/utf8.h>

#include <QAbstractButton>
#include <QLineEdit>

#include <filesystem>

namespace {

// 420 x 190 dialog units; the title static takes the top 32 px.
constexpr int kLabelX = 10;
constexpr int kLabelWidth = 120;
constexpr int kEditX = 136;
constexpr int kEditWidth = 220;

constexpr SCtrlLayout kLayout[] = {
    { 1420, ECtrlKind::Label, kLabelX, 28, kLabelWidth, 14, L"Nazwa warsztatu" },
    { CWarsztatDlg::kNameId, ECtrlKind::Edit, kEditX, 28, kEditWidth, 14, nullptr },
    { 1421, ECtrlKind::Label, kLabelX, 48, kLabelWidth, 14, L"Adres" },
    { CWarsztatDlg::kAddressId, ECtrlKind::Edit, kEditX, 48, kEditWidth, 14, nullptr },
    { 1422, ECtrlKind::Label, kLabelX, 68, kLabelWidth, 14, L"Telefon" },
    { CWarsztatDlg::kPhoneId, ECtrlKind::Edit, kEditX, 68, kEditWidth, 14, nullptr },
    { 1423, ECtrlKind::Label, kLabelX, 88, kLabelWidth, 14, L"NIP" },
    { CWarsztatDlg::kTaxId, ECtrlKind::Edit, kEditX, 88, kEditWidth, 14, nullptr },
    { 1424, ECtrlKind::Label, kLabelX, 108, kLabelWidth, 14, L"Logo" },
    { CWarsztatDlg::kLogoId, ECtrlKind::Edit, kEditX, 108, kEditWidth, 14, nullptr },
    { CWarsztatDlg::kChooseLogoId, ECtrlKind::PushButton, kEditX + kEditWidth + 6, 106, 50, 18, L"Wybierz..." },
    { CWarsztatDlg::kOkId, ECtrlKind::PushButton, 270, 160, 66, 20, L"OK" },
    { CWarsztatDlg::kCancelId, ECtrlKind::PushButton, 342, 160, 66, 20, L"Anuluj" },
};

} // namespace

CWarsztatDlg::CWarsztatDlg(const CWorkshop& workshop, QWidget* parent)
    : CSkinDlg(kResourceId, parent)
    , m_workshop(workshop)
{
    setObjectName(QStringLiteral("warsztatDlg"));
    setDesignSizeDu(420, 190);
    setTranslator([](const std::wstring& text) { return translate(text); });
    setSkinTitle(QString::fromStdWString(translate(L"Dane warsztatu")));
}

std::span<const SCtrlLayout> CWarsztatDlg::layoutTable() const
{
    return kLayout;
}

void CWarsztatDlg::setField(int id, const std::wstring& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(this, id)))
        edit->setText(QString::fromStdWString(text));
}

std::wstring CWarsztatDlg::field(int id) const
{
    if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(this, id)))
        return edit->text().trimmed().toStdWString();
    return {};
}

bool CWarsztatDlg::OnInitDialog()
{
    if (!CSkinDlg::OnInitDialog())
        return false;
    setField(kNameId, m_workshop.m_name);
    // The address is one line here; the report breaks it at its commas' places as written.
    std::wstring address = m_workshop.m_address;
    for (std::size_t at = 0; (at = address.find(L'\n', at)) != std::wstring::npos;)
        address.replace(at, 1, L", ");
    setField(kAddressId, address);
    setField(kPhoneId, m_workshop.m_phone);
    setField(kTaxId, m_workshop.m_taxNumber);
    setField(kLogoId, fromUtf8(m_workshop.m_logoPath));
    if (auto* choose = qobject_cast<QAbstractButton*>(findChildCtrl(this, kChooseLogoId)))
        connect(choose, &QAbstractButton::clicked, this, [this] {
            const std::string folder = std::filesystem::path(toUtf8(field(kLogoId))).parent_path().string();
            const std::string path = userInteraction().chooseFile(
                false, translate(L"Logo"), translate(L"Obrazy (*.png *.jpg *.jpeg *.bmp)"), folder, {});
            if (!path.empty())
                setField(kLogoId, fromUtf8(path));
        });
    if (auto* ok = qobject_cast<QAbstractButton*>(findChildCtrl(this, kOkId)))
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    if (auto* cancel = qobject_cast<QAbstractButton*>(findChildCtrl(this, kCancelId)))
        connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    return true;
}

CWorkshop CWarsztatDlg::workshop() const
{
    CWorkshop w;
    w.m_name = field(kNameId);
    w.m_address = field(kAddressId);
    w.m_phone = field(kPhoneId);
    w.m_taxNumber = field(kTaxId);
    w.m_logoPath = toUtf8(field(kLogoId));
    return w;
}
