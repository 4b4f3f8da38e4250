#include "Models/Workspace.h"
#include "Support/WorkspaceSamples.h"

#include <QSet>

#include <gtest/gtest.h>

#include <limits>

TEST(WorkspaceAppearance, TablesHaveTheirFixedShape) {
    const auto& categories = Workspace::categorizedIcons();
    ASSERT_EQ(categories.size(), 13);
    EXPECT_EQ(categories.first().name, QStringLiteral("Work"));
    EXPECT_EQ(categories.last().name, QStringLiteral("Misc"));
    const QStringList& icons = Workspace::availableIcons();
    ASSERT_EQ(icons.size(), 224);
    EXPECT_EQ(QSet<QString>(icons.begin(), icons.end()).size(), 206);
    EXPECT_EQ(icons.first(), QStringLiteral("briefcase.fill"));
    EXPECT_EQ(icons.last(), QStringLiteral("square.stack.3d.up.fill"));
    ASSERT_EQ(Workspace::availableGradients().size(), 32);
}

TEST(WorkspaceAppearance, IconsFromCommonWords) {
    const struct {
        const char* name;
        const char* icon;
    } cases[] = {
        {"  Design\t", "paintbrush.fill"},
        {"Client Work", "briefcase.fill"},
        {"Startup", "paintpalette.fill"},
        {"Quiet evening", "macwindow.on.rectangle"},
        {"Laptops", "wrench.and.screwdriver.fill"},
        {"DevOps", "server.rack"},                 // exact keyword beats "dev" and "ops"
        {"Team devops board", "server.rack"},      // the longest keyword found wins
        {"home work", "briefcase.fill"},           // equally long: the one earlier in the table
        {"Things to do", "checkmark.circle.fill"}, // keywords may hold a blank
    };
    for (const auto& c : cases) {
        const Workspace w = WorkspaceSamples::plain(QString::fromUtf8(c.name), WorkspaceSamples::date(0));
        EXPECT_EQ(w.resolvedIconName(), QString::fromUtf8(c.icon)) << c.name;
    }
    EXPECT_FALSE(WorkspaceAppearance::iconForCommonTitle(QStringLiteral(" \t ")).has_value());

    Workspace chosen = WorkspaceSamples::plain(QStringLiteral("Work"), WorkspaceSamples::date(0));
    chosen.iconName = QStringLiteral("not.in.the.table");
    EXPECT_EQ(chosen.resolvedIconName(), QStringLiteral("not.in.the.table"));
}

TEST(WorkspaceAppearance, DerivedLookIsStableAndAlwaysInRange) {
    // Pinned: the derived look of a workspace must not change between runs or releases.
    EXPECT_EQ(WorkspaceAppearance::nameHash(QStringLiteral("a")), 0xaf63dc4c8601ec8cULL);
    const Workspace evening = WorkspaceSamples::plain(QStringLiteral("Evening"), WorkspaceSamples::date(0));
    EXPECT_EQ(evening.resolvedIconName(), QStringLiteral("eyedropper.full"));
    EXPECT_EQ(evening.resolvedGradientIndex(), 15);

    const struct {
        qint64 stored;
        qsizetype index;
    } cases[] = {{0, 0},
                 {31, 31},
                 {37, 5},
                 {-1, 31},
                 {-32, 0},
                 {-33, 31},
                 {std::numeric_limits<qint64>::min(), 0},
                 {std::numeric_limits<qint64>::max(), 31}};
    for (const auto& c : cases) {
        Workspace w = evening;
        w.gradientIndex = c.stored;
        EXPECT_EQ(w.resolvedGradientIndex(), c.index) << c.stored;
    }
    Workspace teal = evening;
    teal.gradientIndex = 37;
    EXPECT_EQ(teal.gradient(), (WorkspaceAppearance::ColourPair{"teal", "teal"}));
    teal.gradientIndex = 31;
    EXPECT_EQ(teal.gradient(), (WorkspaceAppearance::ColourPair{"indigo", "cyan"}));
}
