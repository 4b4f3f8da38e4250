#include "Models/RestoreReport.h"

#include <QHash>

#include <gtest/gtest.h>

namespace {

using S = RestoreStatus;

// Application results from a short form: "r:Mail f:Notes" is Mail restored and Notes failed
// (r restored, p partially restored, s skipped, f failed, c cancelled); each reason is "why " and
// the name.
QList<AppRestoreResult> apps(const char* shortForm) {
    const QHash<QChar, S> statuses{{'r', S::restored},
                                   {'p', S::partiallyRestored},
                                   {'s', S::skipped},
                                   {'f', S::failed},
                                   {'c', S::cancelled}};
    QList<AppRestoreResult> results;
    for (const QString& item : QString::fromUtf8(shortForm).split(u' ', Qt::SkipEmptyParts)) {
        const QString name = item.mid(2);
        results.append({"org.example." + name, name, statuses.value(item.at(0)), "why " + name, {}});
    }
    return results;
}

TEST(RestoreStatusTest, RawValuesAreTheCaseNamesAndNothingElse) {
    for (const QString name : {"restored", "partiallyRestored", "skipped", "failed", "cancelled"}) {
        const std::optional<S> status = RestoreStatusText::fromRawValue(name);
        ASSERT_TRUE(status) << name.toStdString();
        EXPECT_EQ(RestoreStatusText::rawValue(*status), name);
    }
    for (const char* other : {"Restored", "", "restored "}) {
        EXPECT_FALSE(RestoreStatusText::fromRawValue(QString::fromLatin1(other))) << other;
    }
}

TEST(RestoreReportTest, DeriveStatus) {
    const struct {
        const char* apps;
        QStringList missing;
        S expected;
    } rows[] = {
        {"", {}, S::skipped},
        {"", {"Dell"}, S::skipped},
        {"r:A r:B", {}, S::restored},
        {"r:A", {"Dell"}, S::partiallyRestored},
        {"r:A f:B", {}, S::partiallyRestored},
        {"p:A", {}, S::partiallyRestored},
        {"c:A f:B", {}, S::partiallyRestored}, // cancelled counts as progress
        {"f:A s:B", {}, S::failed},
        {"s:A", {}, S::failed},
        {"f:A", {"Dell"}, S::partiallyRestored},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(RestoreReport::deriveStatus(apps(row.apps), row.missing), row.expected)
            << row.apps << " " << row.missing.join(',').toStdString();
    }
}

TEST(RestoreReportTest, Summary) {
    const QString failed = QStringLiteral("Partially restored \u2014 failed: ");
    const QString issues = QStringLiteral("Partially restored \u2014 issues with: ");
    const struct {
        S status;
        const char* apps;
        QStringList missing;
        QString expected;
    } rows[] = {
        {S::restored, "f:A", {"Dell"}, "Workspace restored"},
        {S::cancelled, "", {}, "Restore cancelled"},
        {S::skipped, "", {}, "Restore skipped"},
        {S::skipped, "s:A s:B", {}, "why A"},
        {S::failed, "f:A", {"Dell", "LG"}, "Display not connected: Dell | Display not connected: LG"},
        {S::failed, "s:A f:B", {}, "why A"},
        {S::failed, "", {}, "Failed to restore workspace"},
        {S::partiallyRestored, "r:A", {"Dell"}, "Display not connected: Dell"},
        {S::partiallyRestored,
         "f:Mail f:Notes",
         {"Dell"},
         "Display not connected: Dell | " + failed + "Mail, Notes"},
        {S::partiallyRestored, "r:A f:B p:C s:D", {}, failed + "B, D"},
        {S::partiallyRestored, "p:C r:A p:E", {}, issues + "C, E"},
        {S::partiallyRestored, "c:A r:B", {}, issues},
        {S::partiallyRestored, "c:A", {"Dell"}, "Display not connected: Dell"},
        {S::partiallyRestored, "p: p:", {}, issues + ", "}, // empty names still count
    };
    for (const auto& row : rows) {
        const RestoreReport report{"Work", row.status, apps(row.apps), 1.0, {}, row.missing};
        EXPECT_EQ(report.summary(), row.expected) << row.expected.toStdString();
    }
}

// A request's report says what its runs did: an application the last run found in its saved state
// is reported with what an earlier run did to it.
TEST(RestoreReportTest, OfRuns) {
    const QString skip = "Already in correct state (optimized skip)";
    const WindowRestoreResult moved{"Page",
                                    S::restored,
                                    "Geometry verified (match=title, attempts=1)",
                                    QRectF(0, 0, 800, 600),
                                    QRectF(0, 0, 800, 600),
                                    {"started", "moved"}};
    const auto app = [](const char* name, const QString& reason, QList<WindowRestoreResult> windows,
                        qsizetype leftOut = 0, QList<ClosedWindow> closed = {}) {
        AppRestoreResult result{"org.example." + QString(name), name, S::restored, reason, windows};
        result.windowsLeftOut = leftOut;
        result.closedWindows = closed;
        return result;
    };
    // Found in its saved state and left alone; its reason may say more.
    const auto alone = [&](const char* name, const QString& more = {}, qsizetype leftOut = 0) {
        AppRestoreResult result = app(name, more.isEmpty() ? skip : skip + "; " + more, {}, leftOut);
        result.foundInSavedState = true;
        return result;
    };
    const auto gone = [](const AppRestoreResult& result) {
        AppRestoreResult found = result;
        found.foundInSavedState = true;
        return found;
    };
    const QString note = "1 more saved windows not reopened";
    const ClosedWindow other{"Page 6", ClosedWindow::Why::outsideWorkspace};
    const ClosedWindow blank{"New Tab", ClosedWindow::Why::blank};
    const ClosedWindow music{"Music", ClosedWindow::Why::folderOutsideWorkspace};
    // A window a run found where it was saved, and the same with what earlier runs did to it.
    WindowRestoreResult still = moved;
    still.reason = "Already at correct position";
    still.actions.clear();
    WindowRestoreResult stillMoved = still;
    stillMoved.actions = moved.actions;
    const struct {
        const char* what;
        QList<QList<AppRestoreResult>> runs;
        QList<AppRestoreResult> expected;
    } rows[] = {
        {"reopened and moved, then found in place",
         {{app("Chromium", "All 1 windows restored", {moved})}, {alone("Chromium")}},
         {gone(app("Chromium", "All 1 windows restored; then found in its saved state", {moved}))}},
        {"left alone by every run", {{alone("XTerm")}, {alone("XTerm")}}, {alone("XTerm")}},
        {"put back by the last run",
         {{alone("XTerm")}, {app("XTerm", "All 1 windows restored", {moved})}},
         {app("XTerm", "All 1 windows restored", {moved})}},
        {"one run", {{alone("XTerm")}}, {alone("XTerm")}},
        {"an application the earlier run did not reach",
         {{app("XTerm", "All 1 windows restored", {moved})}, {alone("XTerm"), alone("Chromium")}},
         {gone(app("XTerm", "All 1 windows restored; then found in its saved state", {moved})),
          alone("Chromium")}},
        {"saved windows past the bound, which the left-alone reason also names",
         {{app("XTerm", "All 1 windows restored; " + note, {moved}, 1)}, {alone("XTerm", note, 1)}},
         {gone(app("XTerm", "All 1 windows restored; " + note + "; then found in its saved state", {moved},
                   1))}},
        {"a window the first run closed",
         {{app("Chromium", "All 1 windows restored", {moved}, 0, {other})}, {alone("Chromium")}},
         {gone(
             app("Chromium", "All 1 windows restored; then found in its saved state", {moved}, 0, {other}))}},
        {"a window a run moved and the last run found in place",
         {{app("XTerm", "All 1 windows restored", {moved})},
          {app("XTerm", "All 1 windows restored", {still})}},
         {app("XTerm", "All 1 windows restored", {stillMoved})}},
        {"a last run found in its saved state that has window results keeps its own",
         {{app("XTerm", "All 1 windows restored", {moved})}, {gone(app("XTerm", "Checked", {still}))}},
         {gone(app("XTerm", "Checked", {stillMoved}))}},
        {"windows closed by three runs, in the order of the runs",
         {{app("Files", "r", {}, 0, {music})},
          {app("Files", "r", {}, 0, {other})},
          {app("Files", "r", {}, 0, {blank})}},
         {app("Files", "r", {}, 0, {music, other, blank})}},
        {"one application listed twice, each with its own runs",
         {{app("XTerm", "All 1 windows restored", {moved}), alone("XTerm")},
          {alone("XTerm"), alone("XTerm")}},
         {gone(app("XTerm", "All 1 windows restored; then found in its saved state", {moved})),
          alone("XTerm")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QList<RestoreReport> runs;
        for (const QList<AppRestoreResult>& results : row.runs) {
            RestoreReport run;
            run.workspaceName = "Desk";
            run.appResults = results;
            run.status = RestoreReport::deriveStatus(results, {});
            run.duration = double(runs.size() + 1);
            runs.append(run);
        }
        const RestoreReport whole = RestoreReport::ofRuns(runs);
        EXPECT_EQ(whole.appResults, row.expected);
        EXPECT_EQ(whole.status, runs.last().status);
        EXPECT_EQ(whole.duration, runs.last().duration);
    }
}

} // namespace
