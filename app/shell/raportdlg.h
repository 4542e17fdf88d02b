// SPDX-License-Identifier: GPL-3.0-or-later
// "Raport dla klienta…": the report's pages in a preview, with "Zapisz PDF" and "Drukuj".
#pragma once

#include <app/shell/sessionreport.h>

#include <QDialog>

class QPrintPreviewWidget;
class QPrinter;

class CRaportDlg : public QDialog {
    Q_OBJECT
public:
    explicit CRaportDlg(CSessionReport report, QWidget* parent = nullptr);
    ~CRaportDlg() override;

    const CSessionReport& report() const { return m_report; }
    // "Zapisz PDF" to path (asked for when empty); false when not written.
    bool savePdf(const std::string& path = {});
    void print();

private:
    CSessionReport m_report;
    QPrinter* m_printer;
    QPrintPreviewWidget* m_preview;
};
