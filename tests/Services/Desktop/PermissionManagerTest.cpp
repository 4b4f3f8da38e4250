#include "Services/Desktop/PermissionManager.h"
#include "Platform/Platform.h"
#include "Support/FullDisk.h"
#include "Support/ScriptedDesktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

using PermissionManagerTest = SimulatedDesktopFixture;

TEST_F(PermissionManagerTest, AlertTextsAndCancel) {
    prompts().queueAlertAnswer(1);
    ASSERT_TRUE(clock().runUntilDone(PermissionManager::showAccessibilityAlert()));

    ASSERT_EQ(prompts().shownAlerts().size(), 1);
    const AlertRequest& alert = prompts().shownAlerts().first();
    EXPECT_EQ(alert.style, AlertRequest::Style::Warning);
    EXPECT_EQ(alert.messageText, "Accessibility Permission Required");
    EXPECT_EQ(alert.informativeText,
              QStringLiteral("Ordella needs Accessibility access to capture and restore window "
                             "positions. Please grant access in your desktop's settings."));
    EXPECT_EQ(alert.buttons, QStringList({"Open Settings", "Cancel"}));
    EXPECT_EQ(alert.iconName, "AppIcon");
    EXPECT_TRUE(prompts().openedUrls().isEmpty());

    // Dismissed without a button: nothing either.
    ASSERT_TRUE(clock().runUntilDone(PermissionManager::showAccessibilityAlert()));
    EXPECT_EQ(prompts().shownAlerts().size(), 2);
    EXPECT_TRUE(prompts().openedUrls().isEmpty());
}

TEST_F(PermissionManagerTest, OpenSettingsShowsWhatTheDesktopMustOffer) {
    prompts().queueAlertAnswer(0);
    ASSERT_TRUE(clock().runUntilDone(PermissionManager::showAccessibilityAlert()));
    EXPECT_EQ(prompts().shownAlerts().size(), 1);
    const QUrl url = QUrl::fromLocalFile(PermissionManager::accessibilityHelpPath());
    EXPECT_EQ(prompts().openedUrls(), QList<QUrl>{url});
    QFile page(url.toLocalFile());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(html.contains("_NET_MOVERESIZE_WINDOW"));
    EXPECT_TRUE(html.contains("X11 session"));
}

TEST_F(PermissionManagerTest, WithoutAPageOrABrowserTheHelpIsAnAlert) {
    // A file where the help folder must go: the page cannot be written.
    const QString folder = QFileInfo(PermissionManager::accessibilityHelpPath()).absolutePath();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    prompts().queueAlertAnswer(0);
    ASSERT_TRUE(clock().runUntilDone(PermissionManager::showAccessibilityAlert()));
    EXPECT_TRUE(prompts().openedUrls().isEmpty());
    ASSERT_EQ(prompts().shownAlerts().size(), 2);
    EXPECT_EQ(prompts().shownAlerts().last().informativeText, PermissionManager::accessibilityHelpText());
    QFile::remove(folder);

    prompts().setOpenUrlSucceeds(false);
    prompts().queueAlertAnswer(0);
    ASSERT_TRUE(clock().runUntilDone(PermissionManager::showAccessibilityAlert()));
    EXPECT_EQ(prompts().shownAlerts().size(), 4);
}

// On a full disk the page is not written: the help shows as an alert and the page written before
// stays whole.
TEST_F(PermissionManagerTest, AFullDiskKeepsThePageAndShowsTheHelpAsAnAlert) {
    const QString page = PermissionManager::accessibilityHelpPath();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(page).absolutePath()));
    QFile earlier(page);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly | QIODevice::Truncate));
    earlier.write("<p>the page written before</p>");
    earlier.close();

    FullDisk disk(FullDisk::Kind::simulated);
    disk.fill();
    prompts().queueAlertAnswer(0);
    ASSERT_TRUE(clock().runUntilDone(PermissionManager::showAccessibilityAlert()));
    EXPECT_TRUE(prompts().openedUrls().isEmpty());
    ASSERT_EQ(prompts().shownAlerts().size(), 2);
    EXPECT_EQ(prompts().shownAlerts().last().informativeText, PermissionManager::accessibilityHelpText());
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "<p>the page written before</p>");
}

} // namespace
