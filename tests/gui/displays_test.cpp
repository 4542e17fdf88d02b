// SPDX-License-Identifier: GPL-3.0-or-later
// The round gauge and the injector-state display: the needle's angle over and
// beyond the travel, the picture's reduction and place, the text boxes, the
// needle drawn where its angle says, one repaint per position change, copies,
// the injector's three pictures and its texts, scaling with the control, and
// screenshots of a panel at normal and double scale.
#include "guitest.h"

#include <gradctrls/dialogs/gdipgradientdialog.h>
#include <gradctrls/dialogs/gdipstatic.h>
#include <gradctrls/displays/gdipgaugedisplay.h>
#include <gradctrls/displays/gdipinjectorstatedisplay.h>
#include <gradctrls/dialogs/gdippalette.h>
#include <imagekit/imageobject.h>

#include <QDir>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::wstring skin(const char* name)
{
    return CGDIpGaugeDisplay::getPath() + QString::fromUtf8(name).toStdWString();
}

TEST(GaugeDisplay, NeedleAngleOverTheTravelAndHeldBeyondIt)
{
    struct Case {
        int pos;
        double angle;
    } const cases[] = {{0, 68}, {500, 180}, {1000, 292}, {1200, 292}, {-5, 68}, {250, 124}};
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(CGDIpGaugeDisplay::needleAngle(c.pos, 68, 292), c.angle) << c.pos;
    // The defaults of a fresh gauge: a full turn.
    CGDIpGaugeDisplay gauge;
    EXPECT_DOUBLE_EQ(gauge.getMinAngle(), 0.0);
    EXPECT_DOUBLE_EQ(gauge.getMaxAngle(), 360.0);
    EXPECT_DOUBLE_EQ(CGDIpGaugeDisplay::needleAngle(500, 0, 360), 180.0);
}

TEST(GaugeDisplay, PictureReducedByAWholeFactorAndCentred)
{
    const auto l = CGDIpGaugeDisplay::computeLayout(QSize(150, 120), QSize(400, 400));
    EXPECT_EQ(l.k, 4);
    EXPECT_EQ(l.picture, QSize(100, 100));
    EXPECT_EQ(l.origin, QPoint(25, 10));
    // cx 75, cy 60, h 50: value 52 … 97 x 85 … 100, title 45 … 105 x 75 … 85.
    EXPECT_EQ(l.value, QRect(QPoint(52, 85), QPoint(96, 99)));
    EXPECT_EQ(l.title, QRect(QPoint(45, 75), QPoint(104, 84)));
    // At double device scale the picture keeps twice the pixels for the same place.
    const auto hi = CGDIpGaugeDisplay::computeLayout(QSize(150, 120), QSize(400, 400), 2.0);
    EXPECT_EQ(hi.k, 2);
    EXPECT_EQ(hi.picture, QSize(200, 200));
    EXPECT_EQ(hi.origin, QPoint(25, 10));
}

// A gauge that counts its paints.
class CountingGauge : public CGDIpGaugeDisplay {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        CGDIpGaugeDisplay::paintEvent(event);
    }
};

QColor pixelAt(QWidget& w, double degrees, double share)
{
    const QImage img = w.grab().toImage();
    const double r = degrees * M_PI / 180.0;
    const double c = w.width() / 2;
    return img.pixelColor(int(c - std::sin(r) * share * c), int(w.height() / 2 + std::cos(r) * share * c));
}

TEST(GaugeDisplay, NeedlePointsWhereItsAngleSaysAndRepaintsOncePerChange)
{
    CImageObject dial;
    ASSERT_TRUE(dial.Load(skin("Gauge.tif")));
    QWidget parent;
    parent.resize(320, 320);
    auto* gauge = new CountingGauge;
    ASSERT_TRUE(gauge->Create(QRect(0, 0, 300, 300), &parent, 1100));
    gauge->setInternalImage(&dial);
    gauge->setAngleRange(68, 292);
    gauge->setPos(500);
    guitest::showAndSettle(&parent);
    // Straight up at mid-scale, 0.4 of the radius out: red needle; straight down: no needle.
    const QColor up = pixelAt(*gauge, 180, 0.4);
    EXPECT_GT(up.red(), 200);
    EXPECT_LT(up.green(), 60);
    EXPECT_LT(pixelAt(*gauge, 0, 0.4).red() - pixelAt(*gauge, 0, 0.4).green(), 40);
    gauge->setPos(0);
    const QColor lowerLeft = pixelAt(*gauge, 68, 0.4);
    EXPECT_GT(lowerLeft.red(), 200);
    EXPECT_LT(lowerLeft.green(), 60);

    guitest::settle();
    const int before = gauge->paints;
    gauge->setPos(700);
    gauge->setPos(700);
    guitest::settle();
    EXPECT_EQ(gauge->paints, before + 1);
    EXPECT_EQ(gauge->getPos(), 700);
}

TEST(GaugeDisplay, WithoutPictureKeepsItsTextsAndDrawsNoNeedle)
{
    QWidget parent;
    parent.resize(200, 200);
    auto* gauge = new CGDIpGaugeDisplay;
    ASSERT_TRUE(gauge->Create(QRect(0, 0, 150, 150), &parent, 1100));
    gauge->setPos(500);
    EXPECT_EQ(gauge->workingPicture().IsLoaded(), 0);
    ASSERT_NE(gauge->valueText(), nullptr);
    EXPECT_EQ(gauge->valueText()->text(), QStringLiteral("Display"));
    EXPECT_EQ(gauge->titleText()->text(), QStringLiteral("Title"));
    EXPECT_EQ(ctrlId(gauge->valueText()), 5000);
    EXPECT_EQ(ctrlId(gauge->titleText()), 5001);
    const QImage img = gauge->grab().toImage();
    for (int y = 0; y < 150; y += 3)
        for (int x = 0; x < 150; x += 3)
            ASSERT_FALSE(img.pixelColor(x, y) == QColor(255, 0, 0)) << x << "," << y;
}

TEST(GaugeDisplay, CopyTakesLookTextsPictureAndLimitsButNotThePosition)
{
    CImageObject dial;
    ASSERT_TRUE(dial.Load(skin("Gauge.tif")));
    QWidget parent;
    parent.resize(400, 200);
    auto* a = new CGDIpGaugeDisplay;
    auto* b = new CGDIpGaugeDisplay;
    a->Create(QRect(0, 0, 180, 180), &parent, 1100);
    b->Create(QRect(200, 0, 180, 180), &parent, 1101);
    a->setInternalImage(&dial);
    a->setAngleRange(68, 292);
    a->titleText()->setText(QStringLiteral("RPM"));
    a->setPos(300);
    *b = *a;
    EXPECT_EQ(b->getMinAngle(), 68);
    EXPECT_EQ(b->getMaxAngle(), 292);
    EXPECT_EQ(b->titleText()->text(), QStringLiteral("RPM"));
    EXPECT_EQ(b->getPos(), 0);
    EXPECT_DOUBLE_EQ(b->getAngle(), 68.0);
    EXPECT_NE(b->workingPicture().IsLoaded(), 0);
}

// A page made at 400 x 300 with one gauge placeholder, as the readings panel makes it.
class GaugePage : public CGDIpGradientDialog {
public:
    GaugePage()
        : CGDIpGradientDialog(900)
    {
        setDesignSize(QSize(400, 300));
    }
    CGDIpGaugeDisplay* gauge = nullptr;

protected:
    void createControls() override
    {
        auto* placeholder = new QWidget(this);
        setCtrlId(placeholder, 1100);
        placeholder->setGeometry(100, 50, 200, 200);
        gauge = new CGDIpGaugeDisplay;
        gauge->CreateFromStatic(1100, this);
    }
};

TEST(GaugeDisplay, ScalesWithItsPageAndReducesItsPictureAfresh)
{
    CImageObject dial;
    ASSERT_TRUE(dial.Load(skin("Gauge.tif")));
    GaugePage page;
    ASSERT_TRUE(page.Create());
    page.gauge->setInternalImage(&dial);
    guitest::showAndSettle(&page);
    EXPECT_EQ(page.gauge->workingPicture().GetWidth(), 1024 / 6);
    guitest::resizeTo(&page, QSize(800, 600));
    EXPECT_EQ(page.gauge->geometry(), QRect(200, 100, 400, 400));
    // Reduced from the source at the new size, not enlarged from the old picture.
    EXPECT_EQ(page.gauge->workingPicture().GetWidth(), 1024 / 3);
    EXPECT_EQ(page.gauge->valueText()->geometry().width(), page.gauge->layout().value.width());
    EXPECT_GT(page.gauge->valueText()->geometry().width(), 140);
}

struct InjectorSkins {
    CImageObject white, red, green;
    InjectorSkins()
    {
        EXPECT_TRUE(white.Load(skin("Injector_White.tif")));
        EXPECT_TRUE(red.Load(skin("Injector_Red.tif")));
        EXPECT_TRUE(green.Load(skin("Injector_Green.tif")));
    }
};

QColor meanColour(const QImage& img)
{
    double r = 0, g = 0, b = 0, n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.alpha() < 250)
                continue;
            r += c.red();
            g += c.green();
            b += c.blue();
            ++n;
        }
    return n > 0 ? QColor(int(r / n), int(g / n), int(b / n)) : QColor();
}

TEST(InjectorStateDisplay, TextsAndPictureWhereTheyBelong)
{
    InjectorSkins skins;
    QWidget parent;
    parent.resize(400, 100);
    auto* inj = new CGDIpInjectorStateDisplay;
    ASSERT_TRUE(inj->Create(QRect(0, 0, 200, 40), &parent, 1200));
    EXPECT_EQ(inj->titleText()->text(), QStringLiteral("B1"));
    EXPECT_EQ(inj->valueText()->text(), QStringLiteral("8.56"));
    EXPECT_EQ(ctrlId(inj->titleText()), 5000);
    EXPECT_EQ(ctrlId(inj->valueText()), 5001);
    // w 200, h 40: title 20 … 40, value 100 … 198, both 2 … 36.
    EXPECT_EQ(inj->titleText()->geometry(), QRect(QPoint(20, 2), QPoint(39, 35)));
    EXPECT_EQ(inj->valueText()->geometry(), QRect(QPoint(100, 2), QPoint(197, 35)));
    // No pictures yet: the picture place is the title's.
    EXPECT_EQ(inj->pictureRect(), inj->titleText()->geometry());
    inj->setInternalImages(&skins.white, &skins.red, &skins.green);
    // d = 34, 384 / 34 -> k = 12, 32 x 32 at 40 + 17, 2 + 1.
    EXPECT_EQ(inj->pictureRect(), QRect(57, 3, 32, 32));
    inj->valueText()->setText(QStringLiteral("12.40"));
    EXPECT_EQ(inj->valueText()->text(), QStringLiteral("12.40"));
}

TEST(InjectorStateDisplay, EachStateShowsItsOwnPicture)
{
    InjectorSkins skins;
    QWidget parent;
    parent.resize(400, 100);
    auto* inj = new CGDIpInjectorStateDisplay;
    inj->Create(QRect(0, 0, 240, 60), &parent, 1200);
    inj->setInternalImages(&skins.white, &skins.red, &skins.green);
    inj->m_state = 0;
    inj->Invalidate(0);
    const QColor white = meanColour(inj->workingPicture().image());
    inj->m_state = 1;
    inj->Invalidate(0);
    const QColor red = meanColour(inj->workingPicture().image());
    inj->m_state = 2;
    inj->Invalidate(1);
    const QColor green = meanColour(inj->workingPicture().image());
    EXPECT_GT(white.lightness(), red.lightness());
    EXPECT_GT(red.red(), red.green() + 40);
    EXPECT_GT(green.green(), green.red() + 40);
}

TEST(InjectorStateDisplay, WithoutPicturesAStateChangeShowsNothingNew)
{
    QWidget parent;
    parent.resize(400, 100);
    auto* inj = new CGDIpInjectorStateDisplay;
    inj->Create(QRect(0, 0, 200, 40), &parent, 1200);
    guitest::showAndSettle(&parent);
    const QImage before = inj->grab().toImage();
    inj->m_state = 2;
    inj->Invalidate();
    EXPECT_EQ(inj->workingPicture().IsLoaded(), 0);
    EXPECT_EQ(inj->grab().toImage(), before);
}

TEST(InjectorStateDisplay, ScalesItsTextsAndPictureWithItself)
{
    InjectorSkins skins;
    QWidget parent;
    parent.resize(600, 200);
    auto* inj = new CGDIpInjectorStateDisplay;
    inj->Create(QRect(0, 0, 200, 40), &parent, 1200);
    inj->setInternalImages(&skins.white, &skins.red, &skins.green);
    guitest::showAndSettle(&parent);
    guitest::resizeTo(inj, QSize(400, 80));
    EXPECT_EQ(inj->titleText()->geometry(), QRect(QPoint(40, 4), QPoint(79, 71)));
    EXPECT_EQ(inj->pictureRect().left(), 80 + 68 / 2);
    EXPECT_GT(inj->pictureRect().width(), 60);
}

TEST(InjectorStateDisplay, CopyTakesTextsStateAndPictures)
{
    InjectorSkins skins;
    QWidget parent;
    parent.resize(400, 100);
    auto* a = new CGDIpInjectorStateDisplay;
    auto* b = new CGDIpInjectorStateDisplay;
    a->Create(QRect(0, 0, 200, 40), &parent, 1200);
    b->Create(QRect(200, 0, 200, 40), &parent, 1201);
    a->setInternalImages(&skins.white, &skins.red, &skins.green);
    a->m_state = 2;
    a->Invalidate();
    a->titleText()->setText(QStringLiteral("B3"));
    *b = *a;
    EXPECT_EQ(b->m_state, 2);
    EXPECT_EQ(b->titleText()->text(), QStringLiteral("B3"));
    EXPECT_EQ(meanColour(b->workingPicture().image()), meanColour(a->workingPicture().image()));
}

// A panel as a fitter sees it: five gauges and eight injectors on the page colour.
class PanelShot : public QWidget {
public:
    PanelShot(double scale)
    {
        const auto s = [scale](int v) { return int(v * scale); };
        resize(s(760), s(420));
        dial.Load(skin("Gauge.tif"));
        skins = std::make_unique<InjectorSkins>();
        const char* titles[] = {"Obroty", "Ciśnienie", "Podciśnienie", "Temp. reduktora", "Temp. gazu"};
        const char* values[] = {"2450", "1.12 bar", "0.45 bar", "72 °C", "31 °C"};
        const int positions[] = {350, 450, 180, 600, 300};
        for (int i = 0; i < 5; ++i) {
            auto* g = new CGDIpGaugeDisplay;
            g->Create(QRect(s(10 + i * 150), s(10), s(140), s(140)), this, 1100 + i);
            g->setInternalImage(&dial);
            g->setAngleRange(68, 292);
            g->titleText()->setText(QString::fromUtf8(titles[i]));
            g->valueText()->setText(QString::fromUtf8(values[i]));
            g->setPos(positions[i]);
        }
        for (int i = 0; i < 8; ++i) {
            auto* inj = new CGDIpInjectorStateDisplay;
            inj->Create(QRect(s(10 + (i % 2) * 370), s(170 + (i / 2) * 60), s(360), s(50)), this, 1200 + i);
            inj->setInternalImages(&skins->white, &skins->red, &skins->green);
            inj->titleText()->setText(QStringLiteral("B%1").arg(i + 1));
            inj->valueText()->setText(QStringLiteral("%1 / %2 ms").arg(3.2 + i * 0.15, 0, 'f', 2).arg(3.5 + i * 0.15, 0, 'f', 2));
            inj->m_state = i % 3;
            inj->Invalidate();
        }
    }
    CImageObject dial;
    std::unique_ptr<InjectorSkins> skins;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        IGDIpGradientCtrl::drawGradientRect(p, rect(), GradPalette::pageTop(), GradPalette::pageBottom(), true);
    }
};

TEST(ReadingsPanelShot, GaugesAndInjectorsAtNormalAndDoubleScale)
{
    for (double scale : {1.0, 2.0}) {
        PanelShot panel(scale);
        guitest::showAndSettle(&panel);
        const QString name = scale > 1 ? QStringLiteral("readings_displays_x2") : QStringLiteral("readings_displays");
        EXPECT_FALSE(guitest::saveScreenshot(&panel, name).isEmpty());
    }
}

} // namespace
