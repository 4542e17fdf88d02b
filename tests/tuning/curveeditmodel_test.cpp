// SPDX-License-Identifier: GPL-3.0-or-later
// The curve editing rules: the limits of Up and Down, the bend between the
// neighbouring nodes, Delete and the arrows, Ctrl asking for the whole curve,
// clearing, node marks from the shape, the mouse pick radius, the live value.
#include <curvemodel/curveeditmodel.h>

#include <gtest/gtest.h>

#include <utility>

namespace {

CCurveEditModel temperatureCurve()
{
    return CCurveEditModel({ -20, -15, -10, -5, 0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 60, 70, 80, 90, 100 });
}

void moveTo(CCurveEditModel& m, std::size_t i)
{
    while (m.current() < i)
        m.key(CurveKey::Right, false);
}

} // namespace

TEST(CurveEditModel, UpAndDownStopAtTheLimits)
{
    CCurveEditModel m = temperatureCurve();
    std::vector<double> v(20, 0);
    v[5] = 49;
    v[6] = -49;
    m.setValues(v);
    moveTo(m, 5);
    EXPECT_EQ(m.key(CurveKey::Up, false), CCurveEditModel::Effect::CorrChanged);
    EXPECT_EQ(m.point(5).y, 50);
    EXPECT_EQ(m.key(CurveKey::Up, false), CCurveEditModel::Effect::None);
    EXPECT_EQ(m.point(5).y, 50);
    m = temperatureCurve();
    m.setValues(v);
    moveTo(m, 6);
    EXPECT_EQ(m.key(CurveKey::Down, false), CCurveEditModel::Effect::CorrChanged);
    EXPECT_EQ(m.point(6).y, -50);
    EXPECT_EQ(m.key(CurveKey::Down, false), CCurveEditModel::Effect::None);

    // A point between whole values (on a straight stretch) never passes the limit.
    std::vector<double> half(20, 0);
    half[19] = 49;
    m = temperatureCurve();
    m.setValues(half);
    moveTo(m, 19);
    m.key(CurveKey::Enter, false);
    m.key(CurveKey::Up, false); // 19 at 50: point 18 lies on the line from 0
    m.key(CurveKey::Left, false);
    for (int i = 0; i < 60; ++i)
        m.key(CurveKey::Up, false);
    EXPECT_EQ(m.point(18).y, 50);

    int step = 0;
    EXPECT_EQ(m.key(CurveKey::Up, true, &step), CCurveEditModel::Effect::IncrementAll);
    EXPECT_EQ(step, 1);
    EXPECT_EQ(m.key(CurveKey::Down, true, &step), CCurveEditModel::Effect::IncrementAll);
    EXPECT_EQ(step, -1);
}

TEST(CurveEditModel, RaisingBendsOnlyBetweenTheNeighbouringNodes)
{
    CCurveEditModel m = temperatureCurve(); // straight at 0
    moveTo(m, 4);
    m.key(CurveKey::Enter, false); // fixed node at 4 (0 °C)
    moveTo(m, 12);
    m.key(CurveKey::Enter, false); // fixed node at 12 (40 °C)
    for (int i = 0; i < 8; ++i)
        m.key(CurveKey::Left, false); // back to 4; the points passed lose the mark
    m.key(CurveKey::Right, false);
    m.key(CurveKey::Right, false);
    m.key(CurveKey::Right, false);
    m.key(CurveKey::Right, false); // 8 (20 °C), the only non-fixed node
    ASSERT_EQ(m.current(), 8u);
    for (int i = 0; i < 8; ++i)
        m.key(CurveKey::Up, false);
    EXPECT_EQ(m.point(8).y, 8);
    EXPECT_EQ(m.point(6).y, 4) << "halfway between the node at 4 and the raised point";
    EXPECT_EQ(m.point(10).y, 4);
    for (std::size_t i : { 0u, 1u, 3u, 4u, 12u, 13u, 19u })
        EXPECT_EQ(m.point(i).y, 0) << "point " << i << " is outside the stretch";
    EXPECT_FALSE(m.point(7).node);
}

TEST(CurveEditModel, DeleteArrowsAndClear)
{
    CCurveEditModel m = temperatureCurve();
    EXPECT_EQ(m.key(CurveKey::Delete, false), CCurveEditModel::Effect::None) << "first point";
    EXPECT_TRUE(m.point(0).node);
    moveTo(m, 19);
    EXPECT_EQ(m.key(CurveKey::Right, false), CCurveEditModel::Effect::None);
    EXPECT_EQ(m.key(CurveKey::Delete, false), CCurveEditModel::Effect::None) << "last point";
    EXPECT_TRUE(m.point(19).fixedNode);

    // A node at 14 with its neighbours at 0 and 19: Delete moves to the nearer.
    m = temperatureCurve();
    std::vector<double> v(20, 0);
    v[14] = 7;
    m.setValues(v);
    moveTo(m, 14);
    m.key(CurveKey::Enter, false);
    m.key(CurveKey::Delete, false);
    EXPECT_EQ(m.current(), 19u);
    EXPECT_FALSE(m.point(14).node);
    EXPECT_EQ(m.point(14).y, 7) << "Delete changes no value";

    moveTo(m, 19);
    m.clear();
    for (std::size_t i = 0; i < m.size(); ++i) {
        const bool end = i == 0 || i + 1 == m.size();
        EXPECT_EQ(m.point(i).node, end) << i;
        EXPECT_EQ(m.point(i).y, 0);
    }
}

TEST(CurveEditModel, ShapeNodesMouseAndLiveValue)
{
    CCurveEditModel m = temperatureCurve();
    std::vector<double> v(20, 0);
    v[5] = 10; // peak
    v[10] = 2;
    v[11] = 4;
    v[12] = 4; // bend: |4 − 2| vs |4 − 4|
    m.setValues(v);
    m.markShapeNodes();
    EXPECT_TRUE(m.point(5).fixedNode);
    EXPECT_TRUE(m.point(11).fixedNode);
    EXPECT_FALSE(m.point(8).node);

    // 20 px per point horizontally, y on a flat line.
    auto screen = [](const CCurveEditModel::Point& p) { return std::pair<int, int>(static_cast<int>(p.x * 4), 100); };
    EXPECT_FALSE(m.leftClick(0, 300, screen)) << "too far vertically";
    EXPECT_TRUE(m.leftClick(45, 130, screen)) << "the first node within 40 px: point 5 at x 20 (point 4 is 45 px away)";
    EXPECT_EQ(m.current(), 5u);
    EXPECT_TRUE(m.rightClick(-35, 100, screen)) << "point 0 at -80 is 45 px away, point 1 at -60 is near";
    EXPECT_EQ(m.current(), 1u);
    EXPECT_TRUE(m.point(1).fixedNode);

    EXPECT_DOUBLE_EQ(m.valueAt(2.5), 5) << "halfway up to the peak at 5 °C";
    EXPECT_DOUBLE_EQ(m.valueAt(-40), 0);
    EXPECT_DOUBLE_EQ(m.valueAt(500), 0);
}
