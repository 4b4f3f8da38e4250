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
    // Three activations of 50 ms, two raises of 20 ms; A ends in front, so no final activation.
    EXPECT_EQ(elapsedMs(), 3 * 50 + 2 * 20);
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
}

TEST_F(StackingOrderRestorerTest, RestacksTheWindowsOfAnAppOutOfOrderWhenAppsStandInTheirs) {
    // One application whose window opened anew (Shell) came up in front of its others.
    const qint32 term = addApp(
        "org.example.Term", {QRectF(0, 30, 400, 300), QRectF(450, 30, 400, 300), QRectF(900, 30, 400, 300)},
        {"Build", "Logs", "Shell"});
    const qint32 other = addApp("org.example.Other", {QRectF(0, 400, 400, 300)}, {"Other"});
    const QList<AppSnapshot> saved{savedApp("org.example.Term", titled({"Build", "Logs", "Shell"})),
                                   savedApp("org.example.Other", titled({"Other"}))};
    desktop().setStackingOrder({windowOf(term, 2), windowOf(term, 0), windowOf(term, 1), windowOf(other)});
    desktop().setFrontmost(term);
    restack(saved);
    EXPECT_EQ(desktop().stackingOrder().mid(0, 3),
              (QList<quint32>{windowOf(term, 0), windowOf(term, 1), windowOf(term, 2)}));
    // In order now: nothing more is raised.
    const qint64 before = elapsedMs();
    restack(saved);
    EXPECT_EQ(elapsedMs(), before);
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
