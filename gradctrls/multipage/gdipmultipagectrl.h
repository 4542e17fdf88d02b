// SPDX-License-Identifier: GPL-3.0-or-later
// The navigation frame: a column of page buttons and a page area in which
// exactly one page is shown. Pressing a page button, or F1 to F8 anywhere in
// a page (or on a button), shows that page and hides the previous one.
//
// Layout, on every resize, with w x h the control's size and the layout
// proportions p (defaults 2.5, 1.0, 0.16):
//   gap = p[1] % of min(w, h), at least 2 px, around everything;
//   the button column is p[2] x w wide at the left;
//   a button without an extent is p[0] font line heights high;
//   the pages fill the rest (right of the column, inside the gap).
// Buttons and pages become children of the control and are deleted with it.
#pragma once

#include <basectrls/compctrl.h>
#include <gradctrls/dialogs/backgroundcache.h>
#include <gradctrls/dialogs/igdipgradientctrl.h>
#include <gradctrls/dialogs/itransparentctrl.h>
#include <gradctrls/multipage/imultipagectrl.h>

#include <QColor>
#include <QRectF>

#include <functional>
#include <vector>

class CGDIpMultiPageDialog;
class IMultiPageButton;

class CGDIpMultiPageCtrl : public CCompCtrl, public IMultiPageCtrl, public ITransparentCtrl, public IGDIpGradientCtrl {
    Q_OBJECT
public:
    // One gradient rectangle of the background, in client coordinates.
    struct SBackgroundRect {
        QRectF rect;
        QColor from;
        QColor to;
        qreal radius = 0.0;
        QColor border;
    };

    CGDIpMultiPageCtrl();
    ~CGDIpMultiPageCtrl() override;

    // The font of the buttons (and of nothing else); not owned. Set it before inserting pages.
    void setButtonFont(QFont* font) { m_buttonFont = font; }
    QFont* getButtonFont() const { return m_buttonFont; }

    // Adds a button with its page and makes that page the active one.
    void insertPage(const QString& title, IMultiPageButton* button, CGDIpMultiPageDialog* page);
    // Adds a button whose page is built when it is first needed: shown, asked
    // for by getPage, or built by buildPendingPages. The active page stays.
    using PageBuilder = std::function<CGDIpMultiPageDialog*()>;
    void insertPage(const QString& title, IMultiPageButton* button, PageBuilder build);
    // Builds up to `limit` pages not built yet, in order; returns how many it built.
    int buildPendingPages(int limit);
    bool hasPendingPages() const;
    // Nothing for an index outside the pages.
    void activatePage(int index);
    void activatePage(IMultiPageButton* button) override;
    CGDIpMultiPageDialog* getActivePage() const;
    int getActiveIndex() const { return m_active; }
    // Builds the page first when it was inserted to be built later.
    CGDIpMultiPageDialog* getPage(int index) const;
    // The page only if it is built already: for work that a page built later does anyway.
    CGDIpMultiPageDialog* getBuiltPage(int index) const;
    IMultiPageButton* getButton(int index) const;
    int getPageCount() const { return static_cast<int>(m_pages.size()); }
    // Nothing for an index outside the pages.
    void changeTitle(int index, const QString& title);
    // F1 to F8 (key-down) show pages 0 to 7; anything else passes through.
    bool checkMsg(QEvent* msg) override;

    void setLayoutProportions(const std::vector<double>& proportions);
    const std::vector<double>& getLayoutProportions() const { return m_proportions; }
    // The rectangle the pages are moved to, from the last layout.
    QRect getPageArea() const { return m_pageArea; }
    const std::vector<SBackgroundRect>& getBackground() const { return m_background; }

    // Places the buttons and pages for the current size.
    void recalcLayout();

protected:
    CGDIpMultiPageDialog* buildPage(size_t index) const;
    IMultiPageButton* addButton(const QString& title, IMultiPageButton* button);
    // Rebuilds the background rectangles for the client rectangle; overrides
    // call the base first and append their own.
    virtual void recalcBackground(const QRect& client);

    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    std::vector<IMultiPageButton*> m_buttons;
    // A page still to be built is null here, with its builder beside it.
    // Building one is not a change anyone outside can see, so const look-ups may do it.
    mutable std::vector<CGDIpMultiPageDialog*> m_pages;
    mutable std::vector<PageBuilder> m_builders;
    std::vector<SBackgroundRect> m_background;
    CBackgroundCache m_backgroundCache;
    int m_active = -1;
    QFont* m_buttonFont = nullptr;
    std::vector<double> m_proportions;
    QRect m_pageArea;
};
