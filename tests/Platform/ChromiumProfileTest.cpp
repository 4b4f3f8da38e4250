#include "Platform/Linux/ChromiumProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A profile name comes from the browser's command line or its "Local State" file: only a plain
// folder name below the user-data folder is taken, anything else falls back to the next source
// and finally to "Default".
TEST(ChromiumProfile, TakesOnlyPlainFolderNamesForAProfile) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("Default")));
    const auto localState = [&root](const QByteArray& lastUsed) {
        QFile state(root.filePath(QStringLiteral("Local State")));
        ASSERT_TRUE(state.open(QIODevice::WriteOnly | QIODevice::Truncate));
        state.write(R"({"profile":{"last_used":")" + lastUsed + R"("}})");
    };
    const struct {
        const char* switchValue; // nullptr: no --profile-directory
        QByteArray lastUsed;
        const char* profile;
    } cases[] = {
        {"Profile 1", "Profile 2", "Profile 1"},
        {nullptr, "Profile 2", "Profile 2"},
        {nullptr, "", "Default"},
        {"../outside", "Profile 2", "Profile 2"},
        {"..", "", "Default"},
        {"a/b", "", "Default"},
        {":/qt-project.org", "Profile 2", "Profile 2"},
        {":", "", "Default"},
        {nullptr, ":/resource", "Default"},
        {nullptr, ":Profile", "Default"},
        {nullptr, "/etc", "Default"},
        {":x", ":y", "Default"},
    };
    for (const auto& c : cases) {
        localState(c.lastUsed);
        QStringList commandLine{QStringLiteral("/usr/lib/chromium/chromium")};
        if (c.switchValue) {
            commandLine << QStringLiteral("--profile-directory=") + QString::fromUtf8(c.switchValue);
        }
        EXPECT_EQ(ChromiumProfile::profileFolder(root.path(), commandLine),
                  root.filePath(QString::fromUtf8(c.profile)))
            << (c.switchValue ? c.switchValue : "(none)") << " / " << c.lastUsed.toStdString();
    }
}
