// SPDX-License-Identifier: GPL-3.0-or-later
// Control ids on Qt widgets. Every control of a page carries the id it has in
// the page's layout, both as the property "ctrlId" and as the object name
// "ctrl_<id>", so that containers match records to children and tests find them.
#pragma once

class QWidget;

inline constexpr int kNoCtrlId = -1;

void setCtrlId(QWidget* widget, int id);
// The widget's control id; hasCtrlId tells whether one was ever set.
int ctrlId(const QWidget* widget);
bool hasCtrlId(const QWidget* widget);
// The first direct child of parent with the id, or null.
QWidget* findChildCtrl(const QWidget* parent, int id);
// The first descendant of root (depth first, window order) with the id, or null.
QWidget* findCtrl(const QWidget* root, int id);
