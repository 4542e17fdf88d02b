// SPDX-License-Identifier: GPL-3.0-or-later
// Size rules of the main frame that need no window: the minimum window size
// and the caption font, which follows the client area.
#pragma once

struct SFrameSize {
    int width = 0;
    int height = 0;
    bool operator==(const SFrameSize&) const = default;
};

namespace FrameGeometry {

// A window narrower than 760 px becomes 800 px wide (760 triggers, 800 is the
// result); one lower than 530 px becomes exactly 530 px high.
constexpr int kMinWidthTrigger = 760;
constexpr int kMinWidthResult = 800;
constexpr int kMinHeight = 530;
SFrameSize enforceMinimum(SFrameSize window);

// The caption font height for a client area of w x h: the integer part of
// -sqrt(w * h) / 60, a negative character height in pixels.
int captionFontHeight(int clientWidth, int clientHeight);
// The caption bar is twice as high as its font.
int captionHeight(int fontHeight);

// The view font height for a client height h: -floor(h / 60).
int viewFontHeight(int clientHeight);

} // namespace FrameGeometry
