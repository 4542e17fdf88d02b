// SPDX-License-Identifier: GPL-3.0-or-later
// One injector of the readings panel: its name, a picture for its state (0, 1
// or 2; the panel uses white, red and green) and its injection time. The
// pictures are shared and not owned; the one shown is reduced once per size or
// state change, never per paint.
#pragma once

#include <gradctrls/dialogs/gdiptransparentcompctrl.h>
#include <imagekit/extimage.h>

#include <QRect>

#include <string>

class CGDIpStatic;
class CImageObject;

class CGDIpInjectorStateDisplay : public CGDIpTransparentCompCtrl {
    Q_OBJECT
public:
    static constexpr int kTitleId = 5000;
    static constexpr int kValueId = 5001;

    CGDIpInjectorStateDisplay();
    ~CGDIpInjectorStateDisplay() override;
    // Copies the look, both texts, the state and the three pictures.
    CGDIpInjectorStateDisplay& operator=(const CGDIpInjectorStateDisplay& other);
    CGDIpInjectorStateDisplay(const CGDIpInjectorStateDisplay&) = delete;

    // The picture's rectangle beside a title rectangle, for a picture of size source.
    static QRect pictureRect(const QRect& title, const QSize& source);
    static std::wstring getPath();

    void setInternalImages(CImageObject* image0, CImageObject* image1, CImageObject* image2);
    // Recomputes the layout for the current state and repaints the picture;
    // the argument is ignored.
    void Invalidate(int erase = 1);

    CGDIpStatic* titleText() const { return m_titleText; }
    CGDIpStatic* valueText() const { return m_valueText; }
    QRect pictureRect() const { return m_pictureRect; }
    const CExtImage& workingPicture() const { return m_working; }

    // Which picture is shown (0, 1 or 2); the owner writes it, then calls Invalidate.
    int m_state = 0;

protected:
    void createSizableCtrls() override;
    void v_recalcData(const QRect& client) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CImageObject* m_pictures[3] = {nullptr, nullptr, nullptr};
    bool m_picturesSet = false;
    CExtImage m_working;
    QRect m_pictureRect;
    int m_workingState = -1;
    QSize m_workingSize;
    CGDIpStatic* m_titleText = nullptr;
    CGDIpStatic* m_valueText = nullptr;
};
