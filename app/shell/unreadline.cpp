// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/unreadline.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingblocks.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/korvanadoc.h>
#include <basectrls/ctrlid.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>
#include <errkit/utf8.h>
#include <gradctrls/dialogs/gdipstatic.h>

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>

void CUnreadLine::addRows(std::vector<SCtrlLayout>& rows, int x, int y, int width, int height, int buttonWidth)
{
    rows.push_back({ kLabelId, ECtrlKind::Label, x, y, width - buttonWidth - 6, height, nullptr });
    rows.push_back({ kButtonId, ECtrlKind::PushButton, x + width - buttonWidth, y, buttonWidth, height, kReadAgain });
}

CUnreadLine::CUnreadLine(QWidget* page, const CPageContext& context, uint32_t blocks, std::function<void()> refreshPage)
    : QObject(page)
    , m_page(page)
    , m_context(context)
    , m_blocks(blocks)
    , m_refreshPage(std::move(refreshPage))
{
}

void CUnreadLine::create()
{
    m_label = qobject_cast<QLabel*>(findChildCtrl(m_page, kLabelId));
    m_button = qobject_cast<QAbstractButton*>(findChildCtrl(m_page, kButtonId));
    if (m_label) {
        // One line, shortened to its room: the whole list is the tool tip.
        m_label->setWordWrap(false);
        m_label->installEventFilter(this);
        // The warning's red: what follows on the page is not all the car's.
        if (auto* text = qobject_cast<CGDIpStatic*>(m_label))
            text->setTextColor(QColor(0xA0, 0x10, 0x10));
    }
    if (m_button)
        connect(m_button, &QAbstractButton::clicked, this, [this] { readAgain(); });
    updateTexts();
}

uint32_t CUnreadLine::unread(uint32_t mask) const
{
    return unreadBlocks(m_context.device, mask);
}

bool CUnreadLine::refresh()
{
    const uint32_t blocks = missing();
    m_text = blocks
        ? QString::fromStdWString(translate(kText) + L" " + m_context.device.readBlocks().missingNames(blocks))
        : QString();
    if (m_label) {
        m_label->setVisible(blocks != 0);
        fitText();
    }
    if (m_button)
        m_button->setVisible(blocks != 0);
    return blocks != 0;
}

void CUnreadLine::fitText()
{
    if (!m_label)
        return;
    const QFontMetrics metrics(m_label->font());
    const int room = m_label->contentsRect().width() - 2 * m_label->margin() - 2;
    QString shown = m_text;
    if (metrics.horizontalAdvance(shown) > room)
        shown = metrics.elidedText(m_text, Qt::ElideRight, room);
    m_label->setText(shown);
    m_label->setToolTip(shown == m_text ? QString() : m_text);
}

bool CUnreadLine::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_label && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange))
        fitText();
    return QObject::eventFilter(watched, event);
}

void CUnreadLine::updateTexts()
{
    if (m_button)
        m_button->setText(QString::fromStdWString(translate(kReadAgain)));
    refresh();
}

void CUnreadLine::readAgain()
{
    CLPGDevice& device = m_context.device;
    const uint32_t blocks = missing();
    if (!device.isConnected() || blocks == 0) {
        refresh();
        return;
    }
    m_context.doc.runOperation(
        L"Odczyt ustawień",
        [&] {
            CWaitCursor wait;
            try {
                for (CReadBlocks::Block block : blocksOf(blocks)) {
                    // A lost link ends the reads: every further one would wait as long.
                    if (!device.isConnected())
                        break;
                    const bool ok = device.readBlock(block);
                    logInfo("pages",
                        std::string("read again ") + (ok ? "" : "failed: ") + toUtf8(CReadBlocks::name(block)));
                }
            } catch (IError* e) {
                CErrorGuard error(e);
                logSwallowed("pages", "CUnreadLine::readAgain()", *error);
            }
        },
        m_page);
    if (device.isConnected() && missing() != 0)
        userInteraction().message(translate(kReadFailed), L"KORVANA", MsgIcon::Error);
    refresh();
    if (m_refreshPage)
        m_refreshPage();
}
