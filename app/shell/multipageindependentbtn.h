// SPDX-License-Identifier: GPL-3.0-or-later
// A button of the main view's column that acts on its own instead of showing
// a page: a left press runs onClick() and a left double click onDblClick(),
// each after the button's usual handling. The view hands it the document and
// the device it acts on.
#pragma once

#include <app/shell/pagecontext.h>

#include <gradctrls/multipage/gdipmultipagegradientbutton.h>

#include <optional>

class CMultiPageIndependentBtn : public CGDIpMultiPageGradientButton {
    Q_OBJECT
public:
    explicit CMultiPageIndependentBtn(std::optional<CPageContext> context = std::nullopt)
        : m_context(context)
    {
    }
    const std::optional<CPageContext>& context() const { return m_context; }

    virtual void onClick() { }
    virtual void onDblClick() { }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    std::optional<CPageContext> m_context;
};
