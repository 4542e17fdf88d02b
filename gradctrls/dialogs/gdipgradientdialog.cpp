// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/dialogs/gdipgradientdialog.h>

#include <gradctrls/dialogs/gdippalette.h>

#include <QHashFunctions>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

CGDIpGradientDialog::CGDIpGradientDialog(int resourceId, QWidget* parent)
    : QDialog(parent)
    , m_resourceId(resourceId)
    , m_designSize(CPageLayout::pageSize())
{
    setGradientColors(GradPalette::pageTop(), GradPalette::pageBottom());
}

CGDIpGradientDialog::~CGDIpGradientDialog() = default;

void CGDIpGradientDialog::setDesignSizeDu(int cx, int cy)
{
    m_designSize = QSize(CPageLayout::duToPixelsX(cx), CPageLayout::duToPixelsY(cy));
}

bool CGDIpGradientDialog::Create(QWidget* parent)
{
    if (m_created)
        return false;
    if (parent && parent != parentWidget())
        setParent(parent, windowFlags());
    resize(m_designSize);
    if (m_containerFont)
        setFont(*m_containerFont);
    ISizableCtrlsContainer::create(this, m_designSize);
    createControls();
    m_created = true;
    return OnInitDialog();
}

int CGDIpGradientDialog::DoModal()
{
    if (!m_created && !Create())
        return QDialog::Rejected;
    return exec();
}

void CGDIpGradientDialog::createControls()
{
    CPageLayout::build(this, layoutTable(), m_translate);
}

bool CGDIpGradientDialog::OnInitDialog()
{
    recalcBackground(rect());
    ISizableCtrlsContainer::init();
    recalcControls();
    return true;
}

void CGDIpGradientDialog::recalcBackground(const QRect& client)
{
    m_backgroundRect = QRectF(client);
}

void CGDIpGradientDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    recalcBackground(rect());
    recalcControls();
    update();
}

void CGDIpGradientDialog::paintEvent(QPaintEvent* event)
{
    if (m_transparent)
        return;
    const QRectF r = m_backgroundRect;
    const std::size_t key = qHashMulti(0, r.x(), r.y(), r.width(), r.height(), m_from.rgba64(), m_to.rgba64(),
                                       m_vertical, GradPalette::pageBorder().rgba64());
    // A gradient over the whole dialog in opaque colours is kept without
    // alpha, so the ticks' repaints beneath live controls are plain copies.
    const bool opaque = r.contains(QRectF(rect())) && m_from.alpha() == 255 && m_to.alpha() == 255;
    QPainter painter(this);
    m_backgroundCache.draw(painter, size(), key, event->region(),
        [this](QPainter& p) { drawGradient(p, m_backgroundRect, 0.0, GradPalette::pageBorder()); }, opaque);
}
