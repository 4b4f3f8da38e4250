#include "Services/Restore/StackingOrderRestorer.h"

#include "RestoreFixture.h"

namespace {

class StackingOrderRestorerTest : public RestoreFixture {
protected:
    void restack(const QList<AppSnapshot>& apps, const QHash<QString, QList<WindowSnapshot>>& remapped = {}) {
        run(StackingOrderRestorer::restoreZOrder(apps, remapped));
    }
    // The owners' names of the windows, front to back.
    QStringList stack() {
        QStringList names;
        for (quint32 number : desktop().stackingOrder()) {
            const SimulatedDesktop::Window* w = desktop().window(number);
            names << w->title.value_or(desktop().application(w->ownerPid)->name.value_or("?"));
        }
        return names;
    }
    QList<WindowSnapshot> titled(const QStringList& titles) {
        QList<WindowSnapshot> windows;
        for (int i = 0; i < titles.size(); ++i) {
            windows << savedWindow(QRectF(100 + 40 * i, 100, 600, 400), titles[i], i);
        }
        return windows;
    }
};

TEST_F(StackingOrderRestorerTest, RestacksFromTheBackAndRaisesWindowsByTitle) {
    const qint32 a =
        addApp("org.example.A", {QRectF(0, 30, 400, 300), QRectF(50, 60, 400, 300)}, {"Notes", "Mail"});
    addApp("org.example.B", {QRectF(0, 30, 400, 300)}, {"B"});
    addApp("org.example.C", {QRectF(0, 30, 400, 300)}, {"C"});
    desktop().setStackingOrder(
        {windowOf(desktop().findApplication("org.example.B")->pid), windowOf(a, 0), windowOf(a, 1)});
    restack({savedApp("org.example.A", titled({"Mail", "Notes"})), savedApp("org.example.B", titled({"B"})),
             savedApp("org.example.C", titled({"C"}))});
    EXPECT_EQ(stack(), QStringList({"Mail", "Notes", "B", "C"}));
    EXPECT_EQ(desktop().frontmostPid(), a);
    // Three activations of 50 ms; the raises go out back to back, none waits on its own. A ends
    // in front, so no final activation.
    EXPECT_EQ(elapsedMs(), 3 * 50);

    // An application that ignores its activation is activated once more at the end, its windows
    // staying in their order.
    desktop().application(a)->faults.ignoredActivations = 1;
    desktop().setStackingOrder(
        {windowOf(desktop().findApplication("org.example.B")->pid), windowOf(a, 0), windowOf(a, 1)});
    desktop().setFrontmost(desktop().findApplication("org.example.B")->pid);
    restack({savedApp("org.example.A", titled({"Mail", "Notes"})), savedApp("org.example.B", titled({"B"})),
             savedApp("org.example.C", titled({"C"}))});
    EXPECT_EQ(desktop().frontmostPid(), a);
    EXPECT_EQ(stack().mid(0, 2), QStringList({"Mail", "Notes"}));
}

TEST_F(StackingOrderRestorerTest, OnlyBringsTheFirstAppForwardWhenTheOrderStands) {
    const qint32 a = addApp("org.example.A", {QRectF(0, 30, 400, 300)}, {"A"});
    const qint32 b = addApp("org.example.B", {QRectF(0, 30, 400, 300)}, {"B"});
    const qint32 small = addApp("org.example.Small", {QRectF(0, 30, 150, 150)}, {"Small"});
    desktop().setStackingOrder({windowOf(small), windowOf(a), windowOf(b)});
    desktop().setFrontmost(b);
    // The small window and the hidden application take no part in the comparison.
    restack({savedApp("org.example.Hidden", {}, true), savedApp("org.example.A", titled({"A"})),
             savedApp("org.example.Small", titled({"Small"})), savedApp("org.example.B", titled({"B"}))});
    EXPECT_EQ(desktop().frontmostPid(), a);
    EXPECT_EQ(elapsedMs(), 0);

    restack({savedApp("org.example.A", {}, true)});
    EXPECT_EQ(desktop().frontmostPid(), a);
    EXPECT_EQ(elapsedMs(), 0);

    // An application whose windows are all kept minimised is not brought forward: on some
    // desktops that shows one of them.
    QList<WindowSnapshot> down = titled({"B"});
    down[0].isMinimized = true;
    restack({savedApp("org.example.B", down), savedApp("org.example.A", titled({"A"}))});
    EXPECT_EQ(desktop().frontmostPid(), a);
}

TEST_F(StackingOrderRestorerTest, RestacksTheWindowsOfAnAppOutOfOrderWhenAppsStandInTheirs) {
    // One terminal application with three windows at these frames, and another application; the
    // saved windows stand on the same frames (a restore put them there). live: the live titles;
    // stacking: the live windows front to back, by position; expected: the stacking afterwards.
    const QList<QRectF> frames{QRectF(0, 30, 400, 300), QRectF(450, 30, 400, 300), QRectF(900, 30, 400, 300)};
    const struct {
        const char* name;
        QStringList saved;
        QStringList live;
        QList<int> minimised; // saved minimised
        QList<int> liveMinimised;
        QList<int> stacking;
        QList<int> expected; // empty: nothing is raised
        // How long a busy manager takes for each raise.
        int raiseLagMs = 0;
        // Saved on, and now on, a virtual desktop not shown (the others: on the one shown).
        QList<int> away{};
        // The other application stands in front, so the applications are restacked too.
        bool otherInFront = false;
        // The terminal ignores its first activation: it is brought forward at the end.
        bool ignoresActivation = false;
    } cases[] = {
        {"a window opened anew came up in front",
         {"Build", "Logs", "Shell"},
         {"Build", "Logs", "Shell"},
         {},
         {},
         {2, 0, 1},
         {0, 1, 2}},
        {"the front window was started again under the program's own title (reversed)",
         {"Build", "Logs", "Shell"},
         {"xterm", "Logs", "Shell"},
         {},
         {},
         {2, 1, 0},
         {0, 1, 2}},
        {"the relaunched window stays below the others",
         {"Build", "Logs", "Shell"},
         {"xterm", "Logs", "Shell"},
         {},
         {},
         {1, 2, 0},
         {0, 1, 2}},
        {"two windows with one title are told by their frames",
         {"x-same", "Logs", "x-same"},
         {"x-same", "Logs", "x-same"},
         {},
         {},
         {2, 1, 0},
         {0, 1, 2}},
        {"already in order", {"Build", "Logs", "Shell"}, {"xterm", "Logs", "Shell"}, {}, {}, {0, 1, 2}, {}},
        // The saved title is borne by two live windows: the one on its frame is its window.
        {"a saved title two live windows bear pairs with the nearest",
         {"Build", "Logs", "Shell"},
         {"Shell", "Logs", "Shell"},
         {},
         {},
         {1, 0, 2},
         {0, 1, 2}},
        {"a minimised first saved window does not decide",
         {"Build", "Logs", "Shell"},
         {"Build", "Logs", "Shell"},
         {0},
         {},
         {1, 2, 0},
         {}},
        // Focus on a minimised window is an activation that shows it.
        {"a window kept minimised is neither raised nor shown",
         {"Build", "Logs", "Shell"},
         {"Build", "Logs", "Shell"},
         {1},
         {1},
         {2, 0, 1},
         {0, 2, 1}},
        {"a window minimised now whose saved one was shown is left down",
         {"Build", "Logs", "Shell"},
         {"Build", "Logs", "Shell"},
         {},
         {1},
         {2, 0, 1},
         {0, 2, 1}},
        {"a window saved minimised that shows now is not raised",
         {"Build", "Logs", "Shell"},
         {"Build", "Logs", "Shell"},
         {1},
         {},
         {2, 0, 1},
         {0, 2, 1}},
        // Its look at the window raised last alone would end the wait before any raise was done.
        {"the window raised last stood in front already, and the manager raises late",
         {"Build", "Logs", "Shell"},
         {"Build", "Logs", "Shell"},
         {},
         {},
         {0, 2, 1},
         {0, 1, 2},
         30},
        // Its desktop keeps a stacking of its own, which the next restore reads.
        {"the front window is on a desktop not shown, and the manager raises late",
         {"Build", "Logs", "Shell"},
         {"Build", "Logs", "Shell"},
         {},
         {},
         {2, 1, 0},
         {0, 1, 2},
         30,
         {0, 2}},
        // The windows raised stand in their order already: the wait ends once the last one raised
        // stands in front of the window left down.
        {"a window saved minimised stands in front, and the manager raises late",
         {"Build", "Logs", "Shell"},
         {"Build", "Logs", "Shell"},
         {1},
         {},
         {1, 0, 2},
         {0, 2, 1},
         30,
         {},
         true},
        // Brought forward before the raises show, it would show the window in front then.
        {"the application comes forward at the end once the late raises show",
         {"Build", "Logs", "Shell"},
         {"Build", "Logs", "Shell"},
         {},
         {},
         {2, 0, 1},
         {0, 1, 2},
         30,
         {},
         true,
         true},
    };
    for (const auto& c : cases) {
        const qint32 term = addApp("org.example.Term", frames, c.live);
        const qint32 other = addApp("org.example.Other", {QRectF(0, 400, 400, 300)}, {"Other"});
        QList<WindowSnapshot> windows;
        for (int i = 0; i < 3; ++i) {
            windows << savedWindow(frames[i], c.saved[i], i);
            windows.last().isMinimized = c.minimised.contains(i);
            windows.last().spaceIndex = c.away.contains(i) ? 1 : 0;
            desktop().window(windowOf(term, i))->onScreen = !c.away.contains(i);
        }
        for (const int i : c.liveMinimised) {
            desktop().window(windowOf(term, i))->minimized = true;
        }
        QList<quint32> order;
        for (const int i : c.stacking) {
            order << windowOf(term, i);
        }
        desktop().setStackingOrder(c.otherInFront ? QList<quint32>{windowOf(other)} + order
                                                  : order + QList<quint32>{windowOf(other)});
        desktop().setFrontmost(c.otherInFront ? other : term);
        desktop().setRaiseLag(std::chrono::milliseconds(c.raiseLagMs));
        desktop().application(term)->faults.ignoredActivations = c.ignoresActivation ? 1 : 0;
        // The terminal's windows front to back when it last came forward.
        QList<quint32> whenForward;
        const QMetaObject::Connection forward =
            QObject::connect(&desktop(), &SimulatedDesktop::applicationChanged, [&](qint32 pid) {
                if (pid == term && desktop().frontmostPid() == term) {
                    whenForward = desktop().stackingOrder().mid(0, 3);
                }
            });
        const qint64 before = elapsedMs();
        restack({savedApp("org.example.Term", windows), savedApp("org.example.Other", titled({"Other"}))});
        QObject::disconnect(forward);
        if (c.expected.isEmpty()) {
            EXPECT_EQ(elapsedMs(), before) << c.name;
        } else {
            QList<quint32> expected;
            for (const int i : c.expected) {
                expected << windowOf(term, i);
            }
            EXPECT_EQ(desktop().stackingOrder().mid(0, 3), expected) << c.name;
            if (c.ignoresActivation) {
                EXPECT_EQ(whenForward, expected) << c.name;
            }
            for (const int i : c.liveMinimised) {
                EXPECT_TRUE(desktop().window(windowOf(term, i))->minimized) << c.name;
            }
            // In order now: nothing more is raised.
            const qint64 after = elapsedMs();
            restack(
                {savedApp("org.example.Term", windows), savedApp("org.example.Other", titled({"Other"}))});
            EXPECT_EQ(elapsedMs(), after) << c.name;
        }
        desktop().setRaiseLag(Clock::Duration::zero());
        desktop().removeApplication(term);
        desktop().removeApplication(other);
    }
}

TEST_F(StackingOrderRestorerTest, RaisesBrowserWindowsByTheirFrames) {
    const qint32 chrome = addApp("com.google.Chrome", "Google Chrome");
    const quint32 first = addBrowserWindow(chrome, {"https://a.org*"}, QRectF(100, 100, 800, 600));
    const quint32 second = addBrowserWindow(chrome, {"https://b.org*"}, QRectF(500, 300, 800, 600));
    const qint32 other = addApp("org.example.Other", {QRectF(0, 30, 400, 300)}, {"Other"});
    desktop().setStackingOrder({windowOf(other), second, first});
    restack({savedApp("com.google.Chrome", {savedWindow(QRectF(100, 100, 800, 600), "", 1),
                                            savedWindow(QRectF(500, 300, 800, 600), "", 0)}),
             savedApp("org.example.Other", titled({"Other"}))});
    EXPECT_EQ(desktop().stackingOrder().mid(0, 2), QList<quint32>({first, second}));
}

} // namespace
