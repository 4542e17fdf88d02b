// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/raportdlg.h>

#include <app/data/translate.h>
#include <app/platform/documentsdir.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <errkit/utf8.h>

#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString translated(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

} // namespace

CRaportDlg::CRaportDlg(CSessionReport report, QWidget* parent)
    : QDialog(parent)
    , m_report(std::move(report))
    , m_printer(new QPrinter(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("raportDlg"));
    setWindowTitle(translated(L"Raport dla klienta"));
    m_printer->setPageSize(QPageSize(QPageSize::A4));
    m_printer->setPageMargins(QMarginsF(), QPageLayout::Millimeter);
    m_preview = new QPrintPreviewWidget(m_printer, this);
    m_preview->setZoomMode(QPrintPreviewWidget::FitToWidth);
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* printer) { m_report.paint(*printer); });
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(translated(L"Zapisz PDF"), QDialogButtonBox::ActionRole);
    QPushButton* printButton = buttons->addButton(translated(L"Drukuj"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(translated(L"Zamknij"), QDialogButtonBox::RejectRole);
    save->setObjectName(QStringLiteral("savePdf"));
    printButton->setObjectName(QStringLiteral("print"));
    connect(save, &QPushButton::clicked, this, [this] { savePdf(); });
    connect(printButton, &QPushButton::clicked, this, [this] { print(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_preview, 1);
    column->addWidget(buttons);
    resize(900, 1000);
}

CRaportDlg::~CRaportDlg()
{
    delete m_preview;
    delete m_printer;
}

bool CRaportDlg::savePdf(const std::string& chosen)
{
    std::string path = chosen;
    if (path.empty()) {
        std::wstring name = m_report.car.m_registration.empty() ? m_report.devInfo.m_serial : m_report.car.m_registration;
        for (wchar_t& c : name)
            if (c == L'/' || c == L' ')
                c = L'_';
        path = userInteraction().chooseFile(true, translate(L"Zapisz PDF"), translate(L"Dokument PDF (*.pdf)"),
            documentsDirectory(), toUtf8(translate(L"raport")) + "-" + toUtf8(name) + ".pdf");
    }
    if (path.empty())
        return false;
    if (m_report.writePdf(QString::fromStdString(path)))
        return true;
    userInteraction().message(translate(L"Nie można zapisać raportu:") + L" " + fromUtf8(path), L"KORVANA", MsgIcon::Error);
    return false;
}

void CRaportDlg::print()
{
    QPrintDialog dialog(m_printer, this);
    if (dialog.exec() == QDialog::Accepted)
        m_report.paint(*m_printer);
}
