// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/settingsdiffdlg.h>

#include <app/data/translate.h>
#include <basectrls/ctrlid.h>

#include <QAbstractButton>
#include <QColor>
#include <QHeaderView>
#include <QTableWidget>

#include <algorithm>
#include <utility>

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

// The rows and columns that hold a changed cell, each in numeric order.
std::pair<QStringList, QStringList> gridKeys(const std::vector<std::tuple<QString, QString, QString, QString>>& cells)
{
    QStringList rowKeys, columnKeys;
    for (const auto& [r, c, a, b] : cells) {
        if (!rowKeys.contains(r))
            rowKeys << r;
        if (!columnKeys.contains(c))
            columnKeys << c;
    }
    const auto byNumber = [](const QString& x, const QString& y) { return x.toDouble() < y.toDouble(); };
    std::sort(rowKeys.begin(), rowKeys.end(), byNumber);
    std::sort(columnKeys.begin(), columnKeys.end(), byNumber);
    return { rowKeys, columnKeys };
}

// A value as the page shows it: with the unit of a value that does not carry its own.
QString shownValue(const std::string& key, const std::string& value)
{
    const QString text = QString::fromStdString(value);
    const CShownSettingName name = shownSettingName(key);
    if (!name.unit.empty() && !text.isEmpty())
        return text + QStringLiteral(" ") + QString::fromStdWString(name.unit);
    return text;
}

// "Ustawienia › Temperatura przełączenia": the page and the label the fitter
// knows a setting by; the file's key where no page shows it.
QString shownName(const std::string& key)
{
    const CShownSettingName name = shownSettingName(key);
    return name.name.empty() ? QString::fromStdString(key) : QString::fromStdWString(name.name);
}

// A map cell's key, "m_injMapTable[ROW][RPM]": the row (2 … 20) and the rpm column label.
bool mapCell(const std::string& key, QString& row, QString& column)
{
    static const std::string prefix = "m_injMapTable[";
    if (key.rfind(prefix, 0) != 0)
        return false;
    const auto close = key.find(']', prefix.size());
    if (close == std::string::npos || close + 2 >= key.size() || key[close + 1] != '[')
        return false;
    row = QString::fromStdString(key.substr(prefix.size(), close - prefix.size()));
    column = QString::fromStdString(key.substr(close + 2, key.size() - close - 3));
    return true;
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
    // The map's cells are one row: the changed cells as a grid, in the tool tip.
    std::vector<const CSettingDifference*> rows;
    std::vector<std::tuple<QString, QString, QString, QString>> cells; // row, column, file, controller
    for (const CSettingDifference& d : m_differences) {
        QString r, c;
        if (mapCell(d.key, r, c))
            cells.emplace_back(r, c, QString::fromStdString(d.a), QString::fromStdString(d.b));
        else
            rows.push_back(&d);
    }
    const int total = static_cast<int>(rows.size()) + (cells.empty() ? 0 : 1);
    m_table = new QTableWidget(total, 3, this);
    setCtrlId(m_table, kListId);
    m_table->setGeometry(placeholder->geometry());
    placeholder->hide();
    placeholder->setParent(nullptr);
    placeholder->deleteLater();
    m_table->setHorizontalHeaderLabels({ translated(L"Ustawienie"), m_fileTitle, translated(L"Sterownik") });
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const CSettingDifference& d = *rows[static_cast<std::size_t>(row)];
        auto* name = new QTableWidgetItem(shownName(d.key));
        name->setToolTip(QString::fromStdString(d.key));
        m_table->setItem(row, 0, name);
        m_table->setItem(row, 1, new QTableWidgetItem(shownValue(d.key, d.a)));
        m_table->setItem(row, 2, new QTableWidgetItem(shownValue(d.key, d.b)));
    }
    if (!cells.empty()) {
        const int row = static_cast<int>(rows.size());
        const QString count = translated(L"zmienione komórki: %1").arg(cells.size());
        auto* name = new QTableWidgetItem(translated(L"Mapa 2D"));
        m_mapGrid = mapGridText(cells);
        m_table->setItem(row, 0, name);
        m_table->setItem(row, 1, new QTableWidgetItem(count));
        m_table->setItem(row, 2, new QTableWidgetItem(count));
        for (int column = 0; column < 3; ++column)
            m_table->item(row, column)->setToolTip(m_mapGrid);
        // The changed cells on screen too, below the list: the map's rows and columns they lie in.
        const QRect area = m_table->geometry();
        const int listHeight = std::max(area.height() * 2 / 5, m_table->verticalHeader()->defaultSectionSize() * 3);
        m_table->setGeometry(area.x(), area.y(), area.width(), listHeight);
        m_mapTable = makeMapTable(cells);
        m_mapTable->setGeometry(area.x(), area.y() + listHeight + 4, area.width(), area.height() - listHeight - 4);
        m_mapTable->show();
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->show();
}

QTableWidget* CSettingsDiffDlg::makeMapTable(const std::vector<std::tuple<QString, QString, QString, QString>>& cells)
{
    const auto [rowKeys, columnKeys] = gridKeys(cells);
    auto* grid = new QTableWidget(static_cast<int>(rowKeys.size()), static_cast<int>(columnKeys.size()), this);
    grid->setObjectName(QStringLiteral("mapDifferences"));
    grid->setHorizontalHeaderLabels(columnKeys);
    grid->setVerticalHeaderLabels(rowKeys);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setToolTip(translated(L"Mapa 2D") + QStringLiteral(": ") + m_fileTitle + QStringLiteral(" → ")
                     + translated(L"Sterownik"));
    for (const auto& [r, c, a, b] : cells) {
        auto* item = new QTableWidgetItem(a + QStringLiteral(" → ") + b);
        item->setTextAlignment(Qt::AlignCenter);
        // Changed cells stand out from the empty ones around them.
        item->setBackground(QColor(0xFF, 0xE8, 0xA0));
        grid->setItem(static_cast<int>(rowKeys.indexOf(r)), static_cast<int>(columnKeys.indexOf(c)), item);
    }
    grid->resizeColumnsToContents();
    return grid;
}

QString CSettingsDiffDlg::mapGridText(const std::vector<std::tuple<QString, QString, QString, QString>>& cells)
{
    // ms rows down, rpm columns across; each changed cell "file → controller", the others empty.
    const auto [rowKeys, columnKeys] = gridKeys(cells);
    QString text = QStringLiteral("<table border=1 cellspacing=0 cellpadding=2><tr><th></th>");
    for (const QString& c : columnKeys)
        text += QStringLiteral("<th>%1</th>").arg(c);
    text += QStringLiteral("</tr>");
    for (const QString& r : rowKeys) {
        text += QStringLiteral("<tr><th>%1</th>").arg(r);
        for (const QString& c : columnKeys) {
            QString cell;
            for (const auto& [cr, cc, a, b] : cells)
                if (cr == r && cc == c)
                    cell = a + QStringLiteral(" → ") + b;
            text += QStringLiteral("<td>%1</td>").arg(cell);
        }
        text += QStringLiteral("</tr>");
    }
    return text + QStringLiteral("</table>");
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
