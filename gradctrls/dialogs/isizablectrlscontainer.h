// SPDX-License-Identifier: GPL-3.0-or-later
// Proportional scaling of a container's children. The container records every
// child's rectangle at a reference size (init) and, on every resize, places
// each child in proportion to the container's new size (recalcControls).
// Children are matched to their records by control id; a child without an id
// is neither recorded nor moved.
#pragma once

#include <QSize>

#include <vector>

class QFont;
class QWidget;

class ISizableCtrlsContainer {
public:
    // One child as it was at the reference size, in the container's client coordinates.
    struct SCtrlRecord {
        int id;
        int left;
        int top;
        int right;
        int bottom;
    };

    ISizableCtrlsContainer() = default;
    ISizableCtrlsContainer(const ISizableCtrlsContainer&) = delete;
    ISizableCtrlsContainer& operator=(const ISizableCtrlsContainer&) = delete;
    virtual ~ISizableCtrlsContainer() = default;

    // Binds the container window and takes its size at creation as the reference size.
    void create(QWidget* container, const QSize& createdSize);
    void setOrygSize(unsigned int width, unsigned int height);
    // Records every child, in window order. Running it again appends a second
    // set of records; a child then ends at the rectangle of its later record.
    void init();
    // Scales the children to the container's current size; nothing without records
    // or without a reference size.
    virtual void recalcControls();
    // Grows the right and bottom edge of the first record with the id (reference
    // coordinates); an unknown id changes nothing.
    void resizeCtrl(int id, int dx, int dy);

    // The font handed to every child; not owned.
    void setContainerFont(QFont* font) { m_containerFont = font; }
    QFont* getContainerFont() const { return m_containerFont; }

    QSize getOrygSize() const { return QSize(static_cast<int>(m_orygWidth), static_cast<int>(m_orygHeight)); }
    const std::vector<SCtrlRecord>& getRecords() const { return m_records; }
    bool isInitialised() const { return m_initialised; }
    QWidget* getContainerWindow() const { return m_container; }

protected:
    QWidget* m_container = nullptr;
    unsigned int m_orygWidth = 0;
    unsigned int m_orygHeight = 0;
    QFont* m_containerFont = nullptr;
    std::vector<SCtrlRecord> m_records;
    bool m_initialised = false;
};
