// Following the manager's window list as windows come and go, and what requests to windows cost:
// counted in bytes sent to the X server (how many windows were read) and in waits for it.
#include "Support/ActivationRequests.h"
#include "Support/X11DesktopTest.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <limits>

namespace {

using X11WindowListTest = X11DesktopTest;

quint64 tripsOf(const std::function<void()>& work) {
    const quint64 before = X11Connection::roundTrips();
    work();
    return X11Connection::roundTrips() - before;
}

TEST_F(X11WindowListTest, AChangeOfTheListReadsOnlyTheWindowsThatCame) {
    constexpr int count = 12;
    const qint32 many = start(testWindowProgram(), {QStringLiteral("--count"), QString::number(count)});
    waitForWindows(many, count);
    QCoreApplication::processEvents();
    xcb_connection_t* c = connection->xcb();
    const auto sentBy = [c](const std::function<void()>& work) {
        const quint64 before = xcb_total_written(c);
        work();
        return xcb_total_written(c) - before;
    };
    windows->listedClients();
    // What one fresh read of every window sends, for scale.
    windows->invalidate();
    const quint64 everyWindow = sentBy([&] { windows->clients(); });
    ASSERT_GT(everyWindow, 0u);

    const qint32 one = start(testWindowProgram(), {QStringLiteral("--caption"), QStringLiteral("Newcomer")});
    const xcb_window_t newcomer = waitForWindows(one).value(0).window;
    QCoreApplication::processEvents();
    QList<X11Client> listed;
    const quint64 sent = sentBy([&] { listed = windows->listedClients(); });
    const auto has = [&listed](xcb_window_t w) {
        return std::any_of(listed.cbegin(), listed.cend(), [w](const X11Client& c) { return c.window == w; });
    };
    EXPECT_TRUE(has(newcomer));
    EXPECT_EQ(
        std::count_if(listed.cbegin(), listed.cend(), [many](const X11Client& c) { return c.pid == many; }),
        count);
    // The list and the newcomer: far less than reading the twelve others again.
    EXPECT_LT(sent * 4, everyWindow);

    // A window that went leaves the list without the others being read again.
    ::kill(one, SIGTERM);
    EXPECT_TRUE(waitUntil([&] {
        listed = windows->listedClients();
        return !has(newcomer);
    }));

    // A window listed before it named its class is read again once it has.
    xcb_connection_t* own = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(own)).data;
    const xcb_window_t late = xcb_generate_id(own);
    xcb_create_window(own, XCB_COPY_FROM_PARENT, late, screen->root, 0, 0, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(own, late);
    xcb_flush(own);
    const auto classOfLate = [&]() -> std::optional<QString> {
        for (const X11Client& c : windows->listedClients()) {
            if (c.window == late) {
                return c.wmClass;
            }
        }
        return std::nullopt;
    };
    EXPECT_TRUE(waitUntil([&] { return classOfLate().has_value(); }));
    EXPECT_EQ(classOfLate(), QString());
    static const char lateClass[] = "late\0Late";
    xcb_change_property(own, XCB_PROP_MODE_REPLACE, late, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof(lateClass), lateClass);
    xcb_flush(own);
    EXPECT_TRUE(waitUntil([&] { return classOfLate() == QStringLiteral("Late"); }));
    xcb_disconnect(own);
}

TEST_F(X11WindowListTest, AStepReadsOnlyTheApplicationItAsksForAndTheDesktopInOneWait) {
    // A restore that restacks its applications one by one, with a pause after each, asks for one
    // application's windows per pass: they are read alone, and as they are now.
    constexpr int count = 12;
    const qint32 many = start(testWindowProgram(), {QStringLiteral("--count"), QString::number(count)});
    waitForWindows(many, count);
    // Another program: an application of its own.
    const qint32 one = start(QStringLiteral("xcalc"));
    const xcb_window_t alone = waitForWindows(one).value(0).window;
    xcb_connection_t* c = connection->xcb();
    const auto sentBy = [c](const std::function<void()>& work) {
        const quint64 before = xcb_total_written(c);
        work();
        return xcb_total_written(c) - before;
    };
    // The least of three tries: a stall of the machine may end a pass amid a read.
    const auto least = [](const std::function<quint64()>& measure) {
        quint64 result = std::numeric_limits<quint64>::max();
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            result = std::min(result, measure());
        }
        return result;
    };
    // The whole desktop, read afresh: the list and the windows it held last time in one wait.
    QCoreApplication::processEvents();
    const quint64 everyWindow = sentBy([&] { windows->clients(); });
    EXPECT_EQ(least([&] { return tripsOf([&] { windows->clients(); }); }), 1u);

    // Minimised behind the ports' back: the next pass sees it.
    connection->sendRootMessage(alone, connection->atom("WM_CHANGE_STATE"), {3, 0, 0, 0, 0});
    ASSERT_TRUE(waitUntil([&] {
        const auto state = connection->property(alone, connection->atom("WM_STATE"));
        return !state.value_or(X11Connection::Property()).items().isEmpty() && state->items().first() == 3;
    }));
    QCoreApplication::processEvents();
    const QList<X11Client> own = applications->windowsOf(one);
    ASSERT_EQ(own.size(), 1);
    EXPECT_EQ(own.first().window, alone);
    EXPECT_TRUE(own.first().minimized);
    EXPECT_LT(least([&] { return sentBy([&] { applications->windowsOf(one); }); }) * 4, everyWindow);
    EXPECT_EQ(least([&] { return tripsOf([&] { applications->windowsOf(one); }); }), 1u);

    // A second application in the same pass: the desktop is read once for the rest of it.
    const QList<X11Client> others = applications->windowsOf(many);
    EXPECT_EQ(others.size(), count);
    QList<X11Client> stacked = windows->stackedClients();
    stacked.removeIf([many](const X11Client& w) { return w.pid != many; });
    ASSERT_EQ(stacked.size(), others.size());
    for (qsizetype i = 0; i < others.size(); ++i) {
        EXPECT_EQ(others[i].window, stacked[i].window) << "front to back at " << i;
    }

    // Windows asked for together, then read one by one as a step that waits for many does: one
    // wait in all, not one a window.
    QList<AXElement> elements;
    for (const X11Client& w : others) {
        elements.append(AXElement{w.window});
    }
    const auto readBack = [&] {
        windows->invalidate();
        accessibility->readTogether(elements);
        for (const AXElement& e : elements) {
            accessibility->copyAttributeValue(e, QStringLiteral("AXPosition"));
            accessibility->copyAttributeValue(e, QStringLiteral("AXMinimized"));
        }
    };
    EXPECT_EQ(least([&] { return tripsOf(readBack); }), 1u);
}

TEST_F(X11WindowListTest, ApplicationsAreAnnouncedOnceAsTheirWindowsComeAndGo) {
    QSignalSpy launched(applications.get(), &RunningApplications::applicationLaunched);
    QSignalSpy terminated(applications.get(), &RunningApplications::applicationTerminated);
    const qint32 pid = start(testWindowProgram(), {QStringLiteral("--count"), QStringLiteral("6")});
    waitForWindows(pid, 6);
    EXPECT_TRUE(waitUntil([&] { return launched.size() >= 1; }));
    QCoreApplication::processEvents();
    ASSERT_EQ(launched.size(), 1);
    EXPECT_EQ(launched.first().first().toInt(), pid);

    ::kill(pid, SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return terminated.size() >= 1; }));
    EXPECT_EQ(terminated.first().first().toInt(), pid);
    EXPECT_EQ(launched.size(), 1);
}

TEST_F(X11WindowListTest, RequestsAfterARequestNeedNoNewReadButTheReadBackDoes) {
    const qint32 pid = start(testWindowProgram(), {QStringLiteral("--count"), QStringLiteral("3")});
    const QList<X11Client> three = waitForWindows(pid, 3);
    ASSERT_EQ(three.size(), 3);
    const xcb_window_t window = three.first().window;
    // Windows raised back to back under a manager that takes raises (openbox) ask nothing of the
    // server: none is activated, which would ask the server's time (the least of three tries: a
    // stall of the machine may end a pass amid the raises).
    quint64 raises = std::numeric_limits<quint64>::max();
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        windows->clients();
        raises =
            std::min(raises, tripsOf([&] {
                         for (const X11Client& w : three) {
                             accessibility->performAction(AXElement{w.window}, QStringLiteral("AXRaise"));
                         }
                     }));
    }
    EXPECT_EQ(raises, 0u);
    QCoreApplication::processEvents();
    const AXElement element{window};
    ASSERT_TRUE(windows->client(window));
    const QRectF target(QPointF(axFrame(window)->topLeft() + QPointF(41, 17)), QSizeF(420, 330));

    // Raised, moved and resized in one go, as a restore places a window: no wait for the server.
    struct Step {
        const char* what;
        std::function<int()> request;
        quint64 trips = 0;
    };
    const QList<Step> steps{
        {"raise", [&] { return accessibility->performAction(element, QStringLiteral("AXRaise")); }},
        {"move",
         [&] {
             return accessibility->setAttributeValue(element, QStringLiteral("AXPosition"),
                                                     AXValue::point(target.topLeft()));
         }},
        {"resize",
         [&] {
             return accessibility->setAttributeValue(element, QStringLiteral("AXSize"),
                                                     AXValue::size(target.size()));
         }},
    };
    for (const Step& step : steps) {
        int error = -1;
        EXPECT_EQ(tripsOf([&] { error = step.request(); }), step.trips) << step.what;
        EXPECT_EQ(error, 0) << step.what;
    }
    // What the manager made of them is read from the server.
    EXPECT_GT(tripsOf([&] { windows->client(window); }), 0u);
    EXPECT_TRUE(waitUntil([&] { return axFrame(window) == target; }));

    // A raise right behind an activation of the same window asks for no second activation, a
    // minimised window is raised without one (which would show it), and so is a shown one where
    // the manager takes raises.
    const xcb_window_t second = three[1].window;
    const xcb_window_t third = three[2].window;
    ASSERT_TRUE(windows->minimize(third));
    ASSERT_TRUE(waitUntil([&] { return windows->client(third).value_or(X11Client()).minimized; }));
    ActivationRequests asked;
    QCoreApplication::processEvents();
    windows->activate(second);
    windows->raise(second);
    windows->raise(third);
    windows->raise(window);
    std::free(xcb_get_input_focus_reply(connection->xcb(), xcb_get_input_focus(connection->xcb()), nullptr));
    EXPECT_EQ(asked.windows(), QList<xcb_window_t>{second});

    // A minimised window that asked for attention itself keeps the mark when it is raised: only a
    // mark the raise caused is taken away.
    const auto askState = [&](const char* state) {
        connection->sendRootMessage(third, connection->atom("_NET_WM_STATE"),
                                    {1, connection->atom(state), 0, 1, 0});
        connection->flush();
    };
    const auto thirdNow = [&] {
        QCoreApplication::processEvents();
        return windows->client(third).value_or(X11Client());
    };
    askState("_NET_WM_STATE_DEMANDS_ATTENTION");
    ASSERT_TRUE(waitUntil([&] { return thirdNow().demandsAttention; }));
    windows->raise(third);
    // The manager takes requests in the order sent: once this one shows, the raise's were taken.
    askState("_NET_WM_STATE_ABOVE");
    ASSERT_TRUE(waitUntil([&] { return thirdNow().above; }));
    EXPECT_TRUE(thirdNow().demandsAttention);

    // A window that is gone takes no request, whatever was kept of it.
    QCoreApplication::processEvents();
    ASSERT_TRUE(windows->client(window));
    ASSERT_TRUE(windows->minimize(window));
    EXPECT_TRUE(windows->clientForRequest(window)->minimized);
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(waitUntil([&] {
        return accessibility->setAttributeValue(element, QStringLiteral("AXPosition"),
                                                AXValue::point(QPointF(10, 10))) != 0;
    }));
}

} // namespace
