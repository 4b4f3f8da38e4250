#include "Services/Desktop/DisplayMapper.h"
#include "Support/ScriptedDesktop.h"

namespace {

const QString kLeft = "AAAAAAAA-0000-0000-0000-000000000001";
const QString kRight = "BBBBBBBB-0000-0000-0000-000000000002";
const QString kGone = "CCCCCCCC-0000-0000-0000-000000000003";

Screen screen(std::optional<quint32> number, const std::optional<QString>& identity, const QRectF& frame,
              const QString& name) {
    Screen s;
    s.displayNumber = number;
    if (identity) {
        s.identity = QUuid::fromString(*identity);
    }
    s.frame = frame;
    s.visibleFrame = QRectF(frame.x(), frame.y(), frame.width(), frame.height() - 25);
    s.localizedName = name;
    return s;
}

DisplaySnapshot saved(const QString& uuid, const QRectF& frame) {
    DisplaySnapshot d;
    d.uuid = uuid;
    d.frame = SnapshotRect{frame.x(), frame.y(), frame.width(), frame.height()};
    return d;
}

class DisplayMapperTest : public SimulatedDesktopFixture {
protected:
    // Left: 1440 x 900 at the origin (primary). Right: 1000 x 900 beside it, after a 560-point gap.
    DisplayMapperTest() {
        desktop().setScreens({screen(1, kLeft, QRectF(0, 0, 1440, 900), "Left"),
                              screen(2, kRight, QRectF(2000, 0, 1000, 900), "Right")},
                             1);
    }
    std::optional<QString> found(const std::optional<QString>& uuid, const QList<DisplaySnapshot>& displays,
                                 const std::optional<QRectF>& frame) {
        const auto s = DisplayMapper::findScreen(uuid, displays, frame);
        return s ? std::optional<QString>(s->localizedName) : std::nullopt;
    }
};

TEST_F(DisplayMapperTest, CaptureRecordsNumberedScreensWithTheirIdentity) {
    desktop().addScreen(screen(std::nullopt, kGone, QRectF(0, 900, 800, 600), "Unnumbered"));
    desktop().addScreen(screen(7, std::nullopt, QRectF(0, -600, 800, 600), "No identity"));
    const QList<DisplaySnapshot> displays = DisplayMapper::captureDisplays();
    ASSERT_EQ(displays.size(), 3);
    EXPECT_EQ(displays[0].displayID, 1u);
    EXPECT_EQ(displays[0].uuid, kLeft);
    EXPECT_EQ(displays[0].localizedName, "Left");
    EXPECT_EQ(displays[1].frame, (SnapshotRect{2000, 0, 1000, 900}));
    EXPECT_EQ(displays[2].displayID, 7u);
    EXPECT_EQ(displays[2].uuid, std::nullopt);
    EXPECT_NE(displays[0].id, displays[1].id);
    // Identities are written upper-case, whatever case the display services use.
    EXPECT_EQ(DisplayMapper::identityString(screen(3, kLeft.toLower(), QRectF(), QString())), kLeft);
}

TEST_F(DisplayMapperTest, FindScreenDecisionOrder) {
    const QList<DisplaySnapshot> displays = {saved(kRight, QRectF(-3000, 0, 1000, 900)),
                                             saved(kGone, QRectF(2100, 100, 800, 600))};
    const struct {
        const char* name;
        std::optional<QString> uuid;
        std::optional<QRectF> frame;
        std::optional<QString> expected;
    } cases[] = {
        // Identity before geometry: the saved display moved far away, its screen is still found.
        {"connected identity", kRight, QRectF(100, 100, 400, 300), "Right"},
        {"identity gone, nearest saved position", kGone, std::nullopt, "Right"},
        {"identity unknown everywhere", "DDDDDDDD-0000-0000-0000-000000000004", std::nullopt, "Right"},
        {"no identity, window on the left", std::nullopt, QRectF(100, 100, 400, 300), "Left"},
        {"no identity, window on the right", std::nullopt, QRectF(2100, 100, 400, 300), "Right"},
        // Centre (1700, 450) lies in the gap, 1000 from the left centre and 800 from the right one.
        {"no identity, centre in the gap", std::nullopt, QRectF(1500, 350, 400, 200), "Right"},
        {"no identity, centre on the right screen's left edge", std::nullopt, QRectF(1800, 100, 400, 300),
         "Right"},
        {"no identity, no frame", std::nullopt, std::nullopt, "Right"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(found(c.uuid, displays, c.frame), c.expected) << c.name;
    }
}

TEST_F(DisplayMapperTest, NearestScreenTieGoesToTheEarlierScreen) {
    desktop().setScreens({screen(1, kLeft, QRectF(0, 0, 1000, 1000), "Left"),
                          screen(2, kRight, QRectF(2000, 0, 1000, 1000), "Right")},
                         1);
    EXPECT_EQ(found(kGone, {saved(kGone, QRectF(1000, 0, 1000, 1000))}, std::nullopt), "Left");

    // Side by side, a window centred on the shared edge belongs to the screen on the right only.
    desktop().setScreens({screen(1, kLeft, QRectF(0, 0, 1000, 1000), "Left"),
                          screen(2, kRight, QRectF(1000, 0, 1000, 1000), "Right")});
    EXPECT_EQ(found(std::nullopt, {}, QRectF(800, 100, 400, 300)), "Right");

    desktop().setScreens({});
    EXPECT_EQ(found(kGone, {saved(kGone, QRectF(1000, 0, 1000, 1000))}, std::nullopt), std::nullopt);
    EXPECT_EQ(found(std::nullopt, {}, QRectF(0, 0, 10, 10)), std::nullopt);
    EXPECT_TRUE(DisplayMapper::captureDisplays().isEmpty());
}

TEST_F(DisplayMapperTest, ClampKeepsAHundredPointsVisible) {
    // The left screen's visible area, top-left based: (0, 25) to (1440, 900).
    const Screen left = desktop().screens().first();
    const struct {
        QRectF frame;
        QRectF expected;
    } cases[] = {
        {QRectF(0, 25, 3000, 2000), QRectF(0, 25, 1440, 875)},
        {QRectF(500, 25, 3000, 2000), QRectF(500, 25, 1440, 875)},
        {QRectF(-2000, 100, 800, 600), QRectF(0, 100, 800, 600)},
        {QRectF(1390, 100, 400, 300), QRectF(1040, 100, 400, 300)},
        {QRectF(100, 100, 400, 300), QRectF(100, 100, 400, 300)},
        {QRectF(10, 100, 50, 300), QRectF(0, 100, 50, 300)},
        // The right edge exactly 100 points into the area: not moved.
        {QRectF(-300, 100, 400, 300), QRectF(-300, 100, 400, 300)},
        {QRectF(100, 900, 400, 300), QRectF(100, 600, 400, 300)},
        {QRectF(100, -500, 400, 300), QRectF(100, 25, 400, 300)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DisplayMapper::clampToVisibleBounds(c.frame, left), c.expected)
            << c.frame.x() << "," << c.frame.y();
    }
    // Areas of other screens are flipped against the primary screen's height.
    const Screen right = desktop().screens().last();
    EXPECT_EQ(DisplayMapper::clampToVisibleBounds(QRectF(0, 0, 400, 300), right), QRectF(2000, 0, 400, 300));
}

TEST(DisplayMapperContainment, IsHalfOpen) {
    const QRectF r(0, 0, 100, 50);
    EXPECT_TRUE(DisplayMapper::containsPoint(r, QPointF(0, 0)));
    EXPECT_TRUE(DisplayMapper::containsPoint(r, QPointF(99.9, 49.9)));
    EXPECT_FALSE(DisplayMapper::containsPoint(r, QPointF(100, 10)));
    EXPECT_FALSE(DisplayMapper::containsPoint(r, QPointF(10, 50)));
    EXPECT_FALSE(DisplayMapper::containsPoint(r, QPointF(qQNaN(), 10)));
}

} // namespace
