// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/historiadlg.h>

#include <app/data/readblocks.h>
#include <app/data/settingfields.h>
#include <app/data/settingsio.h>
#include <app/data/translate.h>
#include <app/device/historyrecorder.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <app/tuning/docoperations.h>
#include <basectrls/ctrlid.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QHeaderView>
#include <QInputDialog>
#include <QPainter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

namespace {

// 800 x 560 dialog units: the points on the left, what differs on the right, the map grid below it.
constexpr SCtrlLayout kLayout[] = {
    { CHistoriaDlg::kPointsId, ECtrlKind::Placeholder, 8, 26, 300, 500, nullptr },
    { CHistoriaDlg::kDiffId, ECtrlKind::Placeholder, 316, 26, 476, 200, nullptr },
    { CHistoriaDlg::kMapId, ECtrlKind::Placeholder, 316, 232, 476, 294, nullptr },
    { CHistoriaDlg::kCompareId, ECtrlKind::PushButton, 8, 534, 90, 18, L"Porównaj" },
    { CHistoriaDlg::kRestoreId, ECtrlKind::PushButton, 104, 534, 90, 18, L"Przywróć…" },
    { CHistoriaDlg::kExportId, ECtrlKind::PushButton, 200, 534, 90, 18, L"Eksportuj…" },
    { CHistoriaDlg::kNoteId, ECtrlKind::PushButton, 296, 534, 90, 18, L"Notatka…" },
    { CHistoriaDlg::kOkId, ECtrlKind::PushButton, 736, 534, 56, 18, L"OK" },
};

// The groups as the restore offers them, in the order of historyGroups().
constexpr const wchar_t* kGroupTitles[] = { L"Podstawowe", L"Zaawansowane", L"Mapa z osiami", L"Krzywe", L"Korekty",
                                            L"Czujniki", L"OBD" };

QString translated(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

QString qs(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

// The car's "vendor model" from a point's car lines.
std::string carOf(const std::string& car)
{
    std::string text;
    for (const char* key : { "vendor=", "model=" }) {
        const auto at = car.find(key);
        if (at == std::string::npos)
            continue;
        const auto from = at + std::char_traits<char>::length(key);
        text += (text.empty() ? "" : " ") + car.substr(from, car.find('\n', from) - from);
    }
    return text;
}

QWidget* replacePlaceholder(CSkinDlg* dialog, int id, QWidget* widget)
{
    QWidget* placeholder = findChildCtrl(dialog, id);
    setCtrlId(widget, id);
    if (placeholder) {
        widget->setGeometry(placeholder->geometry());
        placeholder->hide();
        placeholder->setParent(nullptr);
        placeholder->deleteLater();
    }
    widget->show();
    return widget;
}

// What a point's operation says to the fitter.
QString operationText(const std::string& operation)
{
    static const std::map<std::string, const wchar_t*> texts {
        { "connected", L"Połączenie" },
        { "before set", L"Przed zmianą ustawień" },
        { "after set", L"Po zmianie ustawień" },
        { "before map", L"Przed zmianą mapy" },
        { "after map", L"Po zmianie mapy" },
        { "before restore", L"Przed przywróceniem" },
        { "after restore", L"Po przywróceniu" },
        { "before firmware", L"Przed aktualizacją oprogramowania" },
        { "after firmware", L"Po aktualizacji oprogramowania" },
        { "before calibration", L"Przed autokalibracją" },
        { "after calibration", L"Po autokalibracji" },
        { "before factory settings", L"Przed ustawieniami fabrycznymi" },
        { "after factory settings", L"Po ustawieniach fabrycznych" },
    };
    const auto it = texts.find(operation);
    return it == texts.end() ? QString::fromStdString(operation) : translated(it->second);
}

// A setting by the name its page gives it, else by its key.
QString settingName(const std::string& key)
{
    const CSettingField* field = CSettingsTable::find(key);
    return field && *field->label ? translated(field->label) : QString::fromStdString(key);
}

} // namespace

// The curves two points hold, each drawn twice: the first point in grey, the
// second in colour, on a scale of their own.
class CHistoryCurves : public QWidget {
public:
    struct Curve {
        QString name;
        std::vector<double> a;
        std::vector<double> b;
    };
    explicit CHistoryCurves(QWidget* parent)
        : QWidget(parent)
    {
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::Base);
    }
    void setCurves(std::vector<Curve> curves, QString titleA, QString titleB)
    {
        m_curves = std::move(curves);
        m_titleA = std::move(titleA);
        m_titleB = std::move(titleB);
        update();
    }
    const std::vector<Curve>& curves() const { return m_curves; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QFontMetrics metrics(font());
        const int legend = metrics.height() + 6;
        painter.setPen(QPen(Qt::gray, 2));
        painter.drawLine(8, legend / 2, 28, legend / 2);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(32, metrics.ascent() + 3, m_titleA);
        const int second = 48 + metrics.horizontalAdvance(m_titleA);
        painter.setPen(QPen(QColor(230, 110, 20), 2));
        painter.drawLine(second, legend / 2, second + 20, legend / 2);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(second + 24, metrics.ascent() + 3, m_titleB);
        if (m_curves.empty())
            return;
        const int rowHeight = (height() - legend) / static_cast<int>(m_curves.size());
        for (std::size_t i = 0; i < m_curves.size(); ++i) {
            const Curve& c = m_curves[i];
            const QRect row(8, legend + static_cast<int>(i) * rowHeight, width() - 16, rowHeight - 4);
            painter.setPen(palette().color(QPalette::Text));
            painter.drawText(row.left(), row.top() + metrics.ascent(), c.name);
            const QRect plot = row.adjusted(0, metrics.height() + 2, 0, 0);
            painter.setPen(QPen(palette().color(QPalette::Mid), 1));
            painter.drawRect(plot);
            double lo = 0;
            double hi = 0;
            for (const auto* values : { &c.a, &c.b })
                for (double v : *values) {
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
            if (hi - lo < 1)
                hi = lo + 1;
            const auto line = [&](const std::vector<double>& values, const QPen& pen) {
                QPolygonF points;
                for (std::size_t k = 0; k < values.size(); ++k)
                    points << QPointF(plot.left() + plot.width() * double(k) / double(std::max<std::size_t>(1, values.size() - 1)),
                                      plot.bottom() - plot.height() * (values[k] - lo) / (hi - lo));
                painter.setPen(pen);
                painter.drawPolyline(points);
            };
            line(c.a, QPen(Qt::gray, 2));
            line(c.b, QPen(QColor(230, 110, 20), 2));
        }
    }

private:
    std::vector<Curve> m_curves;
    QString m_titleA;
    QString m_titleB;
};

CHistoriaDlg::CHistoriaDlg(CHistoryRecorder& history, CLPGDevice& device, QWidget* parent)
    : CSkinDlg(kResourceId, parent)
    , m_history(history)
    , m_device(device)
{
    setObjectName(QStringLiteral("historiaDlg"));
    setDesignSizeDu(800, 560);
    setTranslator([](const std::wstring& text) { return translate(text); });
    setSkinTitle(translated(L"Historia"));
}

std::span<const SCtrlLayout> CHistoriaDlg::layoutTable() const
{
    return kLayout;
}

void CHistoriaDlg::createControls()
{
    CSkinDlg::createControls();
    m_points = new QTreeWidget(this);
    m_points->setColumnCount(4);
    m_points->setHeaderLabels({ translated(L"Czas"), translated(L"Operacja"), translated(L"Komputer"), translated(L"Notatka") });
    m_points->setSelectionMode(QAbstractItemView::ExtendedSelection);
    replacePlaceholder(this, kPointsId, m_points);

    m_diff = new QTableWidget(0, 3, this);
    m_diff->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_diff->verticalHeader()->hide();
    m_diff->setHorizontalHeaderLabels({ translated(L"Ustawienie"), QString(), QString() });
    replacePlaceholder(this, kDiffId, m_diff);

    auto* tabs = new QTabWidget(this);
    m_map = new QTableWidget(kMapRows, kMapCols, tabs);
    m_map->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabs->addTab(m_map, translated(L"Mapa"));
    m_curves = new CHistoryCurves(tabs);
    tabs->addTab(m_curves, translated(L"Krzywe"));
    replacePlaceholder(this, kMapId, tabs);
    fillPoints();
}

bool CHistoriaDlg::OnInitDialog()
{
    if (!CSkinDlg::OnInitDialog())
        return false;
    const auto button = [this](int id, auto slot) {
        if (auto* b = qobject_cast<QAbstractButton*>(findChildCtrl(this, id)))
            connect(b, &QAbstractButton::clicked, this, slot);
    };
    button(kOkId, [this] { accept(); });
    button(kCompareId, [this] {
        if (!compare())
            userInteraction().message(translate(L"Zaznacz jeden punkt (porównanie ze sterownikiem) lub dwa punkty."),
                                      L"KORVANA", MsgIcon::Information);
    });
    button(kRestoreId, [this] { onRestore(); });
    button(kExportId, [this] { exportPoint(); });
    button(kNoteId, [this] { onNote(); });
    return true;
}

QString CHistoriaDlg::pointTitle(const CHistoryPoint& p) const
{
    return qs(CHistoryRecorder::localTime(p.time)) + QStringLiteral(" ") + operationText(p.operation);
}

void CHistoriaDlg::fillPoints()
{
    m_points->clear();
    if (!m_history.store().readable())
        return;
    std::map<std::string, QTreeWidgetItem*> controllers;
    for (const auto& p : m_history.store().list()) {
        QTreeWidgetItem*& top = controllers[p.serial];
        if (!top) {
            top = new QTreeWidgetItem(m_points);
            top->setFlags(Qt::ItemIsEnabled);
            top->setFirstColumnSpanned(true);
        }
        // The controller's line names the car of its newest point.
        const std::string car = carOf(p.car);
        top->setText(0, qs(escapeControls(p.serial) + " — " + escapeControls(p.model)
                           + (car.empty() ? std::string() : " — " + escapeControls(car))));
        auto* item = new QTreeWidgetItem(top);
        item->setText(0, qs(CHistoryRecorder::localTime(p.time)));
        item->setText(1, operationText(p.operation));
        item->setData(1, Qt::UserRole, qs(p.operation));
        item->setText(2, qs(p.pc));
        item->setText(3, qs(escapeControls(p.note)));
        item->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(p.id));
    }
    m_points->expandAll();
    for (int c = 0; c < 3; ++c)
        m_points->resizeColumnToContents(c);
}

void CHistoriaDlg::selectPoints(const std::vector<int64_t>& ids)
{
    m_points->clearSelection();
    for (int t = 0; t < m_points->topLevelItemCount(); ++t) {
        QTreeWidgetItem* top = m_points->topLevelItem(t);
        for (int c = 0; c < top->childCount(); ++c) {
            QTreeWidgetItem* item = top->child(c);
            const auto id = item->data(0, Qt::UserRole).toLongLong();
            if (std::find(ids.begin(), ids.end(), id) != ids.end())
                item->setSelected(true);
        }
    }
}

std::vector<int64_t> CHistoriaDlg::selectedIds() const
{
    std::vector<int64_t> ids;
    for (QTreeWidgetItem* item : m_points->selectedItems())
        if (item->data(0, Qt::UserRole).isValid())
            ids.push_back(item->data(0, Qt::UserRole).toLongLong());
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::optional<CHistoryContent> CHistoriaDlg::contentOf(int64_t id, CHistoryPoint* point) const
{
    const auto p = m_history.store().point(id);
    if (!p)
        return std::nullopt;
    const auto bytes = m_history.store().image(p->imageId);
    CHistoryContent content;
    if (!bytes || !decodeHistoryImage(*bytes, content))
        return std::nullopt;
    if (point)
        *point = *p;
    return content;
}

bool CHistoriaDlg::compare()
{
    const auto ids = selectedIds();
    if (ids.empty() || ids.size() > 2)
        return false;
    CHistoryPoint first;
    const auto a = contentOf(ids[0], &first);
    if (!a)
        return false;
    if (ids.size() == 2) {
        CHistoryPoint second;
        const auto b = contentOf(ids[1], &second);
        if (!b)
            return false;
        showDifferences(*a, *b, pointTitle(first), pointTitle(second));
        return true;
    }
    if (!m_device.isConnected() || m_device.isDemo())
        return false;
    showDifferences(*a, heldContent(m_device), pointTitle(first), translated(L"Sterownik teraz"));
    return true;
}

void CHistoriaDlg::showDifferences(const CHistoryContent& a, const CHistoryContent& b, const QString& titleA,
                                   const QString& titleB)
{
    m_firstTitle = titleA;
    const auto differences = historyDifferences(a, b);
    m_diff->setRowCount(0);
    m_diff->setHorizontalHeaderLabels({ translated(L"Ustawienie"), titleA, titleB });
    for (const auto& d : differences) {
        if (d.mapCell)
            continue;
        const int row = m_diff->rowCount();
        m_diff->insertRow(row);
        auto* name = new QTableWidgetItem(settingName(d.key));
        name->setToolTip(qs(d.key));
        name->setData(Qt::UserRole, qs(d.key));
        m_diff->setItem(row, 0, name);
        m_diff->setItem(row, 1, new QTableWidgetItem(qs(d.a)));
        m_diff->setItem(row, 2, new QTableWidgetItem(qs(d.b)));
    }
    m_diff->resizeColumnsToContents();
    m_diff->horizontalHeader()->setStretchLastSection(true);

    // The map as the fitter knows it: rows of injection time, columns of engine speed.
    const auto& axes = b.image.m_corrMap;
    QStringList rows;
    QStringList cols;
    for (double t : axes.m_injTimeAxis)
        rows << QString::number(t);
    for (double r : axes.m_rpmAxis)
        cols << QString::number(r);
    m_map->setVerticalHeaderLabels(rows);
    m_map->setHorizontalHeaderLabels(cols);
    const bool both = (a.blocks & b.blocks & CReadBlocks::InjMap) != 0;
    for (int r = 0; r < kMapRows; ++r) {
        for (int c = 0; c < kMapCols; ++c) {
            const double va = a.image.m_corrMap.m_injMapTable[r][c];
            const double vb = b.image.m_corrMap.m_injMapTable[r][c];
            auto* item = new QTableWidgetItem();
            if (!both) {
                item->setText(QStringLiteral("—"));
            } else if (va != vb) {
                item->setText(QString::number(va) + QStringLiteral(" → ") + QString::number(vb));
                item->setBackground(vb > va ? QColor(255, 205, 160) : QColor(170, 205, 255));
                item->setToolTip(titleA + QStringLiteral(": ") + QString::number(va) + QStringLiteral("\n") + titleB
                                 + QStringLiteral(": ") + QString::number(vb));
            } else {
                item->setText(QString::number(vb));
            }
            item->setTextAlignment(Qt::AlignCenter);
            m_map->setItem(r, c, item);
        }
    }
    m_map->resizeColumnsToContents();

    // The curves that differ, each with both points' values.
    std::vector<CHistoryCurves::Curve> curves;
    const auto curve = [&](uint32_t block, const QString& name, const auto& va, const auto& vb) {
        if (!(a.blocks & b.blocks & block) || std::equal(va.begin(), va.end(), vb.begin()))
            return;
        curves.push_back({ name, std::vector<double>(va.begin(), va.end()), std::vector<double>(vb.begin(), vb.end()) });
    };
    curve(CReadBlocks::SetupTimes1, translated(L"Mapa 2D"), a.image.m_setupTimes1, b.image.m_setupTimes1);
    curve(CReadBlocks::SetupTimes2, translated(L"Mapa 2D") + QStringLiteral(" (2)"), a.image.m_setupTimes2,
          b.image.m_setupTimes2);
    curve(CReadBlocks::SensorsSetup, translated(L"Korekty temperatury"), a.image.m_sensorsSetup.m_temprCorr,
          b.image.m_sensorsSetup.m_temprCorr);
    curve(CReadBlocks::PressCorr, translated(L"Korekty ciśnienia"), a.image.m_sensorsSetup.m_pressCorr,
          b.image.m_sensorsSetup.m_pressCorr);
    m_curves->setCurves(std::move(curves), titleA, titleB);
}

int CHistoriaDlg::curveCount() const
{
    return static_cast<int>(m_curves->curves().size());
}

void CHistoriaDlg::onRestore()
{
    if (selectedIds().size() != 1) {
        userInteraction().message(translate(L"Zaznacz jeden punkt."), L"KORVANA", MsgIcon::Information);
        return;
    }
    QDialog groups(this);
    groups.setWindowTitle(translated(L"Przywróć…"));
    auto* layout = new QVBoxLayout(&groups);
    std::vector<QCheckBox*> boxes;
    for (const wchar_t* title : kGroupTitles) {
        auto* box = new QCheckBox(translated(title), &groups);
        box->setChecked(true);
        layout->addWidget(box);
        boxes.push_back(box);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &groups);
    // OK is the write itself: it says what it writes and that the controller restarts.
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
        ok->setToolTip(translated(L"Wpisuje zaznaczone grupy do sterownika, który przełącza się przy tym na benzynę i "
                                  L"uruchamia ponownie."));
    if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel))
        cancel->setToolTip(translated(L"Zamyka okno; niczego nie wpisuje."));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &groups, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &groups, &QDialog::reject);
    if (groups.exec() != QDialog::Accepted)
        return;
    uint32_t mask = 0;
    bool obd = false;
    for (std::size_t i = 0; i < boxes.size() && i < historyGroups().size(); ++i)
        if (boxes[i]->isChecked())
            historyGroupBlocks(historyGroups()[i].name, mask, obd);
    restore(mask, obd);
}

bool CHistoriaDlg::restore(uint32_t mask, bool obd)
{
    const auto ids = selectedIds();
    CHistoryPoint point;
    const auto content = ids.size() == 1 ? contentOf(ids[0], &point) : std::nullopt;
    if (!content)
        return false;
    IUserInteraction& ui = userInteraction();
    if (!m_device.isConnected() || m_device.isDemo()) {
        ui.message(translate(L"Brak połączenia"), L"KORVANA", MsgIcon::Error);
        return false;
    }
    const CDevInfo& d = m_device.image().m_devInfo;
    // The blocks' encodings depend on the model and the firmware version.
    if ((toUtf8(d.m_serial) != point.serial || toUtf8(d.m_modelName) != point.model || d.m_version != point.version)
        && !ui.question(translate(L"Punkt pochodzi z innego sterownika lub innej wersji oprogramowania. Przywrócić mimo to?"),
                        L"KORVANA", MsgIcon::Warning, false))
        return false;
    CHistoryContent selected = *content;
    selected.blocks &= mask | CReadBlocks::DevInfo;
    if (!obd) {
        selected.obdSettings.reset();
        selected.obdConfig.reset();
    }
    const auto changes = historyDifferences(heldContent(m_device), selected);
    if (changes.empty()) {
        ui.message(translate(L"Sterownik zawiera już ten punkt."), L"KORVANA", MsgIcon::Information);
        return false;
    }
    std::wstring list;
    constexpr std::size_t kShown = 25;
    for (std::size_t i = 0; i < changes.size() && i < kShown; ++i)
        list += L"\n" + fromUtf8(changes[i].key + ": " + changes[i].a + " → " + changes[i].b);
    if (changes.size() > kShown)
        list += L"\n… (" + std::to_wstring(changes.size() - kShown) + L")";
    if (!ui.question(translate(L"Przywrócić ten punkt? Zmieni się:") + list, L"KORVANA", MsgIcon::Question, false))
        return false;
    const CWriteReport report = restoreHistoryContent(m_device, *content, mask, obd);
    report.show(L"Nie powiodło się przywrócenie punktu!");
    fillPoints();
    return report.ok();
}

bool CHistoriaDlg::exportPoint(std::string path)
{
    const auto ids = selectedIds();
    const auto content = ids.size() == 1 ? contentOf(ids[0]) : std::nullopt;
    IUserInteraction& ui = userInteraction();
    if (!content)
        return false;
    if ((content->blocks & CReadBlocks::kSettingsFile) != CReadBlocks::kSettingsFile) {
        ui.message(translate(L"Punkt nie zawiera wszystkich bloków pliku ustawień."), L"KORVANA", MsgIcon::Error);
        return false;
    }
    if (path.empty())
        path = ui.chooseFile(true, translate(L"SAVE"), CDocOperations::settingsFilter(), {}, "settings");
    if (path.empty())
        return false;
    if (!writeSettings(path, content->image)) {
        ui.message(translate(L"Nie można zapisać pliku:") + L" " + fromUtf8(path), L"KORVANA", MsgIcon::Error);
        return false;
    }
    return true;
}

void CHistoriaDlg::onNote()
{
    const auto ids = selectedIds();
    if (ids.size() != 1)
        return;
    const auto p = m_history.store().point(ids[0]);
    if (!p)
        return;
    bool ok = false;
    const QString text = QInputDialog::getText(this, translated(L"Notatka…"), translated(L"Notatka"), QLineEdit::Normal,
                                               qs(p->note), &ok);
    if (ok && !m_history.store().setNote(ids[0], text.toStdString()))
        userInteraction().message(m_history.problemText(), L"KORVANA", MsgIcon::Error);
    fillPoints();
    selectPoints(ids);
}
