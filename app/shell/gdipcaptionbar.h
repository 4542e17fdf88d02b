// SPDX-License-Identifier: GPL-3.0-or-later
// The main frame's own caption bar: the program icon, the product name line
// and the minimise, maximise/restore and close buttons. Pressing the bar drags
// the window; a double click maximises or restores it. The frame gives it its
// font and height (both follow the window size).
#pragma once

#include <QIcon>
#include <QPoint>
#include <QWidget>

class QAbstractButton;

class CGDIpCaptionBar : public QWidget {
    Q_OBJECT
public:
    // Ids of the three buttons (control ids, for tests and the frame).
    static constexpr int kIdMinimise = 61001;
    static constexpr int kIdMaximise = 61002;
    static constexpr int kIdClose = 61003;

    explicit CGDIpCaptionBar(QWidget* parent = nullptr);

    void setCaptionText(const QString& text);
    QString captionText() const { return m_text; }
    // Where the caption text goes: after the icon, up to the buttons.
    QRect captionTextRect() const;
    void setIcon(const QIcon& icon);
    void setCaptionFont(const QFont& font);
    void setCaptionHeight(int pixels);
    void setActive(bool active);
    bool isActive() const { return m_active; }
    void setMaximized(bool maximized);
    bool isMaximized() const { return m_maximized; }

    // The program's icon, drawn at size x size pixels.
    static QPixmap programIcon(int size);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void placeButtons();
    void toggleMaximized();

    QString m_text;
    QIcon m_icon;
    bool m_active = true;
    bool m_maximized = false;
    QAbstractButton* m_minimise = nullptr;
    QAbstractButton* m_maximise = nullptr;
    QAbstractButton* m_close = nullptr;
    // Manual dragging where the window system cannot move the window itself.
    bool m_dragging = false;
    QPoint m_dragOffset;
};
