#include "ViewModels/AppCatalogue.h"
#include "Platform/Simulated/SimulatedDesktop.h"
#include "Platform/Simulated/SimulatedInstalledApplications.h"

#include "Support/QtPrinters.h"
#include "Support/ScriptedDesktop.h"

#include <gtest/gtest.h>

void PrintTo(const AppInfo& app, std::ostream* os) {
    *os << (app.bundleIdentifier + " " + app.name + " " + app.icon).toStdString();
}

namespace {

using App = InstalledApplications::Application;

QStringList names(const QList<AppInfo>& apps) {
    QStringList list;
    for (const AppInfo& app : apps) {
        list << app.name;
    }
    return list;
}

TEST(AppCatalogue, OneEntryPerIdWithoutOrdellaSortedInPlainOrder) {
    const QList<App> installed{
        {"a.desktop", "Zoom", "zoom"},
        {"b.desktop", "calendar", ""},
        {"c.desktop", "Books", "/icons/books.png"},
        {"ordella.desktop", "Ordella", "ordella"},
        {"d.desktop", "", ""},
        {"e.desktop", "Books", ""},
        {"a.desktop", "Zoom Again", ""},
        {"", "No Identifier", ""},
        // A decomposed accent sorts as the composed one does.
        {"f.desktop", QString::fromUtf8("E\u0301clair"), ""},
        {"g.desktop", QString::fromUtf8("\u00c9b\u00e8ne"), ""},
    };
    const QList<AppInfo> apps = AppCatalogue::catalogue(installed);
    // Capitals before small letters; equal names keep their order.
    EXPECT_EQ(names(apps), (QStringList{"", "Books", "Books", QString::fromUtf8("\u00c9b\u00e8ne"),
                                        QString::fromUtf8("E\u0301clair"), "Zoom", "calendar"}));
    EXPECT_EQ(apps[1], (AppInfo{"c.desktop", "Books", "/icons/books.png"}));
    EXPECT_EQ(apps[5], (AppInfo{"a.desktop", "Zoom", "zoom"}));
    EXPECT_TRUE(AppCatalogue::catalogue({}).isEmpty());
}

TEST(AppCatalogue, OffersRunningProgramsWithoutAnEntryByNameAndPath) {
    const auto app = [](const char* id, const char* name,
                        ActivationPolicy policy = ActivationPolicy::Regular) {
        RunningApplication r;
        r.bundleIdentifier = QString::fromUtf8(id);
        r.localizedName = name ? std::optional<QString>(QString::fromUtf8(name)) : std::nullopt;
        r.activationPolicy = policy;
        return r;
    };
    const QList<AppInfo> installed =
        AppCatalogue::catalogue({{"b.desktop", "Books", ""}, {"z.desktop", "Zoom", ""}});
    const QList<RunningApplication> running{
        app("/usr/bin/xcalc", "XCalc"),
        app("b.desktop", "Books"), // has its entry
        app("/usr/bin/python3 /opt/tool.py", "tool.py"),
        app("/usr/bin/tint2", "tint2", ActivationPolicy::Accessory), // not a regular application
        app("/usr/bin/xcalc", "XCalc"),                              // two of one program: one entry
        app("/opt/noname", nullptr),
    };
    EXPECT_EQ(
        AppCatalogue::withRunningPrograms(installed, running),
        (QList<AppInfo>{{"/opt/noname", "/opt/noname", ""},
                        {"b.desktop", "Books", ""},
                        {"/usr/bin/xcalc", "XCalc (/usr/bin/xcalc)", ""},
                        {"z.desktop", "Zoom", ""},
                        {"/usr/bin/python3 /opt/tool.py", "tool.py (/usr/bin/python3 /opt/tool.py)", ""}}));
}

class AppCatalogueTest : public SimulatedDesktopFixture {};

TEST_F(AppCatalogueTest, TheSimulatedDesktopListsItsOwnApplications) {
    SimulatedDesktop::InstalledApp mail;
    mail.bundleIdentifier = "org.example.Mail.desktop";
    mail.name = "Mail";
    mail.icon = "mail-client";
    desktop().installApplication(mail);
    SimulatedDesktop::InstalledApp editor;
    editor.bundleIdentifier = "org.example.Editor.desktop";
    editor.name = "Editor";
    desktop().installApplication(editor);

    const auto apps = clock().runUntilDone(AppCatalogue::load(platform().installedApplications));
    ASSERT_TRUE(apps);
    EXPECT_EQ(*apps, (QList<AppInfo>{{"org.example.Editor.desktop", "Editor", ""},
                                     {"org.example.Mail.desktop", "Mail", "mail-client"}}));
    // Without the port there is nothing to list.
    EXPECT_EQ(clock().runUntilDone(AppCatalogue::load(nullptr)), QList<AppInfo>());
}

} // namespace
