// SPDX-License-Identifier: GPL-3.0-or-later
// The legend of a line chart and its value column in one: the lines in groups,
// each line with its colour and pen, name, value and unit. A group's title
// shows or hides the whole group; a line's colour sample shows or hides the
// line; a click on its name chooses it for the chart's y scale. A group may
// take half the width, so that two groups of like lines (the petrol and the LPG
// time of each cylinder) sit side by side.
#pragma once

#include <QColor>
#include <QRect>
#include <QStaticText>
#include <QString>
#include <QWidget>

#include <map>
#include <vector>

class CChartLegend : public QWidget {
    Q_OBJECT
public:
    struct SEntry {
        unsigned int line = 0;
        QString name;
        QString unit; // shown after the value, or in the title of a half-width group
        unsigned int colour = 0; // 0x00BBGGRR
        int style = 0;           // 0 solid, 1 dashed
        bool visible = true;     // drawn on the chart
        bool present = true;     // listed at all
        QString value;
    };
    struct SGroup {
        QString title;
        std::vector<SEntry> entries;
        bool shown = true;
        bool half = false;
    };

    explicit CChartLegend(QWidget* parent = nullptr);

    void setGroups(std::vector<SGroup> groups);
    const std::vector<SGroup>& groups() const { return m_groups; }
    void setGroupTitle(int group, const QString& title);
    void setEntryText(unsigned int line, const QString& name, const QString& unit);
    // Changes only what differs; a repaint only when something did.
    void setValue(unsigned int line, const QString& value);
    void setVisible(unsigned int line, bool visible);
    void setPresent(unsigned int line, bool present);
    void setGroupShown(int group, bool shown);
    void setSelected(int line);
    int selected() const { return m_selected; }
    // A line of the legend with a title above the groups (the cursor's time).
    void setHeading(const QString& heading);
    const SEntry* entry(unsigned int line) const;

    // Where things are, for clicks and tests: the title of a group, the colour
    // sample and the name of a line (empty when not listed).
    QRect groupTitleRect(int group) const;
    QRect sampleRect(unsigned int line) const;
    QRect nameRect(unsigned int line) const;

signals:
    void groupToggled(int group, bool shown);
    void lineToggled(unsigned int line, bool visible);
    void lineSelected(unsigned int line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct SPlace {
        int group;
        int entry; // -1: the group's title
        QRect rect;
        QRect sample;
        QRect name;
        QRect value;
    };
    // Marks the places stale; they are worked out when next painted or asked
    // for, not once for every text a page sets while it builds.
    void relayout();
    void ensureLaidOut() const;
    void layOut() const;
    SEntry* find(unsigned int line, int* group = nullptr);

    std::vector<SGroup> m_groups;
    mutable bool m_layoutStale = true;
    mutable std::vector<SPlace> m_places;
    QString m_heading;
    mutable QRect m_headingRect;
    mutable QFont m_font;
    int m_selected = -1;
    std::map<QString, QStaticText> m_texts;
    QFont m_textsFont;
};
