#include "ViewModels/AppCatalogue.h"
#include "Platform/Linux/DesktopEntryFile.h"

#include "Support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

void PrintTo(const AppInfo& app, std::ostream* os) {
    *os << (app.bundleIdentifier + " " + app.name + " " + app.icon).toStdString();
}

namespace {

void write(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

QByteArray entry(const QByteArray& name, const QByteArray& extra = {}) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" + extra;
}

QStringList names(const QList<AppInfo>& apps) {
    QStringList list;
    for (const AppInfo& app : apps) {
        list << app.name;
    }
    return list;
}

TEST(DesktopEntryFile, ReadsTheMainGroupWithEscapesAndLocalisedKeys) {
    const std::optional<DesktopEntryFile> file = DesktopEntryFile::parse(
        "# comment\n[Desktop Entry]\nName=Files\nName[de]=Dateien\nName[de_CH]=Dateie\n"
        "Comment=a\\sb\\nc\\\\d\\;\nIcon = org.files \nName=Second\n"
        "[Desktop Action new]\nName=New Window\n");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->value("Name"), "Files");
    EXPECT_EQ(file->value("Comment"), "a b\nc\\d;");
    EXPECT_EQ(file->value("Icon"), "org.files");
    EXPECT_EQ(file->localizedValue("Name", QLocale("de_CH")), "Dateie");
    EXPECT_EQ(file->localizedValue("Name", QLocale("de_AT")), "Dateien");
    EXPECT_EQ(file->localizedValue("Name", QLocale("fr_FR")), "Files");
    EXPECT_FALSE(DesktopEntryFile::parse("[Desktop Action x]\nName=A\n"));
}

class AppCatalogueTest : public ::testing::Test {
protected:
    QString user() const { return dir.filePath("user/applications"); }
    QString system() const { return dir.filePath("system/applications"); }

    QTemporaryDir dir;
};

TEST_F(AppCatalogueTest, FirstEntryOfAnIdDecidesAndOnlyShownApplicationsAreListed) {
    write(user() + "/org.example.Editor.desktop", entry("My Editor", "Icon=/icons/editor.png\n"));
    write(system() + "/org.example.Editor.desktop", entry("System Editor"));
    // Hidden and NoDisplay entries in the user's folder hide the system's copies too.
    write(user() + "/gone.desktop", entry("Gone", "Hidden=true\n"));
    write(system() + "/gone.desktop", entry("Gone Again"));
    write(user() + "/helper.desktop", entry("Helper", "NoDisplay=true\n"));
    write(system() + "/helper.desktop", entry("Helper Again"));
    write(system() + "/link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=https://x\n");
    write(system() + "/ordella.desktop", entry("Ordella"));
    write(system() + "/notes.DESKTOP", entry("Capitals"));
    write(system() + "/broken.desktop", "no group here\n");
    write(system() + "/nameless.desktop", "[Desktop Entry]\nType=Application\nExec=x\n");
    write(system() + "/kde/konsole.desktop", entry("Konsole", "Icon=utilities-terminal\n"));

    const QList<AppInfo> apps = AppCatalogue::scan({user(), dir.filePath("missing"), system()});
    EXPECT_EQ(apps, (QList<AppInfo>{{"kde-konsole.desktop", "Konsole", "utilities-terminal"},
                                    {"org.example.Editor.desktop", "My Editor", "/icons/editor.png"},
                                    {"nameless.desktop", "nameless", ""}}));
}

TEST_F(AppCatalogueTest, SortsByNameInPlainOrderKeepingEqualNamesInScanOrder) {
    write(system() + "/a.desktop", entry("Zoom"));
    write(system() + "/b.desktop", entry("calendar"));
    write(system() + "/c.desktop", entry("Books"));
    write(system() + "/d.desktop", entry(""));
    write(system() + "/e.desktop", entry("Books"));
    const QList<AppInfo> apps = AppCatalogue::scan({system()});
    EXPECT_EQ(names(apps), (QStringList{"", "Books", "Books", "Zoom", "calendar"}));
    EXPECT_EQ(apps[1].bundleIdentifier, "c.desktop");
    EXPECT_TRUE(AppCatalogue::scan({dir.filePath("none")}).isEmpty());
}

TEST_F(AppCatalogueTest, LoadDeliversTheScan) {
    write(user() + "/one.desktop", entry("One"));
    const QList<AppInfo> apps = QCoro::waitFor(AppCatalogue::load({user()}));
    EXPECT_EQ(names(apps), QStringList{"One"});
}

} // namespace
