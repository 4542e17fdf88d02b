// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/multipage/gdipmultipagectrl.h>

#include <gradctrls/dialogs/gdippalette.h>
#include <gradctrls/multipage/gdipmultipagedialog.h>
#include <gradctrls/multipage/imultipagebutton.h>

#include <QFontMetrics>
#include <QKeyEvent>
#include <QHashFunctions>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kDefaultHeightLines = 2.5;
constexpr double kDefaultGapPercent = 1.0;
constexpr double kDefaultColumnShare = 0.16;
} // namespace

CGDIpMultiPageCtrl::CGDIpMultiPageCtrl()
    : m_proportions{kDefaultHeightLines, kDefaultGapPercent, kDefaultColumnShare}
{
    setGradientColors(GradPalette::backdropTop(), GradPalette::backdropBottom());
    setFocusPolicy(Qt::NoFocus);
}

CGDIpMultiPageCtrl::~CGDIpMultiPageCtrl()
{
    // Pages must not call back into a half-destroyed owner while Qt deletes them.
    for (CGDIpMultiPageDialog* page : m_pages)
        if (page)
            page->setMPC(nullptr, page->getIndex());
    for (IMultiPageButton* button : m_buttons)
        button->setMPC(nullptr);
}

void CGDIpMultiPageCtrl::insertPage(const QString& title, IMultiPageButton* button, CGDIpMultiPageDialog* page)
{
    if (!button || !page)
        return;
    addButton(title, button);
    m_pages.push_back(page);
    m_builders.emplace_back();
    const int index = static_cast<int>(m_pages.size()) - 1;
    page->setMPC(this, index);
    if (page->parentWidget() != this || page->isWindow())
        page->setParent(this, Qt::Widget);

    for (IMultiPageButton* other : m_buttons)
        if (other != button)
            other->selected(false);
    page->init();
    button->selected(true);
    // The active page is the one shown, so that activating it later is rightly a no-op.
    CGDIpMultiPageDialog* previous = getActivePage();
    if (previous && previous != page)
        previous->v_show(false);
    m_active = index;
    recalcLayout();
    page->v_show(true);
}

IMultiPageButton* CGDIpMultiPageCtrl::addButton(const QString& title, IMultiPageButton* button)
{
    button->create(title, IMultiPageButton::kStyleChild | IMultiPageButton::kStyleVisible
                       | IMultiPageButton::kStyleTabStop,
                   QRect(), this, m_buttonFont, -1);
    button->setMPC(this);
    m_buttons.push_back(button);
    return button;
}

void CGDIpMultiPageCtrl::insertPage(const QString& title, IMultiPageButton* button, PageBuilder build)
{
    if (!button || !build)
        return;
    addButton(title, button);
    button->selected(false);
    m_pages.push_back(nullptr);
    m_builders.push_back(std::move(build));
    recalcLayout();
}

CGDIpMultiPageDialog* CGDIpMultiPageCtrl::buildPage(size_t index) const
{
    if (m_pages[index] || !m_builders[index])
        return m_pages[index];
    // Taken out first: a builder that looks its own page up must not build it twice.
    const PageBuilder build = std::move(m_builders[index]);
    m_builders[index] = nullptr;
    CGDIpMultiPageDialog* page = build();
    if (!page)
        return nullptr;
    auto* self = const_cast<CGDIpMultiPageCtrl*>(this);
    page->setMPC(self, static_cast<int>(index));
    if (page->parentWidget() != this || page->isWindow())
        page->setParent(self, Qt::Widget);
    page->init();
    page->v_show(false);
    page->v_move(m_pageArea, false);
    m_pages[index] = page;
    return page;
}

int CGDIpMultiPageCtrl::buildPendingPages(int limit)
{
    int built = 0;
    for (size_t i = 0; i < m_pages.size() && built < limit; ++i)
        if (!m_pages[i] && m_builders[i] && buildPage(i))
            ++built;
    return built;
}

bool CGDIpMultiPageCtrl::hasPendingPages() const
{
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (!m_pages[i] && m_builders[i])
            return true;
    return false;
}

void CGDIpMultiPageCtrl::activatePage(int index)
{
    if (index >= 0 && index < getPageCount())
        activatePage(m_buttons[static_cast<size_t>(index)]);
}

void CGDIpMultiPageCtrl::activatePage(IMultiPageButton* button)
{
    const auto it = std::find(m_buttons.begin(), m_buttons.end(), button);
    if (it == m_buttons.end())
        return;
    const int index = static_cast<int>(it - m_buttons.begin());
    CGDIpMultiPageDialog* page = buildPage(static_cast<size_t>(index));
    if (!page)
        return;
    CGDIpMultiPageDialog* active = getActivePage();
    const auto visibleButtons = std::count_if(m_buttons.begin(), m_buttons.end(),
                                              [](IMultiPageButton* b) { return b->isWindowVisible(); });
    // The active page's own button changes nothing.
    if (page == active && visibleButtons != 1)
        return;

    IMultiPageButton* activeButton = m_active >= 0 ? m_buttons[static_cast<size_t>(m_active)] : nullptr;
    if (activeButton)
        activeButton->selected(false);
    button->selected(true);
    button->setFocus();
    CGDIpMultiPageDialog* previous = active;
    m_active = index;

    // Hide and show as one change, so the page area never flashes empty.
    setUpdatesEnabled(false);
    if (previous)
        previous->v_show(false);
    page->v_move(m_pageArea, false);
    page->v_show(true);
    setUpdatesEnabled(true);

    if (activeButton)
        activeButton->invalidate(true);
    button->invalidate(true);
    if (previous)
        previous->deactivate();
    page->activate();
}

CGDIpMultiPageDialog* CGDIpMultiPageCtrl::getActivePage() const
{
    return m_active >= 0 && m_active < getPageCount() ? m_pages[static_cast<size_t>(m_active)] : nullptr;
}

CGDIpMultiPageDialog* CGDIpMultiPageCtrl::getPage(int index) const
{
    return index >= 0 && index < getPageCount() ? buildPage(static_cast<size_t>(index)) : nullptr;
}

CGDIpMultiPageDialog* CGDIpMultiPageCtrl::getBuiltPage(int index) const
{
    return index >= 0 && index < getPageCount() ? m_pages[static_cast<size_t>(index)] : nullptr;
}

IMultiPageButton* CGDIpMultiPageCtrl::getButton(int index) const
{
    return index >= 0 && index < getPageCount() ? m_buttons[static_cast<size_t>(index)] : nullptr;
}

void CGDIpMultiPageCtrl::changeTitle(int index, const QString& title)
{
    if (IMultiPageButton* button = getButton(index))
        button->setWindowText(title);
}

bool CGDIpMultiPageCtrl::checkMsg(QEvent* msg)
{
    if (!msg || msg->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(msg)->key();
    if (key < Qt::Key_F1 || key > Qt::Key_F8)
        return false;
    const int index = key - Qt::Key_F1;
    if (index >= getPageCount())
        return false;
    activatePage(index);
    return true;
}

void CGDIpMultiPageCtrl::setLayoutProportions(const std::vector<double>& proportions)
{
    m_proportions = {kDefaultHeightLines, kDefaultGapPercent, kDefaultColumnShare};
    for (size_t i = 0; i < proportions.size() && i < m_proportions.size(); ++i)
        if (std::isfinite(proportions[i]) && proportions[i] >= 0.0)
            m_proportions[i] = proportions[i];
    recalcLayout();
}

void CGDIpMultiPageCtrl::recalcLayout()
{
    const int w = width();
    const int h = height();
    const int gap = std::max(2, static_cast<int>(std::lround(m_proportions[1] / 100.0 * std::min(w, h))));
    const int columnWidth = std::max(0, static_cast<int>(m_proportions[2] * w));
    const QFontMetrics fm(m_buttonFont ? *m_buttonFont : font());
    const int defaultHeight = static_cast<int>(m_proportions[0] * fm.height());

    int nextTop = gap;
    for (IMultiPageButton* button : m_buttons) {
        const int top = button->m_lead != 0.0 ? static_cast<int>(button->m_lead * h) : nextTop;
        const int height = button->m_extent != 0.0 ? static_cast<int>(button->m_extent * h) : defaultHeight;
        const int shrink = static_cast<int>(button->m_inset * columnWidth / 2.0);
        button->moveWindow(QRect(gap + shrink, top, std::max(0, columnWidth - 2 * shrink), height));
        button->v_recalcData();
        nextTop = top + height;
    }

    m_pageArea = QRect(QPoint(2 * gap + columnWidth, gap), QPoint(w - gap - 1, h - gap - 1));
    for (CGDIpMultiPageDialog* page : m_pages)
        if (page)
            page->v_move(m_pageArea, page->v_isVisible());
    recalcBackground(rect());
    update();
}

void CGDIpMultiPageCtrl::recalcBackground(const QRect& client)
{
    m_background.clear();
    m_background.push_back(SBackgroundRect{QRectF(client), gradientFrom(), gradientTo(), 0.0, QColor()});
}

void CGDIpMultiPageCtrl::resizeEvent(QResizeEvent* event)
{
    CCompCtrl::resizeEvent(event);
    recalcLayout();
}

void CGDIpMultiPageCtrl::paintEvent(QPaintEvent* event)
{
    if (m_transparent) {
        setAttribute(Qt::WA_OpaquePaintEvent, false);
        return;
    }
    // The panels lie beneath every live control; each tick repaints parts of
    // them, so they are drawn once and copied.
    std::size_t key = 0;
    for (const SBackgroundRect& r : m_background)
        key = qHashMulti(key, r.rect.x(), r.rect.y(), r.rect.width(), r.rect.height(), r.from.rgba64(),
                         r.to.rgba64(), r.radius, r.border.isValid() ? r.border.rgba64() : quint64(0));
    const bool opaque = !m_background.empty() && m_background.front().rect.contains(QRectF(rect()))
                        && m_background.front().from.alpha() == 255 && m_background.front().to.alpha() == 255;
    // Panels that cover the client opaquely: from the next paint on, nothing
    // beneath them is painted first.
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    QPainter painter(this);
    m_backgroundCache.draw(
        painter, size(), key, event->region(),
        [this](QPainter& p) {
            for (const SBackgroundRect& r : m_background)
                drawGradientRect(p, r.rect, r.from, r.to, true, r.radius, r.border);
        },
        opaque);
}

void CGDIpMultiPageCtrl::keyPressEvent(QKeyEvent* event)
{
    // Keys a focused page button does not take (F1 to F8) arrive here.
    if (!checkMsg(event))
        CCompCtrl::keyPressEvent(event);
}
