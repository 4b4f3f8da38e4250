#include "Models/RestoreReport.h"

#include <gtest/gtest.h>

namespace {

using S = RestoreStatus;

AppRestoreResult app(S status, const QString& name, const QString& reason = {}) {
    return {QStringLiteral("com.example.") + name, name, status, reason, {}};
}

TEST(RestoreStatusTest, RawValuesAreTheCaseNamesAndNothingElse) {
    const QStringList names{"restored", "partiallyRestored", "skipped", "failed", "cancelled"};
    for (const QString& name : names) {
        const std::optional<S> status = RestoreStatusText::fromRawValue(name);
        ASSERT_TRUE(status) << name.toStdString();
        EXPECT_EQ(RestoreStatusText::rawValue(*status), name);
    }
    for (const char* other : {"Restored", "", "partially_restored", "restored "}) {
        EXPECT_FALSE(RestoreStatusText::fromRawValue(QString::fromLatin1(other))) << other;
    }
}

TEST(RestoreReportTest, DeriveStatus) {
    struct Row {
        const char* name;
        QList<AppRestoreResult> apps;
        QStringList missing;
        S expected;
    };
    const QList<Row> rows{
        {"no apps", {}, {}, S::skipped},
        {"no apps, display missing", {}, {"Dell"}, S::skipped},
        {"all restored", {app(S::restored, "A"), app(S::restored, "B")}, {}, S::restored},
        {"all restored, display missing", {app(S::restored, "A")}, {"Dell"}, S::partiallyRestored},
        {"one failed among restored", {app(S::restored, "A"), app(S::failed, "B")}, {}, S::partiallyRestored},
        {"partially restored", {app(S::partiallyRestored, "A")}, {}, S::partiallyRestored},
        {"cancelled counts as progress",
         {app(S::cancelled, "A"), app(S::failed, "B")},
         {},
         S::partiallyRestored},
        {"failed and skipped", {app(S::failed, "A"), app(S::skipped, "B")}, {}, S::failed},
        {"only skipped", {app(S::skipped, "A")}, {}, S::failed},
        {"all failed, display missing", {app(S::failed, "A")}, {"Dell"}, S::partiallyRestored},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RestoreReport::deriveStatus(row.apps, row.missing), row.expected) << row.name;
    }
}

TEST(RestoreReportTest, Summary) {
    struct Row {
        S status;
        QList<AppRestoreResult> apps;
        QStringList missing;
        QString expected;
    };
    const QString failedPrefix = QStringLiteral("Partially restored \u2014 failed: ");
    const QString issuesPrefix = QStringLiteral("Partially restored \u2014 issues with: ");
    const QList<Row> rows{
        {S::restored, {app(S::failed, "A", "ignored")}, {"Dell"}, "Workspace restored"},
        {S::cancelled, {}, {}, "Restore cancelled"},
        {S::skipped, {}, {}, "Restore skipped"},
        {S::skipped,
         {app(S::skipped, "A", "No saved windows"), app(S::skipped, "B", "x")},
         {},
         "No saved windows"},
        {S::failed,
         {app(S::failed, "A", "x")},
         {"Dell", "LG"},
         "Display not connected: Dell | Display not connected: LG"},
        {S::failed, {app(S::skipped, "A", "Not installed"), app(S::failed, "B", "x")}, {}, "Not installed"},
        {S::failed, {}, {}, "Failed to restore workspace"},
        {S::partiallyRestored, {app(S::restored, "A")}, {"Dell"}, "Display not connected: Dell"},
        {S::partiallyRestored,
         {app(S::failed, "Mail"), app(S::failed, "Notes")},
         {"Dell"},
         "Display not connected: Dell | " + failedPrefix + "Mail, Notes"},
        {S::partiallyRestored,
         {app(S::restored, "A"), app(S::failed, "B"), app(S::partiallyRestored, "C"), app(S::skipped, "D")},
         {},
         failedPrefix + "B, D"},
        {S::partiallyRestored,
         {app(S::partiallyRestored, "C"), app(S::restored, "A"), app(S::partiallyRestored, "E")},
         {},
         issuesPrefix + "C, E"},
        {S::partiallyRestored, {app(S::cancelled, "A"), app(S::restored, "B")}, {}, issuesPrefix},
        {S::partiallyRestored, {app(S::cancelled, "A")}, {"Dell"}, "Display not connected: Dell"},
        {S::partiallyRestored,
         {app(S::partiallyRestored, ""), app(S::partiallyRestored, "")},
         {},
         issuesPrefix + ", "},
    };
    for (const Row& row : rows) {
        RestoreReport report{QStringLiteral("Work"), row.status, row.apps, 1.0, {}, row.missing};
        EXPECT_EQ(report.summary(), row.expected) << row.expected.toStdString();
    }
}

} // namespace
