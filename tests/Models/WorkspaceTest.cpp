#include "Models/Workspace.h"
#include "Support/WorkspaceSamples.h"

#include <gtest/gtest.h>

TEST(WorkspaceTrigger, DescriptionsAndEquality) {
    const QUuid id = QUuid::createUuid();
    const struct {
        WorkspaceTrigger::TriggerType type;
        const char* text;
    } cases[] = {
        {WorkspaceTrigger::Login{}, "After login"},
        {WorkspaceTrigger::DisplayConnected{"UUID-1", "Studio \"A\""}, "When \"Studio \"A\"\" connected"},
        {WorkspaceTrigger::DisplayDisconnected{"UUID-1", "TV"}, "When \"TV\" disconnected"},
        {WorkspaceTrigger::TimeOfDay{9, 0, {1}}, "09:00"},
        {WorkspaceTrigger::TimeOfDay{7, 5, {}}, "07:05"},
        {WorkspaceTrigger::TimeOfDay{23, 59, {1, 2}}, "23:59"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ((WorkspaceTrigger{id, c.type}.displayDescription()), QString::fromUtf8(c.text));
    }
    // The case counts, not only its values.
    EXPECT_NE((WorkspaceTrigger{id, cases[1].type}),
              (WorkspaceTrigger{id, WorkspaceTrigger::DisplayDisconnected{"UUID-1", "Studio \"A\""}}));
}

TEST(Workspace, RestoreAfterLoginKeepsOneLoginTrigger) {
    Workspace w = WorkspaceSamples::full(); // holds one login trigger among three others
    const WorkspaceTrigger duplicate{QUuid::createUuid(), WorkspaceTrigger::Login{}};
    w.triggers.append(duplicate);
    ASSERT_TRUE(w.restoreAfterLogin());
    const auto before = w.triggers;
    w.setRestoreAfterLogin(true);
    EXPECT_EQ(w.triggers, before);

    w.setRestoreAfterLogin(false);
    EXPECT_FALSE(w.restoreAfterLogin());
    ASSERT_EQ(w.triggers.size(), 3);
    EXPECT_EQ(w.triggers, (QList<WorkspaceTrigger>{before[1], before[2], before[3]}));

    w.setRestoreAfterLogin(true);
    w.setRestoreAfterLogin(true);
    ASSERT_EQ(w.triggers.size(), 4);
    EXPECT_TRUE(w.triggers.last().isLogin());
    EXPECT_FALSE(w.triggers.last().id.isNull());
}

TEST(Workspace, MatchesSearchesNamesTitlesAndTabs) {
    const Workspace w = WorkspaceSamples::full();
    const struct {
        const char* query;
        bool found;
    } cases[] = {
        {"client", true},       // name, any case
        {"EDITOR", true},       // application name
        {"org.example", false}, // bundle identifiers are not searched
        {"examp", true},        // window or tab title
        {"b=c", true},          // tab URL
        {"report.pdf", false},  // documents are not searched
        {" work", true},        // the query is not trimmed...
        {"work ", false},       // ...so a trailing blank must be there too
        {"zzz", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(w.matches(QString::fromUtf8(c.query)), c.found) << c.query;
    }
    Workspace untitled = WorkspaceSamples::plain(QStringLiteral("X"), WorkspaceSamples::date(0));
    untitled.appSnapshots = {
        {QUuid::createUuid(), "b", "App", {w.appSnapshots[0].windowSnapshots[0]}, false}};
    untitled.appSnapshots[0].windowSnapshots[0].windowTitle.reset();
    EXPECT_TRUE(untitled.matches(QStringLiteral("b=c"))); // no title: tabs still searched
}
