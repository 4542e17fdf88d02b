// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/dialogs/isizablectrlscontainer.h>

#include <basectrls/ctrlid.h>
#include <gradctrls/dialogs/gdipgradientcombobox.h>
#include <gradctrls/dialogs/iownfontctrl.h>

#include <QFont>
#include <QWidget>

namespace {

// The scalable children: widgets inside the container (not separate windows) that carry an id.
template <class Fn>
void forEachChild(QWidget* container, Fn&& fn)
{
    if (!container)
        return;
    for (QObject* object : container->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (child && !child->isWindow() && hasCtrlId(child))
            fn(child);
    }
}

} // namespace

void ISizableCtrlsContainer::create(QWidget* container, const QSize& createdSize)
{
    m_container = container;
    setOrygSize(static_cast<unsigned int>(qMax(0, createdSize.width())),
                static_cast<unsigned int>(qMax(0, createdSize.height())));
}

void ISizableCtrlsContainer::setOrygSize(unsigned int width, unsigned int height)
{
    m_orygWidth = width;
    m_orygHeight = height;
}

void ISizableCtrlsContainer::init()
{
    forEachChild(m_container, [this](QWidget* child) {
        const QRect r = child->geometry();
        int bottom = r.top() + r.height();
        // Only the closed field of a combo box scales; its list keeps its own height.
        if (auto* combo = qobject_cast<CGDIpGradientComboBox*>(child); combo && combo->closedHeight() > 0)
            bottom = r.top() + combo->closedHeight();
        m_records.push_back(SCtrlRecord{ctrlId(child), r.left(), r.top(), r.left() + r.width(), bottom});
        if (auto* own = dynamic_cast<IOwnFontCtrl*>(child))
            own->setOwnFont(m_containerFont);
    });
    m_initialised = true;
}

void ISizableCtrlsContainer::recalcControls()
{
    // A zero reference size would scale by infinity; such a container is left alone.
    if (m_records.empty() || !m_container || m_orygWidth == 0 || m_orygHeight == 0)
        return;
    const double sx = static_cast<double>(m_container->width()) / m_orygWidth;
    const double sy = static_cast<double>(m_container->height()) / m_orygHeight;

    forEachChild(m_container, [&](QWidget* child) {
        const int id = ctrlId(child);
        // Every matching record is applied in turn, so the later one wins; only the last move shows.
        const SCtrlRecord* match = nullptr;
        for (const SCtrlRecord& rec : m_records)
            if (rec.id == id)
                match = &rec;
        if (!match)
            return;
        const int left = static_cast<int>(match->left * sx);
        const int top = static_cast<int>(match->top * sy);
        const int right = static_cast<int>(sx * (match->right - match->left) + left);
        const int bottom = static_cast<int>(sy * (match->bottom - match->top) + top);
        child->setGeometry(left, top, right - left, bottom - top);
        if (auto* own = dynamic_cast<IOwnFontCtrl*>(child); own && own->followsContainerFont())
            own->setOwnFont(m_containerFont);
        if (m_containerFont)
            child->setFont(*m_containerFont);
        if (auto* combo = qobject_cast<CGDIpGradientComboBox*>(child))
            combo->setSelectionFieldHeight(bottom - top);
        child->update();
    });
}

void ISizableCtrlsContainer::resizeCtrl(int id, int dx, int dy)
{
    for (SCtrlRecord& rec : m_records) {
        if (rec.id == id) {
            rec.right += dx;
            rec.bottom += dy;
            return;
        }
    }
}
