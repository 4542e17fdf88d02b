// SPDX-License-Identifier: GPL-3.0-or-later
// The curve edits shared by the pages and automapping, on each of the three
// curves: values truncated to whole percent, a shift kept within ±50, a clear,
// and nothing changed without a controller.
#include <app/device/lpgdevice.h>
#include <app/tuning/correctioncurve.h>

#include "scriptedinteraction.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CorrectionCurve, EditsEachCurveWithinItsLimits)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    for (const CCurveTable* table :
        { &correctioncurve::automapping(), &correctioncurve::temperature(), &correctioncurve::pressure() }) {
        SCOPED_TRACE(table->block);
        CLPGDevice device;
        device.session().startDemoMode();
        const std::span<double> values = table->values(device.liveImage());
        ASSERT_GE(values.size(), 3u);

        std::vector<double> typed(values.size(), 0.0);
        typed[0] = 49.7;
        typed[1] = -12.9;
        typed[2] = -50;
        ASSERT_TRUE(correctioncurve::write(device, *table, typed));
        EXPECT_EQ(values[0], 49);
        EXPECT_EQ(values[1], -12);

        ASSERT_TRUE(correctioncurve::shift(device, *table, 2));
        EXPECT_EQ(values[0], 50) << "kept at the limit";
        EXPECT_EQ(values[1], -10);
        EXPECT_EQ(values[2], -48);
        ASSERT_TRUE(correctioncurve::shift(device, *table, -3));
        EXPECT_EQ(values[2], -50);

        // Without a controller nothing changes.
        device.session().runWithoutConnection();
        EXPECT_FALSE(correctioncurve::clear(device, *table));
        EXPECT_EQ(values[0], 47);
        EXPECT_FALSE(correctioncurve::shift(device, *table, 1));
        EXPECT_EQ(values[1], -13);
        EXPECT_TRUE(ui.shown().empty());
    }
}
