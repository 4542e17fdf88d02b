// SPDX-License-Identifier: GPL-3.0-or-later
// The line a page shows while blocks of what it shows were not read from the
// controller now connected: "Nie odczytano ze sterownika: m_base, m_adv" and
// the button "Odczytaj ponownie", which reads those blocks again. Both are
// rows of the page's own table (addRows); the line hides itself when nothing
// is missing, and so whenever no controller is connected (the image is then
// the fitter's own to edit). The page's controls of an unread block show "—"
// and are disabled: the page asks unread() which.
#pragma once

#include <app/shell/pagecontext.h>
#include <gradctrls/layout/pagelayout.h>

#include <QObject>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QLabel;
class QWidget;

class CUnreadLine : public QObject {
    Q_OBJECT
public:
    static constexpr int kLabelId = 1990;
    static constexpr int kButtonId = 1991;
    static constexpr const wchar_t* kText = L"Nie odczytano ze sterownika:";
    static constexpr const wchar_t* kReadAgain = L"Odczytaj ponownie";
    static constexpr const wchar_t* kReadFailed = L"Nie powiodło się wczytanie ustawień urządzenia!";
    // What a control of an unread block shows.
    static constexpr const wchar_t* kNoValue = L"—";

    // The label and the button over width dialog units from x: the button on the right.
    static void addRows(std::vector<SCtrlLayout>& rows, int x, int y, int width, int height, int buttonWidth = 160);

    // blocks: what the page shows. refreshPage runs after a read, whatever it read.
    CUnreadLine(QWidget* page, const CPageContext& context, uint32_t blocks, std::function<void()> refreshPage);

    // After the page built its table: finds the rows and connects the button.
    void create();
    // The blocks of mask not read (none offline).
    uint32_t unread(uint32_t mask) const;
    uint32_t missing() const { return unread(m_blocks); }
    // Shows or hides the line for what is missing now; true when something is.
    bool refresh();
    void updateTexts();
    // Reads the missing blocks again under the document's operation, then refreshes the page.
    void readAgain();

    QLabel* label() const { return m_label; }
    QAbstractButton* button() const { return m_button; }
    // The line's whole text (the label may show it shortened, with the whole as its tool tip).
    QString text() const { return m_text; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitText();

    QWidget* m_page;
    CPageContext m_context;
    uint32_t m_blocks;
    std::function<void()> m_refreshPage;
    QLabel* m_label = nullptr;
    QAbstractButton* m_button = nullptr;
    QString m_text;
};
