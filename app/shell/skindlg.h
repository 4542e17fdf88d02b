// SPDX-License-Identifier: GPL-3.0-or-later
// The base of the program's small modal dialogs (about box, no-connection
// dialog, console setup, level-sensor dialog …): a window without the system's
// title bar, with a grey gradient, its own title static (id 5000, across the
// top, 32 px high at the design size) by which it is dragged, and a font.
#pragma once

#include <gradctrls/dialogs/gdipgradientdialog.h>

#include <QFont>
#include <QPoint>

class CGDIpStatic;

class CSkinDlg : public CGDIpGradientDialog {
    Q_OBJECT
public:
    static constexpr int kTitleId = 5000;
    static constexpr int kTitleHeight = 32;

    explicit CSkinDlg(int resourceId, QWidget* parent = nullptr);
    ~CSkinDlg() override;

    // The text of the title static ("TITLE" until set); also the window title.
    void setSkinTitle(const QString& title);
    QString skinTitle() const { return m_title; }
    CGDIpStatic* titleStatic() const { return m_titleStatic; }
    QFont& dialogFont() { return m_font; }

protected:
    // Creates the title static, then records and scales every control.
    bool OnInitDialog() override;
    void recalcControls() override;
    // Enter runs the default button; the base of that is accept().
    void keyPressEvent(QKeyEvent* event) override;
    virtual void onDefaultButton() { accept(); }
    bool eventFilter(QObject* watched, QEvent* event) override;

    QFont m_font;

private:
    QString m_title = QStringLiteral("TITLE");
    CGDIpStatic* m_titleStatic = nullptr;
    bool m_dragging = false;
    QPoint m_dragOffset;
};
