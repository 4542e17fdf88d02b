// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/skindlg.h>

#include <basectrls/ctrlid.h>
#include <gradctrls/dialogs/gdippalette.h>
#include <gradctrls/dialogs/gdipstatic.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

CSkinDlg::CSkinDlg(int resourceId, QWidget* parent)
    : CGDIpGradientDialog(resourceId, parent)
    , m_font(QStringLiteral("DejaVu Sans"), 9)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setGradientColors(QColor(0xee, 0xf1, 0xf4), QColor(0xc8, 0xcf, 0xd7));
    setContainerFont(&m_font);
    setModal(true);
}

CSkinDlg::~CSkinDlg() = default;

void CSkinDlg::setSkinTitle(const QString& title)
{
    m_title = title;
    setWindowTitle(title);
    if (m_titleStatic)
        m_titleStatic->setText(title);
}

bool CSkinDlg::OnInitDialog()
{
    m_titleStatic = new CGDIpStatic(this);
    setCtrlId(m_titleStatic, kTitleId);
    m_titleStatic->setAlignment(Qt::AlignCenter);
    m_titleStatic->setTransparent(false);
    m_titleStatic->setGradientColors(GradPalette::panelTop(), GradPalette::backdropTop());
    m_titleStatic->setTextColor(GradPalette::buttonText());
    m_titleStatic->setText(m_title);
    m_titleStatic->setGeometry(0, 0, width(), kTitleHeight);
    m_titleStatic->setCursor(Qt::SizeAllCursor);
    m_titleStatic->installEventFilter(this);
    m_titleStatic->show();
    return CGDIpGradientDialog::OnInitDialog();
}

void CSkinDlg::recalcControls()
{
    CGDIpGradientDialog::recalcControls();
    if (m_titleStatic) {
        QFont bold = m_titleStatic->font();
        bold.setBold(true);
        m_titleStatic->setFont(bold);
    }
}

void CSkinDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::NoModifier && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        onDefaultButton();
        return;
    }
    CGDIpGradientDialog::keyPressEvent(event);
}

bool CSkinDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_titleStatic)
        return CGDIpGradientDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        // As if the system caption had been pressed.
        if (windowHandle() && windowHandle()->startSystemMove())
            return true;
        m_dragging = true;
        m_dragOffset = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
        return true;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_dragging && (mouse->buttons() & Qt::LeftButton)) {
            move(mouse->globalPosition().toPoint() - m_dragOffset);
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        break;
    default:
        break;
    }
    return CGDIpGradientDialog::eventFilter(watched, event);
}
