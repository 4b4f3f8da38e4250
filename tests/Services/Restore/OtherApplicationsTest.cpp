#include "Services/Restore/OtherApplications.h"

#include "RestoreFixture.h"
#include "Services/Restore/RestoreRequest.h"
#include "Services/Storage/SettingsManager.h"

namespace {

class OtherApplicationsTest : public RestoreFixture {
protected:
    OtherApplicationsTest() {
        SettingsManager().setExcludedAppBundleIDs({"org.example.Music", "org.example.Kept"});
        kept = addApp("org.example.Kept", std::optional<QString>("Kept"));
        addApp("org.example.Notes", std::optional<QString>("Notes"));
        music = addApp("org.example.Music", std::optional<QString>("Music"));
        self = addApp("com.tremmick.ordella", std::optional<QString>("Ordella"));
        // Desktop components, even where a list would call them regular applications.
        SimulatedDesktop::Application shell;
        shell.bundleIdentifier = "org.gnome.Shell";
        shell.name = "Shell";
        desktop().addApplication(shell);
        shell.bundleIdentifier = "dunst.desktop";
        desktop().addApplication(shell);
        SimulatedDesktop::Application agent;
        agent.bundleIdentifier = "org.example.Agent";
        agent.activationPolicy = ActivationPolicy::Accessory;
        desktop().addApplication(agent);
        SimulatedDesktop::Application nameless;
        desktop().addApplication(nameless);
        notes2 = addApp("org.example.Notes", std::optional<QString>());
    }
    ~OtherApplicationsTest() override { SettingsManager().setExcludedAppBundleIDs({}); }

    qint32 addApp(const QString& id, const std::optional<QString>& name) {
        SimulatedDesktop::Application app;
        app.bundleIdentifier = id;
        app.name = name;
        return desktop().addApplication(app);
    }
    QStringList runningIDs() {
        QStringList ids;
        for (const RunningApplication& app : desktop().runningApplications()) {
            ids << app.bundleIdentifier.value_or("-") + (app.isHidden ? " (hidden)" : "");
        }
        return ids;
    }
    const Workspace held = workspace({savedApp("org.example.Kept")});
    qint32 kept = 0;
    qint32 music = 0;
    qint32 self = 0;
    qint32 notes2 = 0;
};

TEST_F(OtherApplicationsTest, QuitsOthersButOnlyHidesExcludedOnesAndNeverTheDesktop) {
    const auto request = std::make_shared<RestoreRequest>();
    run(OtherApplications::closeAppsNotInWorkspace(held, request));
    // Both quit at once: nothing is left to wait for.
    EXPECT_EQ(elapsedMs(), 0);
    EXPECT_EQ(runningIDs(),
              QStringList({"org.example.Kept", "org.example.Music (hidden)", "com.tremmick.ordella",
                           "org.gnome.Shell", "dunst.desktop", "org.example.Agent", "-"}));
    EXPECT_EQ(restorerLines(),
              QStringList({"closeAppsNotInWorkspace: terminating 2 app(s): Notes, org.example.Notes",
                           "closeAppsNotInWorkspace: hiding 1 excluded app(s): Music"}));
    // The request notes each application it asked to quit once, for a revert; a new one none yet.
    const auto noted = [](const RestoreRequest& r) {
        QStringList ids;
        for (const RunningApplication& app : r.quitApplications()) {
            ids << app.bundleIdentifier.value_or("-");
        }
        return ids;
    };
    EXPECT_EQ(noted(*request), QStringList{"org.example.Notes"});
    addApp("org.example.Mail", std::optional<QString>("Mail"));
    const auto next = std::make_shared<RestoreRequest>();
    run(OtherApplications::closeAppsNotInWorkspace(held, next));
    EXPECT_EQ(noted(*next), QStringList{"org.example.Mail"});
}

TEST_F(OtherApplicationsTest, HidesEveryOtherRegularApp) {
    OtherApplications::hideAppsNotInWorkspace(held);
    EXPECT_EQ(runningIDs(),
              QStringList({"org.example.Kept", "org.example.Notes (hidden)", "org.example.Music (hidden)",
                           "com.tremmick.ordella", "org.gnome.Shell", "dunst.desktop", "org.example.Agent",
                           "-", "org.example.Notes (hidden)"}));
    EXPECT_EQ(restorerLines(),
              QStringList{"hideAppsNotInWorkspace: hiding 3 app(s): Notes, Music, org.example.Notes"});
    for (const RunningApplication& app : desktop().runningApplications()) {
        if (app.bundleIdentifier == "org.gnome.Shell" || app.bundleIdentifier == "dunst.desktop") {
            EXPECT_EQ(app.activationPolicy, ActivationPolicy::Prohibited);
        }
    }
}

TEST_F(OtherApplicationsTest, SaysWhenThereIsNothingToDo) {
    const Workspace all = workspace(
        {savedApp("org.example.Kept"), savedApp("org.example.Notes"), savedApp("org.example.Music")});
    run(OtherApplications::closeAppsNotInWorkspace(all));
    EXPECT_EQ(elapsedMs(), 0);
    OtherApplications::hideAppsNotInWorkspace(all);
    EXPECT_EQ(restorerLines(), QStringList({"closeAppsNotInWorkspace: no apps to terminate",
                                            "hideAppsNotInWorkspace: no apps to hide"}));
}

TEST_F(OtherApplicationsTest, WaitsForTheAppsAskedToQuitUntilTheyGoAtMostHalfASecond) {
    struct Case {
        const char* name;
        SimulatedDesktop::AppFaults faults;
        qint64 elapsedMs;
    };
    const QList<Case> cases{
        {"cannot be asked to quit", {true, Clock::Duration(0), 0, 0, true}, 0},
        {"quits a moment later", {false, Clock::Duration(130)}, 140},
        {"asks its user first", {true}, 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qint64 start = elapsedMs();
        SimulatedDesktop::Application slow;
        slow.bundleIdentifier = "org.example.Slow";
        slow.faults = c.faults;
        desktop().addApplication(slow);
        run(OtherApplications::closeAppsNotInWorkspace(held));
        EXPECT_EQ(elapsedMs() - start, c.elapsedMs);
    }
}

} // namespace
