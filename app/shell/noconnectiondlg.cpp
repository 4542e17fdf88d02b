#include <app/shell/noconnectiondlg.h>

#include <app/data/translate.h>
#include <basectrls/ctrlid.h>

#include <QAbstractButton>
#include <QLabel>

namespace {

// 299 x 109 dialog units; the title static takes the top 32 px.
constexpr SCtrlLayout kLayout[] = {
    { CNoConnectionDlg::kTextId, ECtrlKind::LabelCenter, 10, 30, 279, 26, L"BRAK POŁĄCZENIA" },
    { CNoConnectionDlg::kDemoId, ECtrlKind::PushButton, 14, 70, 130, 26, L"Uruchom w trybie demo" },
    { CNoConnectionDlg::kOfflineId, ECtrlKind::PushButton, 155, 70, 130, 26, L"Uruchom bez połączenia" },
};

} // namespace

CNoConnectionDlg::CNoConnectionDlg(QWidget* parent)
    : CSkinDlg(kResourceId, parent)
{
    setDesignSizeDu(299, 109);
    m_font.setFamilies({ QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans") });
    m_font.setPointSize(10);
    setTranslator([](const std::wstring& text) { return translate(text); });
    setSkinTitle(QStringLiteral("KORVANA"));
}

std::span<const SCtrlLayout> CNoConnectionDlg::layoutTable() const
{
    return kLayout;
}

bool CNoConnectionDlg::OnInitDialog()
{
    if (!CSkinDlg::OnInitDialog())
        return false;
    if (auto* text = qobject_cast<QLabel*>(findChildCtrl(this, kTextId))) {
        text->setAlignment(Qt::AlignCenter);
        text->setWordWrap(true);
    }
    if (auto* demo = qobject_cast<QAbstractButton*>(findChildCtrl(this, kDemoId))) {
        connect(demo, &QAbstractButton::clicked, this, &QDialog::accept);
        demo->setFocus();
    }
    if (auto* offline = qobject_cast<QAbstractButton*>(findChildCtrl(this, kOfflineId)))
        connect(offline, &QAbstractButton::clicked, this, &QDialog::reject);
    return true;
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
