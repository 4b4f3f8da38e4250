#include "Services/Coordination/DisplayMonitor.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/ScriptedDesktop.h"

#include <QUuid>

namespace {

using namespace std::chrono_literals;

Screen display(quint32 number, const QString& name, bool withIdentity = true) {
    Screen screen;
    screen.displayNumber = number;
    if (withIdentity) {
        screen.identity =
            QUuid::fromString(QStringLiteral("00000000-0000-0000-0000-%1").arg(number, 12, 10, QChar('0')));
    }
    screen.frame = QRectF(1920.0 * (number - 1), 0, 1920, 1080);
    screen.visibleFrame = screen.frame;
    screen.localizedName = name;
    return screen;
}

QString uuid(quint32 number) {
    return QStringLiteral("00000000-0000-0000-0000-%1").arg(number, 12, 10, QChar('0'));
}

class DisplayMonitorTest : public SimulatedDesktopFixture {
protected:
    DiagnosticsCapture printed;
    QStringList calls;
    std::unique_ptr<DisplayMonitor> monitor;

    void SetUp() override {
        desktop().addScreen(display(1, "Built-in"));
        monitor = std::make_unique<DisplayMonitor>(platform().screens, platform().clock);
        monitor->setOnDisplayConnected([this](const QString& id) { calls << "+" + id; });
        monitor->setOnDisplayDisconnected([this](const QString& id) { calls << "-" + id; });
    }
};

TEST_F(DisplayMonitorTest, ConnectedDisplaysListsScreensWithAnIdentityInOrder) {
    desktop().addScreen(display(2, "No identity", false));
    desktop().addScreen(display(3, "Studio"));
    EXPECT_EQ(DisplayMonitor::connectedDisplays(),
              (QList<DisplayMonitor::ConnectedDisplay>{{uuid(1), "Built-in"}, {uuid(3), "Studio"}}));
}

// Each call as "+N at S": display N connected (or "-" disconnected), reported at second S.
TEST_F(DisplayMonitorTest, ReportsOnceAfterTheConfigurationIsQuiet) {
    struct Case {
        const char* name;
        std::function<void(SimulatedDesktop&)> burst;
        QStringList expected;
    };
    const QList<Case> cases{
        {"unplugged and replugged within the quiet time",
         [](SimulatedDesktop& d) {
             d.removeScreenLater(1, 200ms);
             d.addScreenLater(display(1, "Built-in"), 1400ms);
         },
         {}},
        {"two displays in one burst",
         [](SimulatedDesktop& d) {
             d.addScreenLater(display(2, "Left"), 100ms);
             d.addScreenLater(display(3, "Right"), 1000ms);
         },
         {"+2 at 2.5", "+3 at 2.5"}},
        {"connected before disconnected",
         [](SimulatedDesktop& d) {
             d.removeScreenLater(1, 100ms);
             d.addScreenLater(display(4, "Projector"), 200ms);
         },
         {"+4 at 1.7", "-1 at 1.7"}},
        {"a change that changes nothing", [](SimulatedDesktop& d) { d.setScreens(d.screens()); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDesktop fresh;
        fresh.desktop().addScreen(display(1, "Built-in"));
        DisplayMonitor m(fresh.platform().screens, fresh.platform().clock);
        QStringList seen;
        const auto record = [&](const char* sign, const QString& id) {
            seen << sign + QString::number(id.right(2).toInt()) + " at " +
                        QString::number(fresh.clock().elapsed().count() / 1000.0);
        };
        m.setOnDisplayConnected([&](const QString& id) { record("+", id); });
        m.setOnDisplayDisconnected([&](const QString& id) { record("-", id); });
        c.burst(fresh.desktop());
        fresh.clock().advanceBy(10s);
        EXPECT_EQ(seen, c.expected);
    }
}

TEST_F(DisplayMonitorTest, EveryChangeRestartsTheQuietTimeAndPrintsItsLines) {
    desktop().addScreen(display(2, "Left"));
    clock().advanceBy(1400ms);
    desktop().setScreens(desktop().screens());
    clock().advanceBy(1400ms);
    EXPECT_TRUE(calls.isEmpty());
    clock().advanceBy(100ms);
    EXPECT_EQ(calls, QStringList{"+" + uuid(2)});
    EXPECT_EQ(printed.lines(),
              (QStringList{"[DisplayMonitor] Screen change detected. connected=[\"" + uuid(2) +
                               "\"], disconnected=[], pending flush in 1.5s",
                           "[DisplayMonitor] Screen change detected. connected=[], disconnected=[], pending "
                           "flush in 1.5s",
                           "[DisplayMonitor] Flushing debounced changes: connected=[\"" + uuid(2) +
                               "\"], disconnected=[]"}));
}

TEST_F(DisplayMonitorTest, AReportDueAfterTheMonitorIsGoneDoesNothing) {
    desktop().addScreen(display(2, "Left"));
    monitor.reset();
    clock().advanceBy(5s);
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_EQ(clock().pendingCount(), 0);
}

} // namespace
