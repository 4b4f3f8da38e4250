// The menu-bar window beside a tray icon: where it goes as its size changes, and when it closes.
#include "App/MenuBarWindow.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Coordination/WorkspaceRestoreStatus.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Services/Storage/SettingsManager.h"
#include "Support/QtPrinters.h"
#include "Support/RowFixture.h"
#include "ViewModels/AppRootModel.h"
#include "ViewModels/PopoverModel.h"
#include "Views/Theme.h"
#include "Views/UiSetup.h"

#include <QCoreApplication>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(OrdellaPlugin)

namespace {

using namespace std::chrono_literals;

class MenuBarWindowPlacementTest : public RowFixture {
protected:
    MenuBarWindowPlacementTest() { settings.setWorkspaceSortOption("updatedAt"); }

    // Before the models: the window shows the workspace list.
    static bool prepared() {
        JsonSettingsFormat::userSettings()->setValue(AppRootModel::onboardingCompleteKey, true);
        UiSetup::prepare();
        Theme::shared().setAnimated(false);
        return true;
    }
    void addWorkspaces(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(store.save(sample(QString("Project %1").arg(store.workspaces().size() + 1))));
        }
        QCoreApplication::processEvents();
    }
    void place(const QRect& icon, const QRect& workArea) {
        window.setIconGeometry([icon] { return icon; });
        window.setWorkArea([workArea](const QRect&) { return workArea; });
    }
    QRect geometry() { return window.window()->geometry(); }

    bool ready = prepared();
    RevertStateManager revertStates;
    RestoreCoordinator coordinator{[](Workspace, bool) -> QCoro::Task<RestoreReport> { co_return {}; },
                                   &revertStates};
    SettingsManager settings;
    PopoverModel model{{&store, &coordinator, &revertStates, &hotkeys, nullptr, &settings, platform().clock}};
    AppRootModel root;
    MenuBarWindow window{root, model, platform().clock};
};

TEST_F(MenuBarWindowPlacementTest, ATrayAtTheBottomLeftKeepsTheWindowAboveTheIconAsItsHeightChanges) {
    // A panel along the bottom of a 1920 x 1080 screen, its icon near the left end.
    const QRect icon(12, 1046, 24, 24);
    place(icon, QRect(0, 0, 1920, 1040));
    window.open();
    // Its foot stays 8 above the work area's end, which the panel's icon lies below.
    const int foot = 1040 - 8;
    EXPECT_EQ(geometry(), QRect(8, foot - 280, 450, 280));

    addWorkspaces(1);
    EXPECT_EQ(geometry(), QRect(8, foot - 600, 450, 600));
    addWorkspaces(12);
    EXPECT_EQ(geometry(), QRect(8, foot - 1000, 450, 1000));
    // A search that matches nothing shrinks the list: the window stays by the icon.
    model.setSearchText("nothing matches this");
    QCoreApplication::processEvents();
    EXPECT_EQ(geometry(), QRect(8, foot - 600, 450, 600));
}

TEST_F(MenuBarWindowPlacementTest, ATrayAtTheTopRightKeepsTheWindowBelowTheIconInsideTheScreen) {
    const QRect icon(1880, 4, 24, 24);
    place(icon, QRect(0, 32, 1920, 1048));
    window.open();
    // Its top stays 8 below the work area's start, which the panel's icon lies above.
    EXPECT_EQ(geometry(), QRect(1920 - 8 - 450, 40, 450, 280));
    addWorkspaces(13);
    EXPECT_EQ(geometry(), QRect(1920 - 8 - 450, 40, 450, 1000));
    // On a screen too short for it the window is cut to the work area.
    place(icon, QRect(0, 32, 1920, 768));
    model.setSearchText("Project 1");
    QCoreApplication::processEvents();
    EXPECT_EQ(geometry(), QRect(1920 - 8 - 450, 40, 450, 600));
    model.setSearchText("");
    QCoreApplication::processEvents();
    EXPECT_EQ(geometry(), QRect(1920 - 8 - 450, 40, 450, 768 - 16));
}

// A tray that speaks StatusNotifierItem never says where its icon is: the window then opens at the
// top right of the work area of the monitor with the pointer, below the panel, never over it.
TEST_F(MenuBarWindowPlacementTest, ATrayThatGivesNoGeometryOpensTheWindowInTheWorkAreaWithThePointer) {
    // Two monitors, the left one primary; a 27-point panel along the top of the right one.
    Screen left;
    left.frame = left.visibleFrame = QRectF(0, 0, 1920, 1080);
    Screen right;
    right.frame = QRectF(1920, 0, 1920, 1080);
    right.visibleFrame = QRectF(1920, 0, 1920, 1080 - 27);
    desktop().setScreens({left, right});
    QPoint pointer(2500, 600);
    window.setIconGeometry([] { return QRect(); });
    window.setPointerPosition([&pointer] { return pointer; });
    window.setDesktopScreens(platform().screens);

    window.open();
    EXPECT_EQ(geometry(), QRect(3840 - 8 - 450, 27 + 8, 450, 280));
    window.close();
    pointer = QPoint(300, 900);
    window.open();
    EXPECT_EQ(geometry(), QRect(1920 - 8 - 450, 8, 450, 280));
    window.close();

    // The first start's window waits for the tray to take its icon in and opens by it from its
    // first frame; a tray that never says where it is leaves it where a click would open it.
    struct Case {
        const char* what;
        // When the tray says where the icon is; never: nothing.
        std::optional<Clock::Duration> placedAfter;
        QRect firstFrame;
        Clock::Duration opensAfter;
    };
    const QRect icon(3780, 2, 24, 24);
    const QList<Case> cases{
        {"an icon placed a second after the start", 1s, QRect(3840 - 8 - 450, 27 + 8, 450, 280), 1s},
        {"an icon placed at once", 0s, QRect(3840 - 8 - 450, 27 + 8, 450, 280), 0s},
        {"a tray that never says", std::nullopt, QRect(1920 - 8 - 450, 8, 450, 280), 3s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Clock::TimePoint start = clock().now();
        window.setIconGeometry([&c, &icon, start, this] {
            return c.placedAfter && clock().now() - start >= *c.placedAfter ? icon : QRect();
        });
        std::optional<QRect> shown;
        const QMetaObject::Connection first =
            QObject::connect(window.window(), &QWindow::visibleChanged, [&shown, this](bool visible) {
                if (visible && !shown) {
                    shown = geometry();
                }
            });
        clock().runUntilDone(window.iconPlaced(3s));
        window.open();
        QObject::disconnect(first);
        EXPECT_EQ(shown, c.firstFrame);
        EXPECT_EQ(clock().now() - start, c.opensAfter);
        window.close();
    }
}

TEST_F(MenuBarWindowPlacementTest, WhileARestoreRunsLosingTheFocusLeavesTheWindowOpen) {
    place(QRect(1880, 4, 24, 24), QRect(0, 32, 1920, 1048));
    addWorkspaces(1);
    // A restore started by a shortcut: a click on the icon opens the window, which shows it.
    model.handleRestoreStatusNotification(WorkspaceRestoreStatus::restoringWorkspace("Project 1"));
    window.toggle();
    ASSERT_TRUE(window.isOpen());
    // The restore brings other applications' windows to the front.
    window.applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_TRUE(window.isOpen());

    RestoreReport restored;
    restored.status = RestoreStatus::restored;
    model.handleRestoreStatusNotification(WorkspaceRestoreStatus::result(restored, std::nullopt));
    window.applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(window.isOpen());
}

} // namespace
