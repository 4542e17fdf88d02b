// SPDX-License-Identifier: GPL-3.0-or-later
// A push button drawn as a picture from the skins folder (the recorder
// buttons of the readings page). The button's text is its tooltip and is
// drawn instead of the picture when the picture is missing. The picture is
// reduced once per size, never per paint.
#pragma once

#include <QAbstractButton>
#include <QImage>

#include <string>

class CImageButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CImageButton(QWidget* parent = nullptr);

    // Loads the picture of the skins folder; false (and no picture) when it fails.
    bool loadSkin(const std::wstring& fileName);
    bool hasPicture() const { return !m_source.isNull(); }
    // Shows this picture instead (a null one brings the text back).
    void setPicture(const QImage& picture);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QImage m_source;
    QImage m_scaled;
    bool m_hover = false;
};
