// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/displays/gdipgaugedisplay.h>

#include <basectrls/ctrlid.h>
#include <gradctrls/dialogs/gdipstatic.h>

#include <QCoreApplication>
#include <QDir>
#include <QHashFunctions>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace {

// Where the dial picture has its scale, as shares of the picture's width: the
// ticks of "Gauge.tif" are redrawn over it so they stay sharp when enlarged.
constexpr double kFace = (0.5 - 4.0 / 1024.0) * 0.92;
constexpr double kTickOuter = kFace * 0.9;
constexpr double kMajorInner = kFace * 0.74;
constexpr double kMinorInner = kFace * 0.83;
constexpr int kMajorSteps = 10;
constexpr int kMinorPerMajor = 5;

QPointF direction(double degrees)
{
    const double r = degrees * M_PI / 180.0;
    return QPointF(-std::sin(r), std::cos(r));
}

void copyText(CGDIpStatic* to, const CGDIpStatic* from)
{
    if (to && from)
        to->copyLook(*from);
}

} // namespace

CGDIpGaugeDisplay::CGDIpGaugeDisplay() = default;
CGDIpGaugeDisplay::~CGDIpGaugeDisplay() = default;

CGDIpGaugeDisplay& CGDIpGaugeDisplay::operator=(const CGDIpGaugeDisplay& other)
{
    if (this == &other)
        return *this;
    setGradientColors(other.gradientFrom(), other.gradientTo());
    setGradientVertical(other.gradientVertical());
    setTransparent(other.isTransparent());
    setFont(other.font());
    copyText(m_value, other.m_value);
    copyText(m_title, other.m_title);
    m_hasPicture = other.m_hasPicture;
    m_source = other.m_source;
    m_minAngle = other.m_minAngle;
    m_maxAngle = other.m_maxAngle;
    m_angle = needleAngle(m_pos, m_minAngle, m_maxAngle);
    v_recalcData(rect());
    update();
    return *this;
}

double CGDIpGaugeDisplay::needleAngle(int position, double minimum, double maximum)
{
    const double angle = minimum + (maximum - minimum) * position / 1000.0;
    return std::clamp(angle, std::min(minimum, maximum), std::max(minimum, maximum));
}

CGDIpGaugeDisplay::SLayout CGDIpGaugeDisplay::computeLayout(const QSize& client, const QSize& source,
                                                             double deviceRatio)
{
    SLayout l;
    const int a = std::min(client.width(), client.height());
    int W = 0;
    int H = 0;
    if (a > 0 && source.width() > 0 && source.height() > 0) {
        const double room = a * std::max(1.0, deviceRatio);
        l.k = std::max(1, static_cast<int>(std::ceil(std::max(source.width(), source.height()) / room)));
        l.picture = QSize(source.width() / l.k, source.height() / l.k);
        W = static_cast<int>(l.picture.width() / std::max(1.0, deviceRatio));
        H = static_cast<int>(l.picture.height() / std::max(1.0, deviceRatio));
        l.origin = QPoint((client.width() - W) / 2, (client.height() - H) / 2);
    }
    const int cx = client.width() / 2;
    const int cy = client.height() / 2;
    const int h = H / 2;
    const int vTop = static_cast<int>(cy + 0.5 * h);
    const int vLeft = static_cast<int>(cx - 0.225 * W);
    const int vRight = static_cast<int>(cx + 0.225 * W);
    const int vBottom = static_cast<int>(vTop + 0.3 * h);
    l.value = QRect(QPoint(vLeft, vTop), QPoint(vRight, vBottom)).adjusted(0, 0, -1, -1);
    const int tLeft = static_cast<int>(cx - 0.3 * W);
    const int tRight = static_cast<int>(cx + 0.3 * W);
    const int tTop = vTop - static_cast<int>(0.2 * h);
    l.title = QRect(QPoint(tLeft, tTop), QPoint(tRight, vTop)).adjusted(0, 0, -1, -1);
    return l;
}

namespace {

std::wstring& namedSkinsPath()
{
    static std::wstring path;
    return path;
}

} // namespace

std::wstring CGDIpGaugeDisplay::getPath()
{
    if (!namedSkinsPath().empty())
        return namedSkinsPath();
    static const std::wstring path = [] {
        QString dir = qEnvironmentVariable("KORVANA_RUNTIME_DIR");
        if (dir.isEmpty())
            dir = QCoreApplication::applicationDirPath();
        return QDir(dir).filePath(QStringLiteral("Skins/")).toStdWString();
    }();
    return path;
}

void CGDIpGaugeDisplay::setPath(const std::wstring& folder)
{
    namedSkinsPath() = folder;
}

void CGDIpGaugeDisplay::setInternalImage(CImageObject* image)
{
    m_source = image;
    m_hasPicture = image != nullptr;
    v_recalcData(rect());
    update();
}

void CGDIpGaugeDisplay::setAngleRange(double minimum, double maximum)
{
    m_minAngle = minimum;
    m_maxAngle = maximum;
    m_angle = needleAngle(m_pos, m_minAngle, m_maxAngle);
    update();
}

void CGDIpGaugeDisplay::setPos(int position)
{
    if (position == m_pos)
        return;
    m_pos = position;
    m_angle = needleAngle(m_pos, m_minAngle, m_maxAngle);
    // The value text is repainted by its own setText; the dial without it here.
    QRegion region(rect());
    if (m_value)
        region = region.xored(QRegion(m_value->geometry()));
    update(region);
}

void CGDIpGaugeDisplay::createOwnCtrls()
{
    auto make = [this](int id, const QString& text) {
        auto* label = new CGDIpStatic(this);
        setCtrlId(label, id);
        label->setText(text);
        label->setAlignment(Qt::AlignCenter);
        label->setShrinkToFit(true);
        label->show();
        return label;
    };
    m_value = make(kValueId, QStringLiteral("Display"));
    m_title = make(kTitleId, QStringLiteral("Title"));
}

void CGDIpGaugeDisplay::v_recalcData(const QRect& client)
{
    const bool picture = m_hasPicture && m_source && m_source->IsLoaded();
    const double ratio = devicePixelRatioF();
    m_layout = computeLayout(client.size(), picture ? QSize(m_source->GetWidth(), m_source->GetHeight()) : QSize(),
                             ratio);
    m_layout.origin += client.topLeft();
    m_dial.invalidate();
    m_workingWant = picture && m_layout.k > 0 ? m_layout.picture : QSize();
    if (m_workingWant.isEmpty())
        m_working.clear();
    // Texts sized to their boxes, so the gauge reads the same at every scale.
    auto place = [](CGDIpStatic* label, const QRect& r, double share, bool bold) {
        if (!label)
            return;
        label->setGeometry(r);
        if (r.height() > 0) {
            QFont f = label->font();
            f.setPixelSize(std::max(6, static_cast<int>(r.height() * share)));
            f.setBold(bold);
            label->setFont(f);
        }
    };
    place(m_value, m_layout.value, 0.78, true);
    place(m_title, m_layout.title, 0.8, false);
}

const CExtImage& CGDIpGaugeDisplay::workingPicture() const
{
    reduceWorking();
    return m_working;
}

void CGDIpGaugeDisplay::reduceWorking() const
{
    // Layout passes go through several sizes at start-up: the picture is
    // reduced once, for the size it is painted at, straight from the shared
    // source (no copy).
    if (m_workingWant.isEmpty() || !m_source || !m_source->IsLoaded()) {
        m_working.clear();
        return;
    }
    if (m_working.image().size() != m_workingWant || m_workingFrom != m_source->image().cacheKey()) {
        m_working.setImage(m_source->image());
        m_working.downSampling(m_workingWant.width(), m_workingWant.height());
        m_workingFrom = m_source->image().cacheKey();
    }
}

void CGDIpGaugeDisplay::paintEvent(QPaintEvent* event)
{
    CGDIpTransparentCompCtrl::paintEvent(event);
    reduceWorking();
    if (m_working.IsLoaded() == 0)
        return;
    QPainter painter(this);
    // The dial and its ticks change only with the size, the picture or the
    // travel: drawn once into a picture of device pixels, copied on each move
    // of the needle, which alone is drawn afresh.
    const std::size_t key = qHashMulti(0, m_layout.origin.x(), m_layout.origin.y(), m_working.GetWidth(),
                                       m_working.GetHeight(), m_minAngle, m_maxAngle);
    m_dial.draw(painter, size(), key, event->region(), [this](QPainter& p) {
        const double ratio = devicePixelRatioF();
        const int w = static_cast<int>(m_working.GetWidth() / std::max(1.0, ratio));
        const int h = static_cast<int>(m_working.GetHeight() / std::max(1.0, ratio));
        m_working.alphaBlend(&p, m_layout.origin.x(), m_layout.origin.y(), w, h);
        p.setRenderHint(QPainter::Antialiasing, true);
        drawScale(p);
    });
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawNeedle(painter);
}

void CGDIpGaugeDisplay::drawScale(QPainter& painter) const
{
    const double ratio = std::max(1.0, devicePixelRatioF());
    const double W = m_working.GetWidth() / ratio;
    const QPointF c(width() / 2, height() / 2);
    const QColor ink(0x1b, 0x20, 0x26);
    const int ticks = kMajorSteps * kMinorPerMajor;
    for (int i = 0; i <= ticks; ++i) {
        const bool major = i % kMinorPerMajor == 0;
        const QPointF d = direction(m_minAngle + (m_maxAngle - m_minAngle) * i / ticks);
        painter.setPen(QPen(ink, W * (major ? kFace * 0.03 : kFace * 0.011), Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(c + d * (W * (major ? kMajorInner : kMinorInner)), c + d * (W * kTickOuter));
    }
}

void CGDIpGaugeDisplay::drawNeedle(QPainter& painter) const
{
    const double ratio = std::max(1.0, devicePixelRatioF());
    const double W = m_working.GetWidth() / ratio;
    const double H = m_working.GetHeight() / ratio;
    const int cx = width() / 2;
    const int cy = height() / 2;
    const QRectF needle(cx - W * m_needleWidth * m_corner, cy - H * m_needleOffset, H * m_needleWidth,
                        H * m_needleLength);
    const double corner = std::max(1, static_cast<int>(W * m_needleWidth * m_corner * 2));
    painter.save();
    painter.translate(cx, cy);
    painter.rotate(m_angle);
    painter.translate(-cx, -cy);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 0, 0, 255));
    painter.drawRoundedRect(needle, corner, corner);
    painter.restore();
    // A cap over the needle's root, as on a real dial.
    QRadialGradient hub(QPointF(cx - W * 0.01, cy - W * 0.012), W * 0.05);
    hub.setColorAt(0.0, QColor(0x6a, 0x75, 0x80));
    hub.setColorAt(1.0, QColor(0x1a, 0x1f, 0x25));
    painter.setPen(QPen(QColor(0x0e, 0x11, 0x14), std::max(1.0, W * 0.004)));
    painter.setBrush(hub);
    painter.drawEllipse(QPointF(cx, cy), W * 0.03, W * 0.03);
}
