// SPDX-License-Identifier: GPL-3.0-or-later
// The round gauge: the dial picture (shared, not owned), reduced once per size
// change, with the needle, the scale ticks and two centred texts (title and
// value) drawn over it as vectors, so they stay sharp at any scale.
// Position 0 … 1000 turns the needle from the minimum to the maximum angle,
// clockwise on the screen with 0° straight down, 90° left, 180° up.
#pragma once

#include <gradctrls/dialogs/backgroundcache.h>
#include <gradctrls/dialogs/gdiptransparentcompctrl.h>
#include <imagekit/extimage.h>

#include <QRect>
#include <QSize>

#include <string>

class CGDIpStatic;
class CImageObject;

class CGDIpGaugeDisplay : public CGDIpTransparentCompCtrl {
    Q_OBJECT
public:
    static constexpr int kValueId = 5000;
    static constexpr int kTitleId = 5001;

    // Where the picture and the texts go for a client size and a source picture size.
    struct SLayout {
        int k = 0;         // reduction factor; 0 without a picture
        QPoint origin;     // picture's top-left corner
        QSize picture;     // reduced picture size (device pixels)
        QRect value;
        QRect title;
    };

    CGDIpGaugeDisplay();
    ~CGDIpGaugeDisplay() override;
    // Copies the look, both texts, the picture and the angle limits; not the position.
    CGDIpGaugeDisplay& operator=(const CGDIpGaugeDisplay& other);
    CGDIpGaugeDisplay(const CGDIpGaugeDisplay&) = delete;

    // The needle's angle in degrees for a position, held within [minimum, maximum].
    static double needleAngle(int position, double minimum, double maximum);
    // The layout for a client area; the picture is reduced by an integer factor so that
    // it fits deviceRatio × the smaller client side.
    static SLayout computeLayout(const QSize& client, const QSize& source, double deviceRatio = 1.0);
    // The skins folder: the program's folder followed by "Skins/" (or the
    // KORVANA_RUNTIME_DIR folder's), unless the program named another.
    static std::wstring getPath();
    // The program names the folder it found its data in (an installed program
    // keeps it apart from its own folder); folder ends with a separator.
    static void setPath(const std::wstring& folder);

    // image is not owned and may be shared by several gauges.
    void setInternalImage(CImageObject* image);
    void setAngleRange(double minimum, double maximum);
    double getMinAngle() const { return m_minAngle; }
    double getMaxAngle() const { return m_maxAngle; }
    // Repaints the dial (not the value text) when the position changes.
    void setPos(int position);
    int getPos() const { return m_pos; }
    double getAngle() const { return m_angle; }

    CGDIpStatic* valueText() const { return m_value; }
    CGDIpStatic* titleText() const { return m_title; }
    const SLayout& layout() const { return m_layout; }
    // The picture reduced to the dial's size (reduced when first asked for).
    const CExtImage& workingPicture() const;

protected:
    void createOwnCtrls() override;
    void v_recalcData(const QRect& client) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void reduceWorking() const;
    void drawScale(QPainter& painter) const;
    void drawNeedle(QPainter& painter) const;

    int m_pos = 0;
    double m_minAngle = 0.0;
    double m_maxAngle = 360.0;
    double m_angle = 0.0;
    double m_needleWidth = 0.02;
    double m_needleLength = 0.35;
    double m_corner = 0.5;
    double m_needleOffset = 0.02;
    CImageObject* m_source = nullptr;
    bool m_hasPicture = false;
    // Reduced when painted, not at each size the layout passes through.
    mutable CExtImage m_working;
    mutable qint64 m_workingFrom = 0; // the source picture m_working was reduced from
    QSize m_workingWant; // empty: no picture
    CBackgroundCache m_dial;
    SLayout m_layout;
    CGDIpStatic* m_value = nullptr;
    CGDIpStatic* m_title = nullptr;
};
