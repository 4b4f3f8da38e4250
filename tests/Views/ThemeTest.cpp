#include "Views/Theme.h"
#include "Models/Workspace.h"
#include "Services/Storage/SettingsManager.h"
#include "Support/Views/ViewHarness.h"
#include "Views/DesktopColorScheme.h"
#include "Views/Symbols.h"
#include "Views/UiSetup.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QQmlComponent>
#include <QRawFont>
#include <QTextLayout>
#include <gtest/gtest.h>

TEST(ThemeTest, ViewsShareTheProcessTheme) {
    ViewHarness ui;
    QQmlComponent probe(&ui.engine());
    probe.setData("import QtQml\nimport Ordella\nQtObject { property QtObject theme: Theme }", QUrl());
    std::unique_ptr<QObject> object(probe.create());
    ASSERT_TRUE(object) << probe.errorString().toStdString();
    EXPECT_EQ(object->property("theme").value<QObject*>(), &Theme::shared());
}

TEST(ThemeTest, FollowsTheSettingAndForSystemTheDesktop) {
    Theme& theme = Theme::shared();
    DesktopColorScheme& desktop = theme.desktopColorScheme();
    ViewHarness::setTheme(AppTheme::dark);
    EXPECT_TRUE(theme.dark());
    ViewHarness::setTheme(AppTheme::light);
    EXPECT_FALSE(theme.dark());

    ViewHarness::setTheme(AppTheme::system);
    desktop.setPortalPreference(DesktopColorScheme::Preference::dark);
    EXPECT_TRUE(theme.dark());
    desktop.setPortalPreference(DesktopColorScheme::Preference::light);
    EXPECT_FALSE(theme.dark());
    desktop.setPortalPreference(std::nullopt);
    ViewHarness::setTheme(AppTheme::light);
    EXPECT_FALSE(theme.dark());
}

TEST(ThemeTest, EverySymbolHasAGlyphOfTheInstalledFont) {
    const QRawFont font = QRawFont::fromFont(QFont(Symbols::fontFamily()));
    ASSERT_TRUE(font.isValid());
    ASSERT_EQ(font.familyName(), Symbols::fontFamily());
    for (const QString& icon : Workspace::availableIcons()) {
        EXPECT_TRUE(Symbols::codepoint(icon)) << icon.toStdString();
    }
    for (const Symbols::Glyph& glyph : Symbols::table()) {
        EXPECT_TRUE(font.supportsCharacter(glyph.codepoint))
            << QString::fromUtf16(glyph.symbol).toStdString();
    }
    EXPECT_EQ(Symbols::glyph("no.such.symbol"),
              QString::fromUcs4(std::array{Symbols::fallbackCodepoint()}.data(), 1));
}

TEST(ThemeTest, SectionHeaderShowsItsTitleInUpperCase) {
    ViewHarness ui;
    ui.show("SectionHeader", {{"icon", "bolt.fill"}, {"title", "Triggers straße"}}, 300);
    // QML draws with the process's one theme, not an instance of its own.
    EXPECT_EQ(ui.engine().singletonInstance<Theme*>(qmlTypeId("Ordella", 1, 0, "Theme")), &Theme::shared());
    EXPECT_EQ(ui.text("sectionHeaderTitle"), "TRIGGERS STRASSE");
    ui.screenshots("SectionHeader");
}

TEST(ThemeTest, TheWindowIsTranslucentOnlyWhereTheDesktopComposites) {
    Theme& theme = Theme::shared();
    for (const AppTheme appTheme : {AppTheme::light, AppTheme::dark}) {
        ViewHarness::setTheme(appTheme);
        theme.setTranslucent(false);
        EXPECT_EQ(theme.windowFill().alphaF(), 1.0);
        theme.setTranslucent(true);
        EXPECT_NEAR(theme.windowFill().alphaF(), appTheme == AppTheme::dark ? 0.75 : 0.9, 0.01);
        EXPECT_EQ(theme.windowFill().rgb(), theme.windowBackground().rgb());
    }
    theme.setTranslucent(false);
}

TEST(ThemeTest, AnEmojiInANameIsDrawnFromTheColourEmojiFont) {
    UiSetup::prepare();
    QTextLayout layout(QString::fromUtf8("Launch \U0001F680"), QFont(Theme::shared().fontFamily(), 13));
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList families;
    bool missingGlyph = false;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        families << run.rawFont().familyName();
        missingGlyph = missingGlyph || run.glyphIndexes().contains(0);
    }
    EXPECT_TRUE(families.contains(Theme::emojiFamily())) << families.join(", ").toStdString();
    EXPECT_FALSE(missingGlyph);
}

// Keys are shown in a family that draws every character of a shortcut alike, judged by its
// drawing: the font configuration does not flag every monospaced family, and a family without
// the modifier symbols draws them from a wider fallback.
TEST(ThemeTest, ShortcutsAreDrawnInAFamilyOfEqualAdvances) {
    UiSetup::prepare();
    const QString chosen = Theme::shared().monospaceFamily();
    QFont font(chosen);
    font.setPixelSize(12);
    const QFontMetricsF metrics(font);
    for (const QChar character : Theme::shortcutCharacters()) {
        EXPECT_NEAR(metrics.horizontalAdvance(character), metrics.horizontalAdvance(u'W'), 0.2)
            << chosen.toStdString() << ": " << QString(character).toStdString();
    }
    const QString proportional = Theme::shared().fontFamily();
    EXPECT_EQ(Theme::monospacedAmong({proportional, chosen}, Theme::shortcutCharacters()), chosen);
    EXPECT_EQ(Theme::monospacedAmong({proportional}, Theme::shortcutCharacters()), QString());
    EXPECT_EQ(Theme::monospacedAmong({proportional}, QStringLiteral("ii")), proportional);
}
