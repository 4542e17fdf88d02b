// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/displays/gdipinjectorstatedisplay.h>

#include <basectrls/ctrlid.h>
#include <gradctrls/dialogs/gdipstatic.h>
#include <gradctrls/displays/gdipgaugedisplay.h>

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

void copyText(CGDIpStatic* to, const CGDIpStatic* from)
{
    if (to && from)
        to->copyLook(*from);
}

} // namespace

CGDIpInjectorStateDisplay::CGDIpInjectorStateDisplay() = default;
CGDIpInjectorStateDisplay::~CGDIpInjectorStateDisplay() = default;

CGDIpInjectorStateDisplay& CGDIpInjectorStateDisplay::operator=(const CGDIpInjectorStateDisplay& other)
{
    if (this == &other)
        return *this;
    setGradientColors(other.gradientFrom(), other.gradientTo());
    setGradientVertical(other.gradientVertical());
    setFont(other.font());
    copyText(m_titleText, other.m_titleText);
    copyText(m_valueText, other.m_valueText);
    m_state = other.m_state;
    m_picturesSet = other.m_picturesSet;
    std::copy(std::begin(other.m_pictures), std::end(other.m_pictures), std::begin(m_pictures));
    m_workingState = -1;
    Invalidate();
    return *this;
}

QRect CGDIpInjectorStateDisplay::pictureRect(const QRect& title, const QSize& source)
{
    const int d = title.height();
    if (d <= 0 || source.width() <= 0 || source.height() <= 0)
        return title;
    const int k = std::max(1, static_cast<int>(std::ceil(static_cast<double>(std::min(source.width(), source.height())) / d)));
    const QSize picture(source.width() / k, source.height() / k);
    const int left = title.left() + title.width() + d / 2;
    const int top = title.top() + (d - picture.height()) / 2;
    return QRect(QPoint(left, top), picture);
}

std::wstring CGDIpInjectorStateDisplay::getPath()
{
    return CGDIpGaugeDisplay::getPath();
}

void CGDIpInjectorStateDisplay::setInternalImages(CImageObject* image0, CImageObject* image1, CImageObject* image2)
{
    m_pictures[0] = image0;
    m_pictures[1] = image1;
    m_pictures[2] = image2;
    m_picturesSet = true;
    m_workingState = -1;
    Invalidate();
}

void CGDIpInjectorStateDisplay::Invalidate(int /*erase*/)
{
    const QRect before = m_pictureRect;
    v_recalcData(rect());
    update(before.united(m_pictureRect));
}

void CGDIpInjectorStateDisplay::createSizableCtrls()
{
    const int w = width();
    const int h = height();
    auto make = [this, h](int id, const QString& text, int left, int right) {
        auto* label = new CGDIpStatic(this);
        setCtrlId(label, id);
        label->setText(text);
        label->setAlignment(Qt::AlignCenter);
        label->setShrinkToFit(true);
        label->setGeometry(QRect(QPoint(left, h / 20), QPoint(right, h - h / 10)).adjusted(0, 0, -1, -1));
        label->show();
        return label;
    };
    m_titleText = make(kTitleId, QStringLiteral("B1"), w / 10, w / 5);
    m_valueText = make(kValueId, QStringLiteral("8.56"), w / 2, w - w / 100);
}

void CGDIpInjectorStateDisplay::v_recalcData(const QRect& /*client*/)
{
    if (!m_titleText)
        return;
    const QRect title = m_titleText->geometry();
    // Texts sized to their boxes when no container font is handed down.
    if (!getContainerFont() && title.height() > 0) {
        for (CGDIpStatic* label : {m_titleText, m_valueText}) {
            QFont f = label->font();
            f.setPixelSize(std::max(6, static_cast<int>(label->height() * 0.62)));
            f.setBold(label == m_valueText);
            label->setFont(f);
        }
    }
    m_pictureRect = title;
    const int state = std::clamp(m_state, 0, 2);
    CImageObject* source = m_pictures[state];
    if (!m_picturesSet || title.height() <= 0 || !source || !source->IsLoaded()) {
        m_working.clear();
        m_workingState = -1;
        return;
    }
    m_pictureRect = pictureRect(title, QSize(source->GetWidth(), source->GetHeight()));
    // Reduce only when the state or the size changed; a state change that keeps
    // the size (every panel refresh) costs one reduction, a repaint none.
    const double ratio = std::max(1.0, devicePixelRatioF());
    const QSize device(static_cast<int>(m_pictureRect.width() * ratio), static_cast<int>(m_pictureRect.height() * ratio));
    if (state == m_workingState && device == m_workingSize && m_working.IsLoaded())
        return;
    m_working = *source;
    m_working.downSampling(std::min(device.width(), source->GetWidth()), std::min(device.height(), source->GetHeight()));
    m_workingState = state;
    m_workingSize = device;
}

void CGDIpInjectorStateDisplay::paintEvent(QPaintEvent* event)
{
    CGDIpTransparentCompCtrl::paintEvent(event);
    if (m_working.IsLoaded() == 0)
        return;
    QPainter painter(this);
    m_working.alphaBlend(&painter, m_pictureRect.x(), m_pictureRect.y(), m_pictureRect.width(), m_pictureRect.height());
}
