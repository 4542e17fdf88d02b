// SPDX-License-Identifier: GPL-3.0-or-later
// Pages as data. A page's controls are described by a table (control id, kind,
// rectangle in dialog units of the 800 x 600 design, text) and built from it.
//
// Dialog units convert to pixels with the fixed base of the classic dialog
// font, 6 x 13 pixels per character cell: x px = x du * 6 / 4 and
// y px = y du * 13 / 8, rounded half away from zero. The 800 x 600 design is
// so 1200 x 975 pixels at creation; containers then scale it to any size.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <span>
#include <string>

class QWidget;

enum class ECtrlKind {
    Label,        // text, left aligned
    LabelCenter,  // text, centred both ways
    LabelRight,   // text, right aligned
    GroupBox,     // frame with a caption; controls drawn over it are its siblings
    PushButton,   // gradient push button
    CheckBox,
    RadioButton,
    Edit,         // text edit (CExtEdit)
    ReadOnlyEdit, // text field that shows a value and takes no typing
    IntEdit,
    FloatEdit,
    ComboBox,     // gradient drop-down list; the rectangle is its closed field, the text its items one a line
    Placeholder,  // empty rectangle that a composite control replaces (CreateFromStatic)
};

struct SCtrlLayout {
    int id;
    ECtrlKind kind;
    int x;
    int y;
    int cx;
    int cy;
    const wchar_t* text; // shown through the page's translator; may be null
};

class CPageLayout {
public:
    using Translator = std::function<std::wstring(const std::wstring&)>;

    static constexpr int kDesignWidthDu = 800;
    static constexpr int kDesignHeightDu = 600;

    static int duToPixelsX(int du);
    static int duToPixelsY(int du);
    static QRect duToPixels(int x, int y, int cx, int cy);
    // The 800 x 600 design in pixels.
    static QSize pageSize();

    // Creates every control of table as a visible child of parent, with its id
    // (see basectrls/ctrlid.h), its pixel rectangle and its text passed through
    // translate (unchanged without one). Returns the number of controls made.
    static int build(QWidget* parent, std::span<const SCtrlLayout> table, const Translator& translate = {});
    // Sets the texts of the controls build made from table again, through
    // translate: labels, buttons, group boxes and combo items (by position).
    // Edits keep their values; placeholders are their owners' to fill.
    static void retranslate(QWidget* parent, std::span<const SCtrlLayout> table, const Translator& translate);
    // The tool tip of a push button from its untranslated text (empty: none),
    // set on each button build makes; the button keeps that text in its
    // "sourceText" property so the tip can follow a change of language.
    static void setButtonTips(Translator tips);
    static const Translator& buttonTips();
    // One control of a table row; null for a row it cannot make.
    static QWidget* createCtrl(QWidget* parent, const SCtrlLayout& row, const QString& text);
};
