// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/sessionreport.h>

#include <app/data/settingfields.h>
#include <app/data/translate.h>
#include <app/data/workingtime.h>
#include <app/device/historyimage.h>
#include <app/device/historyrecorder.h>
#include <app/device/lpgdevice.h>
#include <app/platform/filereplace.h>
#include <app/platform/log.h>
#include <app/shell/infodlg.h>
#include <app/tuning/obdcodes.h>
#include <app/tuning/deviceobd.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>
#include <errkit/utf8.h>

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

QString qs(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

QString tr(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

// A page's label without the colon it ends with there.
QString withoutColon(QString label)
{
    label = label.trimmed();
    while (label.endsWith(QLatin1Char(':')))
        label.chop(1);
    return label.trimmed();
}

std::wstring fixed2Text(double v)
{
    wchar_t text[32];
    std::swprintf(text, std::size(text), L"%.2f", v);
    return text;
}

// ---- Gathering ----

std::vector<CSessionReport::Setting> settingRows(
    SettingsPage page, const CSettingsImage& now, const CSettingsImage* before)
{
    std::vector<CSessionReport::Setting> rows;
    for (const CSettingField& field : CSettingsTable::fields()) {
        if (field.page != page)
            continue;
        auto shown = [&](const CSettingsImage& image) {
            std::wstring text = CSettingsTable::text(field, image);
            if (field.kind == SettingKind::Check)
                text = translate(CSettingsTable::value(field, image) != 0 ? L"Tak" : L"Nie");
            else if (field.kind == SettingKind::Spin && field.unit && *field.unit)
                text += L" " + translate(field.unit);
            return text;
        };
        CSessionReport::Setting row;
        row.label = translate(field.label);
        while (!row.label.empty() && (row.label.back() == L':' || row.label.back() == L' '))
            row.label.pop_back();
        row.value = shown(now);
        if (before) {
            const std::wstring old = shown(*before);
            if (old != row.value)
                row.before = old;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<CHistoryContent> sessionStart(CHistoryRecorder* recorder, int64_t since)
{
    if (!recorder || since == 0 || !recorder->store().readable())
        return std::nullopt;
    const auto point = recorder->store().point(since);
    if (!point)
        return std::nullopt;
    const auto bytes = recorder->store().image(point->imageId);
    CHistoryContent content;
    if (!bytes || !decodeHistoryImage(*bytes, content))
        return std::nullopt;
    return content;
}

} // namespace

int64_t CSessionReport::firstPointToday(CHistoryRecorder& recorder, const std::wstring& serial)
{
    if (!recorder.store().readable())
        return 0;
    const std::string today = QDate::currentDate().toString(Qt::ISODate).toStdString();
    for (const CHistoryPoint& p : recorder.store().list(toUtf8(serial)))
        if (CHistoryRecorder::localTime(p.time).rfind(today, 0) == 0)
            return p.id;
    return 0;
}

CSessionReport CSessionReport::gather(CLPGDevice& device, CHistoryRecorder* recorder, int64_t since)
{
    CSessionReport r;
    r.workshop = CWorkshop::load();
    r.made = QDateTime::currentDateTime();
    const CSettingsImage& image = device.image();
    r.devInfo = image.m_devInfo;
    r.version = CInfoDlg::versionText(image.m_devInfo);
    r.injectors = std::clamp(image.m_devInfo.m_injCount, 1, 8);
    if (recorder)
        r.car = recorder->car();
    r.car.m_carInfo = image.m_carInfo;

    const auto start = sessionStart(recorder, since);
    r.sessionKnown = start.has_value();
    const CSettingsImage* before = start ? &start->image : nullptr;
    r.settings.push_back({ translate(L"Ustawienia"), settingRows(SettingsPage::Settings, image, before) });
    r.settings.push_back({ translate(L"Zaawansowane"), settingRows(SettingsPage::Advanced, image, before) });
    r.map = image.m_corrMap;
    if (before) {
        for (int row = 0; row < kMapRows; ++row)
            for (int col = 0; col < kMapCols; ++col) {
                const bool changed = std::abs(before->m_corrMap.m_injMapTable[row][col] - r.map.m_injMapTable[row][col]) > 1e-9;
                r.changedCells[row][col] = changed;
                r.changedCellCount += changed ? 1 : 0;
            }
        if (before->m_mainCorr != image.m_mainCorr)
            r.mainCorrBefore = before->m_mainCorr.m_mainCorr;
    }
    r.mainCorr = image.m_mainCorr.m_mainCorr;
    r.temprCorr = image.m_sensorsSetup.m_temprCorr;
    r.pressCorr = image.m_sensorsSetup.m_pressCorr;
    r.setupTimes1 = image.m_setupTimes1;

    if (device.isConnected()) {
        try {
            if (device.readStatistics())
                r.devInfo.m_statistic = device.image().m_devInfo.m_statistic;
            std::array<uint8_t, 4> bytes {};
            if (device.readErrors(bytes))
                r.controllerErrors = device.decode(bytes);
            if (!obdOf(device).codesWereRead() && obdOf(device).established()) {
                std::vector<uint16_t> codes;
                obdOf(device).readTroubleCodes(codes);
            }
        } catch (IError* e) {
            CErrorGuard error(e);
            logSwallowed("report", "CSessionReport::gather()", *error);
        }
    }
    r.codesRead = obdOf(device).codesWereRead();
    r.codesCleared = obdOf(device).codesCleared();
    const COBDCodes table;
    for (uint16_t code : obdOf(device).codesRead())
        r.troubleCodes.push_back(table.description(code));
    static const wchar_t* const kReadingNames[] = { L"STFT Bank 1", L"LTFT Bank 1", L"STFT Bank 2", L"LTFT Bank 2"
    };
    for (int i = 0; i < 4; ++i) {
        const std::wstring text = obdOf(device).readingText(i);
        if (!text.empty())
            r.obdReadings.push_back(std::wstring(kReadingNames[i]) + L": " + text + L" %");
    }
    return r;
}

// ---- Painting ----

namespace {

const QColor kInk(0x20, 0x20, 0x20);
const QColor kRule(0x90, 0x90, 0x90);
const QColor kChanged(0xFF, 0xE8, 0x80);
const QColor kHeading(0x1F, 0x4E, 0x79);

// One pass over the pages: with a painter it paints, without one it only
// counts the pages (the footer's "X / Y" needs the count first).
class CPageFlow {
public:
    CPageFlow(QPagedPaintDevice& device, QPainter* painter, const CSessionReport& report, int pages)
        : m_device(device)
        , m_painter(painter)
        , m_report(report)
        , m_pages(pages)
    {
        const double dpi = device.logicalDpiX();
        m_mm = dpi / 25.4;
        m_width = device.width();
        m_height = device.height();
        m_left = 15 * m_mm;
        m_right = m_width - 15 * m_mm;
        m_bottom = m_height - 16 * m_mm;
        m_body = font(9);
        m_small = font(7);
        m_bold = font(9, true);
        m_title = font(13, true);
        m_heading = font(11, true);
        // One image for every page: the PDF then holds it once.
        if (!report.workshop.m_logoPath.empty())
            m_logo = QImage(QString::fromStdString(report.workshop.m_logoPath));
    }

    QFont font(double points, bool bold = false) const
    {
        QFont f(QStringLiteral("DejaVu Sans"));
        // Point sizes in the device's own pixels, the same on paper and in the preview.
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(points / 72.0 * m_device.logicalDpiY()))));
        f.setBold(bold);
        // No ligatures: "Misfire" must stay searchable and copyable letter by letter.
        f.setStyleStrategy(QFont::PreferNoShaping);
        return f;
    }
    double mm(double v) const { return v * m_mm; }
    double width() const { return m_right - m_left; }
    double left() const { return m_left; }
    double y() const { return m_y; }
    void advance(double dy) { m_y += dy; }
    int page() const { return m_page; }

    void begin() { startPage(); }

    // Room for h below the cursor, else a new page.
    void need(double h)
    {
        if (m_y + h > m_bottom)
            newPage();
    }
    void newPage()
    {
        if (m_painter)
            m_device.newPage();
        startPage();
    }

    double lineHeight(const QFont& f) const { return QFontMetricsF(f, &m_device).height(); }

    // Wrapped text in a column; returns its height (painted only with a painter).
    double text(const QString& s, const QFont& f, double x, double y, double w, int flags = Qt::AlignLeft,
        const QColor& colour = kInk) const
    {
        const QRectF bounds = QFontMetricsF(f, &m_device)
                                  .boundingRect(QRectF(0, 0, w, 1e6), flags | Qt::TextWordWrap, s);
        if (m_painter) {
            m_painter->setFont(f);
            m_painter->setPen(colour);
            m_painter->drawText(QRectF(x, y, w, bounds.height()), flags | Qt::TextWordWrap, s);
        }
        return bounds.height();
    }

    void heading(const QString& s)
    {
        need(lineHeight(m_heading) + 3 * lineHeight(m_body));
        advance(mm(3));
        text(s, m_heading, m_left, m_y, width(), Qt::AlignLeft, kHeading);
        advance(lineHeight(m_heading));
        if (m_painter) {
            m_painter->setPen(QPen(kHeading, mm(0.3)));
            m_painter->drawLine(QPointF(m_left, m_y), QPointF(m_right, m_y));
        }
        advance(mm(1.5));
    }

    // A row of label and value; a changed value shows "old → new" on a highlight.
    void row(const QString& label, const QString& value, const QString& before = {})
    {
        const double labelWidth = width() * 0.48;
        const double valueX = m_left + labelWidth + mm(2);
        const double valueWidth = width() - labelWidth - mm(2);
        const QString shown = before.isEmpty() ? value : before + QStringLiteral("  →  ") + value;
        const QFont& valueFont = before.isEmpty() ? m_body : m_bold;
        const bool wasPainting = m_painter != nullptr;
        QPainter* keep = m_painter;
        m_painter = nullptr;
        const double h = std::max(text(label, m_body, 0, 0, labelWidth), text(shown, valueFont, 0, 0, valueWidth)) + mm(0.8);
        m_painter = keep;
        need(h);
        if (wasPainting && !before.isEmpty())
            m_painter->fillRect(QRectF(m_left - mm(1), m_y, width() + mm(2), h), kChanged);
        text(label, m_body, m_left, m_y + mm(0.4), labelWidth);
        text(shown, valueFont, valueX, m_y + mm(0.4), valueWidth);
        advance(h);
    }

    QPainter* painter() const { return m_painter; }
    const QFont& body() const { return m_body; }
    const QFont& small() const { return m_small; }
    const QFont& bold() const { return m_bold; }
    const QFont& titleFont() const { return m_title; }

private:
    void startPage()
    {
        ++m_page;
        m_y = mm(12);
        header();
        footer();
    }

    void header()
    {
        const CWorkshop& w = m_report.workshop;
        double logoWidth = 0;
        {
            const QImage& logo = m_logo;
            if (!logo.isNull()) {
                const double h = mm(18);
                logoWidth = std::min(mm(50), h * logo.width() / std::max(1, logo.height()));
                if (m_painter)
                    m_painter->drawImage(QRectF(m_right - logoWidth, m_y, logoWidth, h), logo);
            }
        }
        const double textWidth = width() - logoWidth - mm(4);
        double y = m_y;
        if (!w.m_name.empty())
            y += text(qs(w.m_name), m_bold, m_left, y, textWidth);
        QStringList lines;
        if (!w.m_address.empty())
            lines << qs(w.m_address);
        if (!w.m_phone.empty())
            lines << tr(L"Telefon") + QStringLiteral(": ") + qs(w.m_phone);
        if (!w.m_taxNumber.empty())
            lines << tr(L"NIP") + QStringLiteral(": ") + qs(w.m_taxNumber);
        if (!lines.isEmpty())
            y += text(lines.join(QLatin1Char('\n')), m_small, m_left, y, textWidth);
        m_y = std::max(y, m_y + (logoWidth > 0 ? mm(18) : 0)) + mm(2);
        const QString when = QLocale::c().toString(m_report.made, QStringLiteral("yyyy-MM-dd HH:mm"));
        const double th = text(tr(L"Raport dla klienta"), m_title, m_left, m_y, width() * 0.7);
        text(when, m_body, m_left + width() * 0.7, m_y, width() * 0.3, Qt::AlignRight);
        m_y += th + mm(1);
        if (m_painter) {
            m_painter->setPen(QPen(kRule, mm(0.2)));
            m_painter->drawLine(QPointF(m_left, m_y), QPointF(m_right, m_y));
        }
        m_y += mm(2);
    }

    void footer()
    {
        const double y = m_height - mm(12);
        if (m_painter) {
            m_painter->setPen(QPen(kRule, mm(0.2)));
            m_painter->drawLine(QPointF(m_left, y), QPointF(m_right, y));
        }
        QString left = qs(m_report.devInfo.m_serial);
        const std::wstring title = m_report.car.title();
        if (!title.empty())
            left = qs(title) + QStringLiteral("  –  ") + left;
        text(left, m_small, m_left, y + mm(1), width() * 0.7);
        text(tr(L"Strona") + QStringLiteral(" %1 / %2").arg(m_page).arg(std::max(m_pages, m_page)), m_small,
            m_left + width() * 0.7, y + mm(1), width() * 0.3, Qt::AlignRight);
    }

    QPagedPaintDevice& m_device;
    QPainter* m_painter;
    const CSessionReport& m_report;
    int m_pages;
    int m_page = 0;
    double m_mm = 1;
    double m_width = 0;
    double m_height = 0;
    double m_left = 0;
    double m_right = 0;
    double m_bottom = 0;
    double m_y = 0;
    QFont m_body, m_small, m_bold, m_title, m_heading;
    QImage m_logo;
};

// A blue (leaner) – white – red (richer) scale for a correction in percent.
QColor cellColour(double percent)
{
    const double t = std::clamp(percent / 30.0, -1.0, 1.0);
    if (t >= 0)
        return QColor::fromRgbF(1.0, 1.0 - 0.65 * t, 1.0 - 0.65 * t);
    return QColor::fromRgbF(1.0 + 0.65 * t, 1.0 + 0.35 * t, 1.0);
}

void paintMap(CPageFlow& flow, const CSessionReport& r)
{
    const double axisWidth = flow.mm(12);
    const double cellWidth = (flow.width() - axisWidth) / kMapCols;
    const double cellHeight = flow.mm(5.2);
    const double gridHeight = cellHeight * (kMapRows + 1);
    // The heading stays with its grid.
    flow.need(gridHeight + flow.mm(22));
    flow.heading(tr(L"Mapa wtrysku"));
    QPainter* p = flow.painter();
    const double top = flow.y();
    const QFont cellFont = flow.font(6);
    auto number = [](double v, int decimals) { return QString::number(v, 'f', decimals); };
    // Column heads: engine speed; row heads: petrol injection time.
    for (int c = 0; c < kMapCols; ++c)
        flow.text(number(r.map.m_rpmAxis[c], 0), cellFont, flow.left() + axisWidth + c * cellWidth, top, cellWidth,
            Qt::AlignHCenter);
    for (int row = 0; row < kMapRows; ++row) {
        const double y = top + cellHeight * (row + 1);
        flow.text(number(r.map.m_injTimeAxis[row], 1), cellFont, flow.left(), y + flow.mm(1), axisWidth - flow.mm(1),
            Qt::AlignRight);
        for (int c = 0; c < kMapCols; ++c) {
            const QRectF cell(flow.left() + axisWidth + c * cellWidth, y, cellWidth, cellHeight);
            const double v = r.map.m_injMapTable[row][c];
            if (p) {
                p->fillRect(cell, cellColour(v));
                p->setPen(QPen(kRule, flow.mm(0.1)));
                p->drawRect(cell);
            }
            flow.text(number(v, 0), cellFont, cell.x(), cell.y() + flow.mm(1), cell.width(), Qt::AlignHCenter);
            if (p && r.changedCells[row][c]) {
                p->setPen(QPen(Qt::black, flow.mm(0.6)));
                p->setBrush(Qt::NoBrush);
                p->drawRect(cell.adjusted(flow.mm(0.3), flow.mm(0.3), -flow.mm(0.3), -flow.mm(0.3)));
            }
        }
    }
    flow.advance(gridHeight + flow.mm(1));
    QString note = tr(L"Wiersze: czas wtrysku benzyny [ms]; kolumny: obroty [obr/min]; wartości: korekta [%].");
    if (r.changedCellCount > 0)
        note += QStringLiteral(" ") + tr(L"Komórki zmienione w tej sesji") + QStringLiteral(": ")
            + QString::number(r.changedCellCount) + QStringLiteral(" (") + tr(L"w ramce") + QStringLiteral(").");
    flow.advance(flow.text(note, flow.small(), flow.left(), flow.y(), flow.width()) + flow.mm(1));
}

template <std::size_t N>
void paintCurve(CPageFlow& flow, const QString& title, const std::array<double, N>& values, const QString& axis)
{
    const double h = flow.mm(32);
    flow.need(h + flow.lineHeight(flow.bold()) + flow.mm(6));
    flow.advance(flow.text(title, flow.bold(), flow.left(), flow.y(), flow.width()) + flow.mm(1));
    const double top = flow.y();
    const QRectF box(flow.left() + flow.mm(12), top, flow.width() - flow.mm(12), h);
    double low = *std::min_element(values.begin(), values.end());
    double high = *std::max_element(values.begin(), values.end());
    low = std::min(low, 0.0);
    high = std::max(high, 0.0);
    if (high - low < 1)
        high = low + 1;
    flow.text(QString::number(high, 'f', 0) + QStringLiteral(" %"), flow.small(), flow.left(), top, flow.mm(11),
        Qt::AlignRight);
    flow.text(QString::number(low, 'f', 0) + QStringLiteral(" %"), flow.small(), flow.left(),
        top + h - flow.lineHeight(flow.small()), flow.mm(11), Qt::AlignRight);
    if (QPainter* p = flow.painter()) {
        p->setPen(QPen(kRule, flow.mm(0.2)));
        p->setBrush(Qt::NoBrush);
        p->drawRect(box);
        const double zero = box.bottom() - (0 - low) / (high - low) * box.height();
        p->drawLine(QPointF(box.left(), zero), QPointF(box.right(), zero));
        QPainterPath path;
        for (std::size_t i = 0; i < N; ++i) {
            const QPointF point(box.left() + box.width() * static_cast<double>(i) / (N - 1),
                box.bottom() - (values[i] - low) / (high - low) * box.height());
            if (i == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
        p->setPen(QPen(kHeading, flow.mm(0.5)));
        p->drawPath(path);
    }
    flow.advance(h + flow.mm(0.5));
    flow.advance(flow.text(axis, flow.small(), box.left(), flow.y(), box.width(), Qt::AlignHCenter) + flow.mm(2));
}

void paintAll(CPageFlow& flow, const CSessionReport& r)
{
    flow.begin();
    flow.heading(tr(L"Sterownik"));
    flow.row(tr(L"Model"), qs(r.devInfo.m_modelName));
    flow.row(tr(L"Wersja sterownika"), qs(r.version));
    flow.row(tr(L"Nr seryjny"), qs(r.devInfo.m_serial));
    flow.row(tr(L"Data produkcji"), qs(r.devInfo.m_prodDate));
    flow.row(withoutColon(tr(L"Czas pracy na benzynie [h:m:s]:")), qs(workingTimeText(r.devInfo.m_statistic.gas)).trimmed());
    flow.row(withoutColon(tr(L"Czas pracy na gazie [h:m:s]:")), qs(workingTimeText(r.devInfo.m_statistic.lpg)).trimmed());

    flow.heading(tr(L"Samochód i klient"));
    const CCarDetails& car = r.car;
    flow.row(tr(L"Marka"), qs(car.m_carInfo.m_vendor));
    flow.row(tr(L"Model"), qs(car.m_carInfo.m_model));
    flow.row(tr(L"Silnik"), qs(car.m_carInfo.m_engine));
    flow.row(tr(L"Moc"), qs(car.m_carInfo.m_power));
    flow.row(tr(L"Rok produkcji"), qs(car.m_carInfo.m_prodYear));
    flow.row(tr(L"Wtryskiwacze"), qs(car.m_carInfo.m_injectors));
    flow.row(tr(L"Ciśnienie reduktora [kPa]"),
        car.m_carInfo.m_reductorPress != 0 ? QString::number(car.m_carInfo.m_reductorPress, 'f', 0) : QString());
    flow.row(tr(L"VIN"), qs(car.m_vin));
    flow.row(tr(L"Nr rejestracyjny"), qs(car.m_registration));
    flow.row(tr(L"Przebieg [km]"), qs(car.m_odometer));
    flow.row(tr(L"Klient"), qs(car.m_customer));
    flow.row(tr(L"Telefon"), qs(car.m_phone));

    for (const CSessionReport::Section& section : r.settings) {
        flow.heading(qs(section.title));
        if (&section == &r.settings.front()) {
            const QString legend = r.sessionKnown
                ? tr(L"Wartości zmienione w tej sesji są wyróżnione: przed → po.")
                : tr(L"Brak punktu przywracania z początku sesji: zmiany nie są wyróżnione.");
            flow.advance(flow.text(legend, flow.small(), flow.left(), flow.y(), flow.width()) + flow.mm(1));
        }
        for (const CSessionReport::Setting& s : section.rows)
            flow.row(qs(s.label), qs(s.value), qs(s.before));
    }

    flow.heading(tr(L"Korekty główne"));
    for (int i = 0; i < r.injectors; ++i) {
        const auto index = static_cast<std::size_t>(i);
        // The main correction is a time in ms.
        flow.row(tr(L"Wtryskiwacz") + QStringLiteral(" %1").arg(i + 1), qs(fixed2Text(r.mainCorr[index])) + QStringLiteral(" ms"),
            r.mainCorrBefore ? qs(fixed2Text((*r.mainCorrBefore)[index])) + QStringLiteral(" ms") : QString());
    }
    if (r.mainCorrBefore)
        flow.advance(flow.text(tr(L"Korekty zmienione w tej sesji (autokalibracja lub zmiana ręczna): przed → po."),
                         flow.small(), flow.left(), flow.y(), flow.width())
            + flow.mm(1));

    paintMap(flow, r);
    flow.need(flow.mm(60));
    flow.heading(tr(L"Korekty"));
    paintCurve(flow, tr(L"Korekty temperatury"), r.temprCorr, tr(L"punkty charakterystyki temperatury"));
    paintCurve(flow, tr(L"Korekty ciśnienia"), r.pressCorr, tr(L"punkty charakterystyki ciśnienia"));
    paintCurve(flow, tr(L"Krzywa korekcji"), r.setupTimes1, tr(L"czas wtrysku benzyny 1.0 … 20.0 ms"));

    flow.heading(tr(L"Diagnostyka"));
    flow.advance(flow.text(tr(L"Błędy sterownika"), flow.bold(), flow.left(), flow.y(), flow.width()) + flow.mm(0.5));
    QStringList errors;
    if (!r.controllerErrors)
        errors << tr(L"nie odczytano");
    else if (r.controllerErrors->empty())
        errors << tr(L"brak");
    else
        for (const std::wstring& e : *r.controllerErrors)
            errors << qs(e);
    for (const QString& e : errors) {
        flow.need(flow.lineHeight(flow.body()));
        flow.advance(flow.text(e, flow.body(), flow.left() + flow.mm(4), flow.y(), flow.width() - flow.mm(4)));
    }
    flow.advance(flow.mm(2));
    flow.need(flow.lineHeight(flow.bold()) * 2);
    QString codesTitle = tr(L"Błędy OBD");
    if (r.codesRead && r.codesCleared)
        codesTitle += QStringLiteral(" – ") + tr(L"skasowane");
    flow.advance(flow.text(codesTitle, flow.bold(), flow.left(), flow.y(), flow.width()) + flow.mm(0.5));
    QStringList codes;
    if (!r.codesRead)
        codes << tr(L"nie odczytano");
    else if (r.troubleCodes.empty())
        codes << tr(L"brak");
    for (const std::wstring& c : r.troubleCodes)
        codes << qs(c);
    for (const QString& c : codes) {
        flow.need(flow.lineHeight(flow.body()));
        flow.advance(flow.text(c, flow.body(), flow.left() + flow.mm(4), flow.y(), flow.width() - flow.mm(4)));
    }
    if (!r.obdReadings.empty()) {
        flow.advance(flow.mm(2));
        flow.need(flow.lineHeight(flow.bold()) * 2);
        flow.advance(flow.text(tr(L"Korekty OBD"), flow.bold(), flow.left(), flow.y(), flow.width()) + flow.mm(0.5));
        for (const std::wstring& line : r.obdReadings)
            flow.advance(flow.text(qs(line), flow.body(), flow.left() + flow.mm(4), flow.y(), flow.width() - flow.mm(4)));
    }

    // The notes box and the two signatures stay together.
    const double notesHeight = flow.mm(35);
    flow.need(notesHeight + flow.mm(30));
    flow.heading(tr(L"Uwagi"));
    if (QPainter* p = flow.painter()) {
        p->setPen(QPen(kRule, flow.mm(0.3)));
        p->setBrush(Qt::NoBrush);
        p->drawRect(QRectF(flow.left(), flow.y(), flow.width(), notesHeight));
    }
    flow.advance(notesHeight + flow.mm(18));
    const double half = (flow.width() - flow.mm(20)) / 2;
    for (int i = 0; i < 2; ++i) {
        const double x = flow.left() + i * (half + flow.mm(20));
        if (QPainter* p = flow.painter()) {
            p->setPen(QPen(kInk, flow.mm(0.3)));
            p->drawLine(QPointF(x, flow.y()), QPointF(x + half, flow.y()));
        }
        flow.text(i == 0 ? tr(L"Podpis montażysty") : tr(L"Podpis klienta"), flow.small(), x, flow.y() + flow.mm(1),
            half, Qt::AlignHCenter);
    }
}

} // namespace

int CSessionReport::paint(QPagedPaintDevice& device) const
{
    // First the count of pages, then the pages with "X / Y".
    CPageFlow count(device, nullptr, *this, 0);
    paintAll(count, *this);
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    painter.setRenderHint(QPainter::Antialiasing);
    CPageFlow flow(device, &painter, *this, count.page());
    paintAll(flow, *this);
    painter.end();
    return flow.page();
}

bool CSessionReport::writePdf(const QString& path) const
{
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    int pages = 0;
    {
        QPdfWriter writer(&pdf);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        writer.setResolution(300);
        writer.setCreator(QStringLiteral("KORVANA"));
        writer.setTitle(tr(L"Raport dla klienta"));
        pages = paint(writer);
    }
    if (pages == 0)
        return false;
    // Whole or not at all, and never over a FIFO or a device node.
    const bool ok = replaceFile(path.toStdString(),
                        std::string_view(pdf.data().constData(), static_cast<std::size_t>(pdf.data().size())))
        == FileReplaceResult::Saved;
    if (!ok)
        return false;
    logInfo("report", "report of " + std::to_string(pages) + " pages written to " + path.toStdString());
    return ok;
}
