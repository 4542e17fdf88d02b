// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/settingsdiffdlg.h>

#include <app/data/translate.h>
#include <basectrls/ctrlid.h>

#include <QAbstractButton>
#include <QHeaderView>
#include <QTableWidget>

namespace {

// 400 x 260 dialog units; the title static takes the top 32 px.
constexpr SCtrlLayout kLayout[] = {
    { CSettingsDiffDlg::kListId, ECtrlKind::Placeholder, 8, 26, 384, 202, nullptr },
    { CSettingsDiffDlg::kOkId, ECtrlKind::PushButton, 336, 236, 56, 18, L"OK" },
};

QString translated(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

} // namespace

CSettingsDiffDlg::CSettingsDiffDlg(std::vector<CSettingDifference> differences, const QString& fileTitle,
                                   QWidget* parent)
    : CSkinDlg(kResourceId, parent)
    , m_differences(std::move(differences))
    , m_fileTitle(fileTitle)
{
    setObjectName(QStringLiteral("settingsDiffDlg"));
    setDesignSizeDu(400, 260);
    setTranslator([](const std::wstring& text) { return translate(text); });
    setSkinTitle(translated(L"Porównaj z plikiem…"));
}

std::span<const SCtrlLayout> CSettingsDiffDlg::layoutTable() const
{
    return kLayout;
}

void CSettingsDiffDlg::createControls()
{
    CSkinDlg::createControls();
    QWidget* placeholder = findChildCtrl(this, kListId);
    if (!placeholder)
        return;
    m_table = new QTableWidget(static_cast<int>(m_differences.size()), 3, this);
    setCtrlId(m_table, kListId);
    m_table->setGeometry(placeholder->geometry());
    placeholder->hide();
    placeholder->setParent(nullptr);
    placeholder->deleteLater();
    m_table->setHorizontalHeaderLabels({ translated(L"Ustawienie"), m_fileTitle, translated(L"Sterownik") });
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int row = 0; row < static_cast<int>(m_differences.size()); ++row) {
        const CSettingDifference& d = m_differences[static_cast<std::size_t>(row)];
        m_table->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(d.key)));
        m_table->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(d.a)));
        m_table->setItem(row, 2, new QTableWidgetItem(QString::fromStdString(d.b)));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->show();
}

bool CSettingsDiffDlg::OnInitDialog()
{
    if (!CSkinDlg::OnInitDialog())
        return false;
    if (auto* ok = qobject_cast<QAbstractButton*>(findChildCtrl(this, kOkId))) {
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
        ok->setFocus();
    }
    return true;
}
