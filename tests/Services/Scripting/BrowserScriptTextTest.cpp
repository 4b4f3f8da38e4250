// Names, dialects and the pieces scripts are built from. The whole texts are held once, by the
// simulated script host, which refuses any other text: every script runs against it in the
// service tests, in both dialects.
#include "Services/Scripting/BrowserScriptText.h"
#include "Services/Scripting/BrowserNames.h"

#include "Platform/BrowserIdentities.h"
#include "Platform/Platform.h"
#include "Platform/ScriptProgram.h"
#include "Services/Scripting/FinderScriptService.h"

#include "Support/ScriptTestHelpers.h"

#include <gtest/gtest.h>

TEST(BrowserScriptText, NamesAndDialects) {
    // The ten identifiers, and the same browsers' Linux desktop-file ids.
    EXPECT_EQ(BrowserNames::supportedBrowsers().size(), 10 + BrowserIdentities::linuxBrowsers().size());
    const std::pair<const char*, const char*> names[] = {
        {"com.apple.Safari", "Safari"},
        {"com.apple.SafariTechnologyPreview", "Safari Technology Preview"},
        {"com.google.Chrome.canary", "Google Chrome Canary"},
        {"company.thebrowser.Browser", "Arc"},
        {"com.brave.Browser", "Brave Browser"},
        {"com.microsoft.edgemac", "Microsoft Edge"},
        {"com.operasoftware.Opera", "Opera"},
        {"com.vivaldi.Vivaldi", "Vivaldi"},
        {"org.chromium.Chromium", "Chromium"},
        {"org.example.unknown", "Google Chrome"},
        {"COM.GOOGLE.CHROME", "Google Chrome"},
        {"chromium.desktop", "Chromium"},
        {"google-chrome.desktop", "Google Chrome"},
        {"google-chrome-unstable.desktop", "Google Chrome Canary"},
        {"brave-browser.desktop", "Brave Browser"},
        {"microsoft-edge.desktop", "Microsoft Edge"},
        {"opera.desktop", "Opera"},
        {"vivaldi-stable.desktop", "Vivaldi"},
    };
    for (const BrowserIdentities::LinuxBrowser& browser : BrowserIdentities::linuxBrowsers()) {
        EXPECT_TRUE(BrowserNames::supportedBrowsers().contains(browser.desktopId));
        EXPECT_EQ(ScriptProgram::bundleIdentifierOf(browser.scriptName), browser.bundleIdentifier);
    }
    for (const auto& [id, name] : names) {
        EXPECT_EQ(BrowserNames::appName(id), name) << id;
    }
    // An unknown browser is spoken to in the Chromium dialect.
    EXPECT_EQ(BrowserScriptText::activateTabScript("org.example.unknown", 3, 2),
              "tell application \"Google Chrome\"\n    set active tab index of window 3 to 2\nend tell");
    EXPECT_EQ(BrowserScriptText::activateTabScript("com.apple.Safari", 3, 2),
              "tell application \"Safari\"\n    set current tab of window 3 to tab 2 of window 3\nend tell");
}

TEST(BrowserScriptText, Escaping) {
    const std::pair<QString, QString> cases[] = {
        {R"(plain)", R"(plain)"},
        {R"(a"b)", R"(a\"b)"},
        {R"(a\b)", R"(a\\b)"},
        {R"(\")", R"(\\\")"},
        {"line\nfeed\rreturn\ttab", "linefeedreturntab"},
        {R"(x" & (do shell script "say hi") & ")", R"(x\" & (do shell script \"say hi\") & \")"},
    };
    for (const auto& [raw, escaped] : cases) {
        EXPECT_EQ(ScriptText::escape(raw), escaped) << raw.toStdString();
    }
    EXPECT_EQ(BrowserScriptText::createWindowScript("com.apple.Safari", R"(https://e.x/?q="a"\b)"),
              QString(R"(tell application "Safari"
    make new document with properties {URL:"https://e.x/?q=\"a\"\\b"}
    return 1
end tell)"));
}

// The start of a script as the logs show it: 120 characters, never half of one.
TEST(BrowserScriptText, Preview) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // two code units, one character
    const std::pair<QString, QString> cases[] = {
        {"tell\n    x", "tell     x..."},
        {QString(130, 'a'), QString(120, 'a') + "..."},
        {QString(119, 'a') + emoji + "b", QString(119, 'a') + emoji + "..."},
        {emoji.repeated(121), emoji.repeated(120) + "..."},
    };
    for (const auto& [source, preview] : cases) {
        EXPECT_EQ(ScriptText::preview(source), preview) << source.size();
    }
}

TEST(BrowserScriptText, BoundsAreCheckedBeforeConversion) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ScriptText::bounds({10.9, -5.5, 800.2, 600.7}), (ScriptBounds{10, -5, 811, 595}));
    EXPECT_FALSE(ScriptText::bounds({std::nan(""), 0, 100, 100}));
    EXPECT_FALSE(ScriptText::bounds({0, 0, inf, 100}));
    EXPECT_FALSE(ScriptText::bounds({1e19, 0, 100, 100}));
    EXPECT_FALSE(ScriptText::bounds({9.2e18, 0, 1e18, 100})); // the right edge overflows
}

// The desktop's own file manager answers the file-manager scripts under its own identifier too.
TEST(FinderScriptText, TheFileManagerIsKnownByEitherIdentifier) {
    Platform& platform = Platform::current();
    const std::function<QString()> previous = platform.fileManagerIdentifier;
    platform.fileManagerIdentifier = nullptr;
    EXPECT_TRUE(FinderScriptService::isFileManager(QStringLiteral("com.apple.finder")));
    EXPECT_FALSE(FinderScriptService::isFileManager(QStringLiteral("org.gnome.Nautilus.desktop")));
    EXPECT_FALSE(FinderScriptService::isFileManager(QString()));
    QString handler = QStringLiteral("org.gnome.Nautilus.desktop");
    platform.fileManagerIdentifier = [&handler] { return handler; };
    EXPECT_TRUE(FinderScriptService::isFileManager(QStringLiteral("com.apple.finder")));
    EXPECT_TRUE(FinderScriptService::isFileManager(QStringLiteral("org.gnome.Nautilus.desktop")));
    EXPECT_FALSE(FinderScriptService::isFileManager(QStringLiteral("org.kde.dolphin.desktop")));
    // The user chose another folder handler meanwhile.
    handler = QStringLiteral("org.kde.dolphin.desktop");
    EXPECT_TRUE(FinderScriptService::isFileManager(QStringLiteral("org.kde.dolphin.desktop")));
    handler.clear();
    EXPECT_FALSE(FinderScriptService::isFileManager(QString()));
    platform.fileManagerIdentifier = previous;
}
