// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/framegeometry.h>

#include <cmath>

namespace FrameGeometry {

SFrameSize enforceMinimum(SFrameSize window)
{
    if (window.width < kMinWidthTrigger)
        window.width = kMinWidthResult;
    if (window.height < kMinHeight)
        window.height = kMinHeight;
    return window;
}

int captionFontHeight(int clientWidth, int clientHeight)
{
    if (clientWidth <= 0 || clientHeight <= 0)
        return 0;
    const double area = static_cast<double>(clientWidth) * static_cast<double>(clientHeight);
    return static_cast<int>(-std::sqrt(area) / 60.0);
}

int captionHeight(int fontHeight)
{
    return -2 * fontHeight;
}

int viewFontHeight(int clientHeight)
{
    return -(clientHeight / 60);
}

} // namespace FrameGeometry
