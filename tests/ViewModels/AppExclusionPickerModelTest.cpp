#include "ViewModels/AppExclusionPickerModel.h"
#include "Services/Storage/SettingsManager.h"

#include "Support/TestPlatform.h"

#include <gtest/gtest.h>

namespace {

QStringList field(const QVariantList& entries, const char* key) {
    QStringList values;
    for (const QVariant& e : entries) {
        values << e.toMap().value(key).toString();
    }
    return values;
}

class AppExclusionPickerModelTest : public ::testing::Test {
protected:
    AppExclusionPickerModelTest() {
        settings.setExcludedAppBundleIDs({});
        picker.setCatalogue({{"org.zed.Alpha.desktop", "Alpha", "alpha"},
                             {"org.ant.Music.desktop", "Music", "/icons/music.png"},
                             {"terminal.desktop", "Terminal", ""}},
                            false);
    }

    TestPlatform platform;
    SettingsManager settings;
    AppExclusionPickerModel picker{settings};
};

TEST_F(AppExclusionPickerModelTest, ChipsFollowTheIdentifiersAndTheCatalogue) {
    EXPECT_FALSE(picker.hasExclusions());
    settings.setExcludedAppBundleIDs({"org.zed.Alpha.desktop", "org.ant.Music.desktop", "gone.desktop"});
    // Identifier order, not name order; an application not installed goes by its identifier.
    EXPECT_EQ(field(picker.chips(), "name"), (QStringList{"gone.desktop", "Music", "Alpha"}));
    EXPECT_EQ(field(picker.chips(), "icon"), (QStringList{"", "/icons/music.png", "alpha"}));
    picker.setCatalogue({}, true);
    EXPECT_EQ(field(picker.chips(), "name"), (QStringList{"Loading...", "Loading...", "Loading..."}));
    picker.togglePicker();
    EXPECT_FALSE(picker.isShowingPicker()) << "the Add button is off while the catalogue loads";
}

TEST_F(AppExclusionPickerModelTest, SearchFindsNameOrIdentifierIgnoringCase) {
    struct Row {
        QString search;
        QStringList names;
        QString emptyText;
    };
    const QList<Row> rows = {
        {"", {"Alpha", "Music", "Terminal"}, ""},
        {"MUS", {"Music"}, ""},
        {"ZED", {"Alpha"}, ""},
        {" ", {}, "No apps match ' '"},
        {"xyz", {}, "No apps match 'xyz'"},
    };
    for (const Row& row : rows) {
        picker.setSearchText(row.search);
        EXPECT_EQ(field(picker.filteredApps(), "name"), row.names) << row.search.toStdString();
        if (row.names.isEmpty()) {
            EXPECT_EQ(picker.emptyText(), row.emptyText);
            EXPECT_EQ(picker.emptySymbol(), "magnifyingglass");
        }
    }
    picker.clearSearch();
    settings.setExcludedAppBundleIDs({"org.zed.Alpha.desktop", "org.ant.Music.desktop", "terminal.desktop"});
    EXPECT_TRUE(picker.filteredApps().isEmpty());
    EXPECT_EQ(picker.emptyText(), "No more apps to add");
    EXPECT_EQ(picker.emptySymbol(), "checkmark.circle.fill");
}

TEST_F(AppExclusionPickerModelTest, ChoicesAreStoredAtOnce) {
    picker.togglePicker();
    picker.setSearchText("term");
    picker.select("terminal.desktop");
    EXPECT_FALSE(picker.isShowingPicker());
    picker.togglePicker();
    EXPECT_EQ(picker.searchText(), "") << "the list opens with an empty search";
    EXPECT_EQ(field(picker.filteredApps(), "name"), (QStringList{"Alpha", "Music"}));
    EXPECT_EQ(SettingsManager().excludedAppBundleIDs(), QSet<QString>{"terminal.desktop"});
    int chipChanges = 0;
    QObject::connect(&picker, &AppExclusionPickerModel::chipsChanged, [&] { ++chipChanges; });
    picker.remove("terminal.desktop");
    EXPECT_EQ(chipChanges, 1);
    EXPECT_TRUE(SettingsManager().excludedAppBundleIDs().isEmpty());
}

} // namespace
