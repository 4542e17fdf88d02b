// SPDX-License-Identifier: GPL-3.0-or-later
// A dialog with a gradient background whose children scale with its size.
//
// Creation runs in the order the pages rely on: the window takes its design
// size, which becomes the reference size (create); the controls are built
// (createControls: by default from layoutTable()); then OnInitDialog
// recalculates the background, records the children (init) and scales them
// (recalcControls). Every later size change recalculates the background,
// scales the children and repaints the whole dialog.
#pragma once

#include <gradctrls/dialogs/backgroundcache.h>
#include <gradctrls/dialogs/igdipgradientctrl.h>
#include <gradctrls/dialogs/isizablectrlscontainer.h>
#include <gradctrls/dialogs/itransparentctrl.h>
#include <gradctrls/layout/pagelayout.h>

#include <QDialog>

#include <span>

class CGDIpGradientDialog : public QDialog, public ISizableCtrlsContainer, public ITransparentCtrl,
                            public IGDIpGradientCtrl {
    Q_OBJECT
public:
    // resourceId names the dialog's layout (the page numbers of the program).
    explicit CGDIpGradientDialog(int resourceId, QWidget* parent = nullptr);
    ~CGDIpGradientDialog() override;

    // Creates the dialog's window and controls; parent replaces the one given
    // at construction when not null. False when it was already created or
    // OnInitDialog refused.
    virtual bool Create(QWidget* parent = nullptr);
    bool isCreated() const { return m_created; }
    // Creates the dialog when needed and runs it modally.
    int DoModal();

    int getResourceId() const { return m_resourceId; }
    // The size at creation, in pixels; by default the 800 x 600 design.
    void setDesignSize(const QSize& pixels) { m_designSize = pixels; }
    void setDesignSizeDu(int cx, int cy);
    QSize getDesignSize() const { return m_designSize; }
    // The translator the layout table's texts pass through.
    void setTranslator(const CPageLayout::Translator& translate) { m_translate = translate; }
    // The layout table's texts set again in the language now (a page's updateTexts).
    void retranslateLayout() { CPageLayout::retranslate(this, layoutTable(), m_translate); }

    // The gradient behind the controls, in this dialog's client coordinates.
    QRectF getBackgroundRect() const { return m_backgroundRect; }

protected:
    // The controls of this dialog; the default has none.
    virtual std::span<const SCtrlLayout> layoutTable() const { return {}; }
    // Builds the controls; the default builds layoutTable(). Overrides may add
    // controls of their own (before or after calling the base).
    virtual void createControls();
    virtual bool OnInitDialog();
    // Recomputes the background from the client rectangle.
    virtual void recalcBackground(const QRect& client);

    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_resourceId;
    QSize m_designSize;
    QRectF m_backgroundRect;
    CBackgroundCache m_backgroundCache;
    CPageLayout::Translator m_translate;
    bool m_created = false;
};
