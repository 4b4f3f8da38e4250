#include "Support/X11DesktopTest.h"

#include "Platform/Linux/Edid.h"

#include <xcb/randr.h>

#include <qcoro/qcorotask.h>

namespace {

// A 128-byte EDID block: maker "ORD", product 0x1234, serial number 42, and two text descriptors.
QByteArray edidBlock(const QByteArray& name, const QByteArray& serialText) {
    QByteArray block(128, '\0');
    block.replace(0, 8, QByteArray("\x00\xFF\xFF\xFF\xFF\xFF\xFF\x00", 8));
    const quint16 maker = quint16(('O' - 'A' + 1) << 10 | ('R' - 'A' + 1) << 5 | ('D' - 'A' + 1));
    block[8] = char(maker >> 8);
    block[9] = char(maker & 0xFF);
    block[10] = 0x34;
    block[11] = 0x12;
    block[12] = 42;
    const auto descriptor = [&block](int offset, char tag, const QByteArray& text) {
        block[offset + 3] = tag;
        QByteArray field = text.left(13) + '\n';
        field = field.leftJustified(13, ' ', true);
        block.replace(offset + 5, 13, field);
    };
    descriptor(54, char(0xFC), name);
    descriptor(72, char(0xFF), serialText);
    char sum = 0;
    for (int i = 0; i < 127; ++i) {
        sum = char(sum + block[i]);
    }
    block[127] = char(-sum);
    return block;
}

TEST(EdidTest, ReadsTheIdentifyingFields) {
    const std::optional<Edid> edid = Edid::parse(edidBlock("Ordella View", "SN-0042"));
    ASSERT_TRUE(edid);
    EXPECT_EQ(edid->manufacturer, QStringLiteral("ORD"));
    EXPECT_EQ(edid->productCode, 0x1234);
    EXPECT_EQ(edid->serialNumber, 42u);
    EXPECT_EQ(edid->displayName, QStringLiteral("Ordella View"));
    EXPECT_EQ(edid->serialText, QStringLiteral("SN-0042"));
    // Control characters from a broken block never reach a name.
    EXPECT_EQ(Edid::parse(edidBlock("Bad\x07Name", ""))->displayName, QStringLiteral("BadName"));

    for (const QByteArray& bytes : {QByteArray(), edidBlock("x", "y").left(127), QByteArray(128, '\xFF')}) {
        EXPECT_FALSE(Edid::parse(bytes)) << bytes.size();
    }
}

TEST(LinuxScreensAreaTest, StrutsCutTheMonitorTheyReach) {
    const QSize root(3840, 1080);
    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1920, 1080);
    // left, right, top, bottom, then the start and end of each edge's span.
    const QList<quint32> bottomPanelOnRight{0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 1920, 3839};
    const QList<quint32> topBarEverywhere{0, 0, 30, 0, 0, 0, 0, 0, 0, 3839, 0, 0};
    const QList<quint32> leftDock{64, 0, 0, 0, 0, 1079, 0, 0, 0, 0, 0, 0};
    const QList<quint32> coversAll{3840, 0, 0, 0, 0, 1079, 0, 0, 0, 0, 0, 0};
    const struct {
        QRect monitor;
        QList<QList<quint32>> struts;
        QRect expected;
    } rows[] = {
        {right, {bottomPanelOnRight}, QRect(1920, 0, 1920, 1040)},
        {left, {bottomPanelOnRight}, left},
        {left, {topBarEverywhere, leftDock}, QRect(64, 30, 1856, 1050)},
        {right, {leftDock}, right},
        {left, {coversAll}, left},
        {right, {{1, 2, 3}}, right},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(LinuxScreens::usableArea(row.monitor, row.struts, root), row.expected) << row.monitor.x();
    }
}

using LinuxScreensTest = X11DesktopTest;

TEST_F(LinuxScreensTest, MonitorsWithTheirIdentitiesFramesAndChanges) {
    int changes = 0;
    QObject::connect(screens.get(), &Screens::screensChanged, [&changes] { ++changes; });
    const quint32 output = monitors->monitors().value(0).outputs.value(0);
    ASSERT_NE(output, 0u);
    const QByteArray edid = edidBlock("Ordella View", "SN-0042");
    connection->discard(xcb_randr_change_output_property_checked(
        connection->xcb(), output, connection->atom("EDID"), XCB_ATOM_INTEGER, 8, XCB_PROP_MODE_REPLACE,
        edid.size(), edid.constData()));
    xrandr({"--setmonitor", "LEFT", "1920/508x1080/286+0+0", "screen"});
    xrandr({"--setmonitor", "*RIGHT", "1920/508x1080/286+1920+0", "none"});
    ASSERT_TRUE(waitUntil([&] { return screens->screens().size() == 2 && changes > 0; }));

    // The primary monitor comes first, and its top-left corner is the origin of every frame.
    const QList<Screen> list = screens->screens();
    EXPECT_EQ(list[0].localizedName, QStringLiteral("RIGHT"));
    EXPECT_EQ(list[0].frame, QRectF(0, 0, 1920, 1080));
    EXPECT_EQ(list[1].localizedName, QStringLiteral("Ordella View"));
    EXPECT_EQ(list[1].frame, QRectF(-1920, 0, 1920, 1080));
    X11Monitor right;
    right.name = QStringLiteral("RIGHT");
    EXPECT_EQ(list[0].identity, LinuxScreens::identityOf(right, std::nullopt));
    EXPECT_EQ(list[1].identity, LinuxScreens::identityOf(X11Monitor(), Edid::parse(edid)));
    EXPECT_TRUE(list[0].displayNumber && list[1].displayNumber);

    // A window put at x = -1900 lands on the left monitor, which becomes the main screen.
    const qint32 pid = start(testWindowProgram());
    const X11Client window = waitForWindows(pid).value(0);
    accessibility->setAttributeValue(AXElement{window.window}, QStringLiteral("AXPosition"),
                                     AXValue::point({-1900, 100}));
    accessibility->setAttributeValue(AXElement{window.window}, QStringLiteral("AXFocused"),
                                     AXValue::boolean(true));
    EXPECT_TRUE(waitUntil([&] {
        return windows->client(window.window).value_or(X11Client()).frameRect().topLeft() ==
                   QPoint(20, 100) &&
               screens->mainScreen().value_or(Screen()).localizedName == QLatin1String("Ordella View");
    }));

    // A panel reserving the bottom of the right monitor takes it from that monitor only.
    const std::array<quint32, 12> strut{0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 1920, 3839};
    connection->discard(xcb_change_property_checked(connection->xcb(), XCB_PROP_MODE_REPLACE, window.window,
                                                    connection->atom("_NET_WM_STRUT_PARTIAL"),
                                                    XCB_ATOM_CARDINAL, 32, 12, strut.data()));
    connection->flush();
    EXPECT_TRUE(waitUntil([&] {
        const QList<Screen> now = screens->screens();
        return now.size() == 2 && now[0].visibleFrame == QRectF(0, 40, 1920, 1040) &&
               now[1].visibleFrame == now[1].frame;
    }));

    // A monitor that goes away is announced, and the list follows.
    changes = 0;
    xrandr({"--delmonitor", "RIGHT"});
    EXPECT_TRUE(waitUntil([&] { return changes > 0 && screens->screens().size() == 1; }));
    EXPECT_EQ(screens->screens().value(0).frame, QRectF(0, 0, 1920, 1080));
}

} // namespace
