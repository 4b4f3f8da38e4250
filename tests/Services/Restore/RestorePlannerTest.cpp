#include "Services/Restore/RestorePlanner.h"

#include "RestoreFixture.h"

namespace {

class RestorePlannerTest : public RestoreFixture {
protected:
    RestorePlan plan(const QList<AppSnapshot>& apps) {
        return run(RestorePlanner::analyzeCurrentState(workspace(apps)));
    }
};

struct ActivationCase {
    const char* name;
    bool savedHidden;
    bool savedMinimized;
    bool appHidden;
    QSizeF liveSize;
    bool needsActivation;
    // The live window is on a virtual desktop that is not shown.
    bool elsewhere = false;
};

TEST_F(RestorePlannerTest, ActivatesOnlyWhatShouldShowAndDoesNot) {
    const QList<ActivationCase> cases = {
        {"saved hidden", true, false, true, {800, 600}, false},
        {"saved with every window minimised", false, true, false, {50, 50}, false},
        {"only a 120 x 90 window", false, false, false, {120, 90}, true},
        {"a 100 x 100 window", false, false, false, {100, 100}, false},
        {"hidden now, shown when saved", false, false, true, {800, 600}, true},
        {"shown on a desktop not shown", false, false, false, {800, 600}, false, true},
        {"only a 120 x 90 window on a desktop not shown", false, false, false, {120, 90}, true, true},
    };
    for (const ActivationCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString id = QStringLiteral("org.example.") + QString::fromLatin1(c.name).remove(' ');
        const qint32 pid = addApp(id, {QRectF(QPointF(200, 200), c.liveSize)});
        desktop().setHidden(pid, c.appHidden);
        desktop().updateWindow(windowOf(pid, 0),
                               [&c](SimulatedDesktop::Window& w) { w.onScreen = !c.elsewhere; });
        WindowSnapshot window = savedWindow(QRectF(200, 200, 800, 600));
        window.isMinimized = c.savedMinimized;
        const AppPlan app = plan({savedApp(id, {window}, c.savedHidden)}).appPlans.first();
        EXPECT_FALSE(app.needsLaunch);
        EXPECT_EQ(app.needsActivation, c.needsActivation);
        EXPECT_EQ(app.needsHide, c.savedHidden);
    }
}

// The saved windows the application shows are planned however many; of the others, no more than
// one restore opens.
TEST_F(RestorePlannerTest, LeavesOutOnlySavedWindowsPastWhatOneRestoreOpens) {
    const qsizetype bound = RestoreBounds::windowsPerApplication;
    const struct {
        const char* what;
        int open;
        qsizetype saved;
        qsizetype planned;
        // A browser whose open windows show the first saved windows' tabs, or other tabs.
        std::optional<bool> showsSaved = std::nullopt;
        // Each saved window shows a document of its own, which no open window shows: those planned
        // to be handed over.
        std::optional<qsizetype> documents = std::nullopt;
    } rows[] = {
        {"none open, one past the bound", 0, bound + 1, bound},
        {"none open, exactly the bound", 0, bound, bound},
        {"three open", 3, bound + 3, bound + 3},
        {"three open, one past", 3, bound + 4, bound + 3},
        {"a browser showing three saved windows", 3, bound + 4, bound + 3, true},
        {"a browser showing none of them in three windows", 3, bound + 3, bound, false},
        {"three open showing none of the saved documents", 3, bound + 3, bound + 3, std::nullopt, bound},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        QString id = "org.example.Term" + QString::number(r.saved) + "x" + QString::number(r.open) +
                     (r.documents ? "d" : "");
        const auto page = [](qsizetype i) { return "https://example.org/" + QString::number(i); };
        if (r.showsSaved) {
            id = "com.google.Chrome";
            if (const SimulatedDesktop::Application* before = desktop().findApplication(id)) {
                desktop().removeApplication(before->pid);
            }
            const qint32 browser = addApp(id, "Google Chrome");
            for (int i = 0; i < r.open; ++i) {
                addBrowserWindow(browser, {(*r.showsSaved ? page(i) : "https://other.org") + "*"});
            }
        } else if (r.open > 0) {
            addApp(id, QList<QRectF>(r.open, QRectF(100, 100, 400, 300)));
        }
        QList<WindowSnapshot> windows;
        for (qsizetype i = 0; i < r.saved; ++i) {
            windows << savedWindow(QRectF(100, 100, 400, 300), "t", i);
            if (r.showsSaved) {
                windows.last().tabSnapshots = {TabSnapshot{QUuid::createUuid(), page(i), "p", true}};
            }
            if (r.documents) {
                windows.last().documentURL = "file:///tmp/d" + QString::number(i) + ".txt";
            }
        }
        const qsizetype notes = restorerLines().filter("not reopened").size();
        const AppPlan app = plan({savedApp(id, windows)}).appPlans.first();
        EXPECT_EQ(app.windowPlans.size(), r.planned);
        EXPECT_EQ(app.windowsLeftOut, r.saved - r.planned);
        EXPECT_EQ(app.needsDocumentOpening.size(), r.documents.value_or(0));
        EXPECT_EQ(restorerLines().filter("not reopened").size() - notes, r.saved > r.planned ? 1 : 0);
    }
}

TEST_F(RestorePlannerTest, LeavesShownWindowsWithin50PointsInPlace) {
    const qint32 pid = addApp("org.example.Editor", {QRectF(150, 100, 800, 600), QRectF(150.5, 100, 800, 600),
                                                     QRectF(100, 100, 800, 600), QRectF(100, 100, 800, 600),
                                                     QRectF(100, 100, 800, 600)});
    // The third window sits where it was saved, but it has been minimised since. The fourth was
    // saved minimised and is so still; the fifth was saved minimised and is shown now.
    for (const int minimised : {2, 3}) {
        desktop().updateWindow(windowOf(pid, minimised),
                               [](SimulatedDesktop::Window& w) { w.minimized = true; });
    }
    WindowSnapshot stillDown = savedWindow(QRectF(100, 100, 800, 600), "d", 3);
    WindowSnapshot shownSince = savedWindow(QRectF(100, 100, 800, 600), "e", 4);
    stillDown.isMinimized = shownSince.isMinimized = true;
    const RestorePlan p = plan({savedApp(
        "org.example.Editor",
        {savedWindow(QRectF(100, 100, 800, 600), "a", 0), savedWindow(QRectF(100, 100, 800, 600), "b", 1),
         savedWindow(QRectF(100, 100, 800, 600), "c", 2), stillDown, shownSince})});
    ASSERT_EQ(p.appPlans.first().windowPlans.size(), 5);
    EXPECT_TRUE(p.appPlans.first().windowPlans[2].needsPositioning);
    EXPECT_FALSE(p.appPlans.first().windowPlans[3].needsPositioning);
    EXPECT_TRUE(p.appPlans.first().windowPlans[4].needsPositioning);
    const WindowPlan& inPlace = p.appPlans.first().windowPlans[0];
    EXPECT_FALSE(inPlace.needsPositioning);
    EXPECT_EQ(inPlace.currentFrame, frameOf(windowOf(pid, 0)));
    EXPECT_EQ(inPlace.targetFrame, QRectF(100, 100, 800, 600));
    EXPECT_TRUE(p.appPlans.first().windowPlans[1].needsPositioning);
    EXPECT_EQ(restorerLines(), QStringList{"Plan for Editor: needsLaunch=false, needsHide=false"});
}

TEST_F(RestorePlannerTest, AWindowOfAnotherTitleAtTheSavedIndexIsNotInPlace) {
    // Two terminals changed places in the list and on screen: each saved index now points at the
    // other one, which stands on the saved frame. Neither saved window is where it was.
    addApp("org.example.Term", {QRectF(100, 100, 600, 400), QRectF(750, 100, 600, 400)}, {"Logs", "Build"});
    const QList<WindowPlan> swapped =
        plan({savedApp("org.example.Term", {savedWindow(QRectF(100, 100, 600, 400), "Build", 0),
                                            savedWindow(QRectF(750, 100, 600, 400), "Logs", 1)})})
            .appPlans.first()
            .windowPlans;
    EXPECT_TRUE(swapped[0].needsPositioning);
    EXPECT_TRUE(swapped[1].needsPositioning);
    // Its own title, or no saved title to compare, leaves a window in place.
    const QList<WindowPlan> same =
        plan({savedApp("org.example.Term", {savedWindow(QRectF(100, 100, 600, 400), "Logs", 0),
                                            savedWindow(QRectF(750, 100, 600, 400), QString(), 1)})})
            .appPlans.first()
            .windowPlans;
    EXPECT_FALSE(same[0].needsPositioning);
    EXPECT_FALSE(same[1].needsPositioning);
}

TEST_F(RestorePlannerTest, AWindowSavedOnAnotherDesktopIsInPlaceOnlyThere) {
    // The desktop saved (none: the one shown), the desktop a live window reads (none: no value),
    // whether it is on the desktop shown, and whether the window at its frame still needs placing.
    struct Case {
        std::optional<qint64> saved;
        std::optional<double> live;
        bool shown;
        bool needsPositioning;
    };
    const QList<Case> cases = {{1, 1, false, false},
                               {1, 2, false, true},
                               {1, std::nullopt, true, true},
                               {std::nullopt, std::nullopt, true, false},
                               {std::nullopt, 1, false, true}};
    for (qsizetype i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        const QString id = QStringLiteral("org.example.Desk%1").arg(i);
        const qint32 pid = addApp(id, {QRectF(100, 100, 800, 600)});
        desktop().updateWindow(windowOf(pid, 0), [&c](SimulatedDesktop::Window& w) {
            w.onScreen = c.shown;
            w.faults.readOverrides.insert("AXSpaceIndex", c.live ? AXResult::success(AXValue::number(*c.live))
                                                                 : AXResult::failure(AXError::NoValue));
        });
        WindowSnapshot window = savedWindow(QRectF(100, 100, 800, 600), "Desk", 0);
        window.spaceIndex = c.saved;
        EXPECT_EQ(plan({savedApp(id, {window})}).appPlans.first().windowPlans.first().needsPositioning,
                  c.needsPositioning);
    }
}

TEST_F(RestorePlannerTest, ComparesEachSavedIndexWithItsOwnWindowWhenAFrameIsUnreadable) {
    // Live windows 0, 1 (frame unreadable) and 2. Saved window 1 sits where live window 2 is: a
    // frame list without the unreadable entry would compare it with window 2 and leave it be.
    const QRectF third(700, 300, 500, 400);
    const qint32 pid =
        addApp("org.example.Editor", {QRectF(0, 30, 500, 400), QRectF(300, 300, 500, 400), third});
    desktop().updateWindow(windowOf(pid, 1), [](SimulatedDesktop::Window& w) {
        w.faults.readOverrides.insert("AXPosition", AXResult::failure(AXError::CannotComplete));
    });
    const RestorePlan p =
        plan({savedApp("org.example.Editor", {savedWindow(third, "1", 1), savedWindow(third, "2", 2)})});
    const QList<WindowPlan>& windows = p.appPlans.first().windowPlans;
    EXPECT_TRUE(windows[0].needsPositioning);
    EXPECT_FALSE(windows[0].currentFrame.has_value());
    EXPECT_FALSE(windows[1].needsPositioning);
}

TEST_F(RestorePlannerTest, PlansLaunchDocumentsTabsFoldersAndOrder) {
    const qint32 editor = addApp("org.example.Editor", {QRectF(100, 100, 800, 600)});
    desktop().updateWindow(windowOf(editor),
                           [](SimulatedDesktop::Window& w) { w.document = "file:///tmp/open.txt"; });
    const qint32 chrome = addApp("com.google.Chrome", "Google Chrome");
    addBrowserWindow(chrome, {"https://a.org*", "https://b.org"});
    const qint32 finder = addApp("com.apple.finder", "Finder");
    host().setFolder(addWindow(finder, QRectF(300, 300, 600, 400)), "/home/me/Projects");

    WindowSnapshot open = savedWindow(QRectF(100, 100, 800, 600), "open.txt", 0);
    open.documentURL = "file:///tmp/open.txt";
    WindowSnapshot closed = savedWindow(QRectF(150, 150, 800, 600), "closed.txt", 1);
    closed.documentURL = "file:///tmp/closed.txt";
    WindowSnapshot tabs = savedWindow(QRectF(50, 50, 900, 700));
    tabs.tabSnapshots = {TabSnapshot{{}, "https://b.org/", {}, false},
                         TabSnapshot{{}, "HTTPS://A.org", {}, true}};
    WindowSnapshot folder = savedWindow(QRectF(300, 300, 600, 400));
    folder.documentURL = "/home/me/Projects/"; // as the file manager lists it
    WindowSnapshot missing = savedWindow(QRectF(100, 100, 600, 400));
    missing.documentURL = "file:///tmp/new.txt";

    const RestorePlan p =
        plan({savedApp("com.google.Chrome", {tabs}), savedApp("org.example.Editor", {open, closed}),
              savedApp("com.apple.finder", {folder}), savedApp("org.example.Notes", {missing})});
    EXPECT_FALSE(p.appPlans[0].needsBrowserTabRestore); // contained in the live window
    EXPECT_EQ(p.appPlans[0].currentBrowserTabs.size(), 1);
    EXPECT_EQ(p.appPlans[1].needsDocumentOpening, QStringList{"file:///tmp/closed.txt"});
    EXPECT_FALSE(p.appPlans[2].needsFinderWindowRestore);
    EXPECT_TRUE(p.appPlans[3].needsLaunch);
    EXPECT_EQ(p.appPlans[3].needsDocumentOpening, QStringList{"file:///tmp/new.txt"});
    EXPECT_TRUE(p.appPlans[3].windowPlans.first().needsPositioning);
    // The Finder window was added last, so it is in front; the saved order has the browser first.
    EXPECT_TRUE(p.needsZOrderAdjustment);
    // The folder shown is the saved one however it was saved.
    for (const QString& saved :
         {QStringLiteral("file:///home/me/Projects/"), QStringLiteral("/home/me/Projects"),
          QStringLiteral("file://localhost/home/me/Projects")}) {
        folder.documentURL = saved;
        EXPECT_FALSE(plan({savedApp("com.apple.finder", {folder})}).appPlans[0].needsFinderWindowRestore)
            << saved.toStdString();
    }
}

TEST_F(RestorePlannerTest, StackingOrderCountsLargeWindowsOnceEach) {
    const qint32 a = addApp("org.example.A", {QRectF(0, 30, 150, 150)});
    const qint32 b = addApp("org.example.B", {QRectF(0, 30, 400, 300)});
    addWindow(a, QRectF(0, 30, 400, 300)); // now in front of B's
    addWindow(b, QRectF(0, 30, 199, 600)); // too narrow to count
    EXPECT_EQ(RestorePlanner::captureCurrentZOrder(desktop().runningApplications()),
              QStringList({"org.example.A", "org.example.B"}));
    EXPECT_FALSE(plan({savedApp("org.example.A"), savedApp("org.example.B")}).needsZOrderAdjustment);
    EXPECT_TRUE(plan({savedApp("org.example.B"), savedApp("org.example.A")}).needsZOrderAdjustment);
    EXPECT_TRUE(plan({savedApp("org.example.A"), savedApp("org.example.B"), savedApp("org.example.A")})
                    .needsZOrderAdjustment);
    EXPECT_FALSE(plan({}).needsZOrderAdjustment);
}

} // namespace
