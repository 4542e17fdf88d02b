// SPDX-License-Identifier: GPL-3.0-or-later
// Draws a check box with two pictures instead of the style's mark: one for
// checked, one for unchecked, the text beside them. When either picture is
// missing the box keeps its default look.
#pragma once

#include <QImage>
#include <QObject>

#include <string>

class QCheckBox;

class CCheckBoxImages : public QObject {
    Q_OBJECT
public:
    // Loads both pictures from the program's image folder; loaded() tells whether both came.
    CCheckBoxImages(const std::wstring& selectedFile, const std::wstring& unselectedFile, QObject* parent = nullptr);

    bool loaded() const { return !m_selected.isNull() && !m_unselected.isNull(); }
    // A box with this property set shows a dash instead of either picture (its value is unknown).
    static constexpr const char* kNoValueProperty = "korvanaNoValue";
    // Gives box the pictures (nothing when they are not loaded).
    void apply(QCheckBox* box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QImage m_selected;
    QImage m_unselected;
};
