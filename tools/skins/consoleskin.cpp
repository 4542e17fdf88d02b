// SPDX-License-Identifier: GPL-3.0-or-later
#include "consoleskin.h"

#include "skinpainter.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace {

const QColor kAmber(0xff, 0xa8, 0x1c);
const QColor kGreen(0x3d, 0xdc, 0x5a);
const QColor kRed(0xff, 0x3b, 0x2a);
const QColor kBlue(0x4c, 0xa8, 0xff);

void label(QPainter& p, const QRectF& r, const QString& text, bool lit, double size)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(static_cast<int>(size));
    f.setBold(true);
    p.setFont(f);
    p.setPen(lit ? QColor(0xf4, 0xf7, 0xfa) : QColor(0x7d, 0x88, 0x93));
    p.drawText(r, Qt::AlignCenter, text);
}

} // namespace

QImage CConsoleSkin::draw(EFuel fuel, int levels, bool reserve)
{
    QImage image = CSkinPainter::canvas(kWidth, kHeight);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const double w = kWidth;
    const double h = kHeight;

    // Housing.
    const QRectF housing(8, 8, w - 16, h - 16);
    QLinearGradient shell(housing.topLeft(), housing.bottomLeft());
    shell.setColorAt(0.0, QColor(0x3d, 0x46, 0x50));
    shell.setColorAt(0.5, QColor(0x23, 0x29, 0x30));
    shell.setColorAt(1.0, QColor(0x17, 0x1b, 0x20));
    p.setPen(QPen(QColor(0x0b, 0x0d, 0x10), 6));
    p.setBrush(shell);
    p.drawRoundedRect(housing, h * 0.14, h * 0.14);
    p.setPen(QPen(QColor(255, 255, 255, 40), 3));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(housing.adjusted(8, 8, -8, -8), h * 0.12, h * 0.12);

    // Fuel button on the left.
    const QPointF bc(h * 0.5, h * 0.5);
    const double br = h * 0.3;
    QRadialGradient cap(bc - QPointF(br * 0.3, br * 0.35), br * 1.4);
    cap.setColorAt(0.0, QColor(0x6b, 0x76, 0x82));
    cap.setColorAt(0.6, QColor(0x30, 0x37, 0x3f));
    cap.setColorAt(1.0, QColor(0x15, 0x19, 0x1d));
    p.setPen(QPen(QColor(0x0b, 0x0d, 0x10), 6));
    p.setBrush(cap);
    p.drawEllipse(bc, br, br);
    const bool gasLit = fuel != EFuel::Petrol;
    const bool petrolLit = fuel == EFuel::Petrol;
    const QPointF gasLed = bc - QPointF(br * 0.3, br * 0.38);
    const QPointF petrolLed = bc + QPointF(-br * 0.3, br * 0.38);
    CSkinPainter::drawLed(p, gasLed, br * 0.2, kGreen, gasLit);
    CSkinPainter::drawLed(p, petrolLed, br * 0.2, kAmber, petrolLit);
    const QRectF captionBox(0, 0, br * 0.75, br * 0.4);
    label(p, captionBox.translated(gasLed + QPointF(br * 0.28, -br * 0.2)), QStringLiteral("LPG"), gasLit, h * 0.075);
    label(p, captionBox.translated(petrolLed + QPointF(br * 0.28, -br * 0.2)), QStringLiteral("PB"), petrolLit,
          h * 0.075);

    // AUTO lamp, top right.
    const bool autoLit = fuel == EFuel::Auto;
    const double x0 = w * 0.5;
    CSkinPainter::drawLed(p, QPointF(x0, h * 0.25), h * 0.055, kBlue, autoLit);
    label(p, QRectF(x0 + h * 0.09, h * 0.18, w * 0.2, h * 0.14), QStringLiteral("AUTO"), autoLit, h * 0.085);

    // Level LEDs: reserve, then four steps up to full, each with its mark below.
    const double step = w * 0.09;
    const double ly = h * 0.56;
    const double lr = h * 0.068;
    static const char* const marks[] = {"R", "\u00bc", "\u00bd", "\u00be", "F"};
    for (int i = 0; i < 5; ++i) {
        const double x = x0 + step * i;
        const bool lit = i == 0 ? reserve : i <= levels;
        CSkinPainter::drawLed(p, QPointF(x, ly), lr, i == 0 ? kRed : kGreen, lit);
        label(p, QRectF(x - step / 2, ly + lr * 1.3, step, h * 0.12), QString::fromUtf8(marks[i]), lit, h * 0.075);
    }
    p.end();
    return image;
}
