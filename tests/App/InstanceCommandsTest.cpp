#include "App/InstanceCommands.h"
#include "App/InstanceSocketFolder.h"
#include "App/RestoreRunText.h"
#include "App/SingleInstance.h"
#include "Services/Restore/RestoreBounds.h"

#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Restore/RestoreBounds.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/FullDisk.h"
#include "Support/QtPrinters.h"
#include "Support/ScriptedDesktop.h"
#include "Support/TestPlatform.h"
#include "ViewModels/PopoverModel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

#include <sys/resource.h>

namespace {

TEST(InstanceCommands, TheWordAfterACommandIsTheNameWhateverItLooksLike) {
    struct Case {
        QStringList arguments;
        QString command;
        QString name;
        QString error;
        bool help = false;
        bool version = false;
    };
    const QList<Case> cases{
        {{"--help"}, "show", {}, {}, true},
        {{"-h"}, "show", {}, {}, true},
        {{"--version"}, "show", {}, {}, false, true},
        {{"--save", "--help"}, "save", "--help", {}},
        {{"--bogus\u202Egnp.exe"},
         "show",
         {},
         QString::fromUtf8("Unknown or incomplete option: --bogus\xef\xbf\xbdgnp.exe")},
        {{"--save", "Desk"}, "save", "Desk", {}},
        {{"--save", "A", "--restore", "B"}, "save", "A", "Unknown or incomplete option: --restore"},
        {{"--restore", "-reverse"}, "restore", "-reverse", {}},
        {{"--save", "--demo"}, "save", "--demo", {}},
        {{"--save", "--", "-style"}, "save", "-style", {}},
        {{"--restore", "--"}, "restore", "--", {}},
        {{"--save", ""}, "save", "", "--save needs the name of a workspace"},
        {{"--restore", "  "}, "restore", "  ", "--restore needs the name of a workspace"},
        {{"--save"}, "show", {}, "Unknown or incomplete option: --save"},
        {{"--save", "A", "--restore", "B"}, "save", "A", "Unknown or incomplete option: --restore"},
        {{"--bogus\x1b[2J"},
         "show",
         {},
         QString::fromUtf8("Unknown or incomplete option: --bogus\xef\xbf\xbd[2J")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const InstanceCommands::Parsed parsed = InstanceCommands::parse(QStringList{"ordella"} + c.arguments);
        const QJsonObject request = QJsonDocument::fromJson(parsed.request).object();
        EXPECT_EQ(request.value("command").toString(), c.command);
        EXPECT_EQ(request.value("name").toString(), c.name);
        EXPECT_EQ(parsed.error, c.error);
        EXPECT_EQ(parsed.help, c.help);
        EXPECT_EQ(parsed.version, c.version);
    }
}

TEST(InstanceCommands, TheReportPrintsDefinedNumbersAndNoControlCharacters) {
    RestoreReport report;
    report.workspaceName = "Desk\x1b[31m";
    report.status = RestoreStatus::partiallyRestored;
    AppRestoreResult app{"org.example.Editor", "Editor\x07", RestoreStatus::partiallyRestored, "1/2", {}};
    const double huge = 3e9;
    app.windowResults = {
        {QString("\x1b]0;owned\x07Notes\nfake line"), RestoreStatus::restored, "ok",
         QRectF(huge, -huge, 800, 600), QRectF(std::numeric_limits<double>::quiet_NaN(), 1e300, 10.6, -0.4)},
        {std::nullopt, RestoreStatus::failed, "No matching AX window found", QRectF(1, 2, 3, 4),
         std::nullopt},
    };
    report.appResults = {app};
    const QString text = RestoreRunText::describe(RestoreRun{report, {report}, 0, std::nullopt});
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 5) << text.toStdString();
    const QString r = QString(QChar::ReplacementCharacter);
    EXPECT_EQ(lines[0], "Restore of \"Desk" + r + "[31m\": partially restored in 0.0 s");
    EXPECT_EQ(lines[2],
              "  Editor" + r + " (org.example.Editor): partially restored - 1 of 2 windows restored");
    EXPECT_EQ(lines[3], "    \"" + r + "]0;owned" + r + "Notes" + r +
                            "fake line\": restored - ok, asked 3000000000,-3000000000 800x600, got "
                            "0,9223372036854775807 10x0");
    EXPECT_EQ(lines[4], "    \"untitled\": failed - No matching AX window found, asked 1,2 3x4, got ?");

    // Nor directional overrides, isolates or paragraph separators, which would reorder the rest
    // of the line.
    report.appResults.first().appName = QString::fromUtf8("\u202Egnp.exe \u2067x\u2069\u2029");
    EXPECT_EQ(RestoreRunText::describe(RestoreRun{report, {report}, 0, std::nullopt}).split('\n').value(2),
              "  " + r + "gnp.exe " + r + "x" + r + r +
                  " (org.example.Editor): partially restored - 1 of 2 windows restored");

    // A reply read back carries no control character either, line breaks apart.
    const QByteArray reply = R"({"ok": true, "output": "a\u001b[2Jb\nc\u009bd"})";
    EXPECT_EQ(InstanceCommands::readReply(reply), std::make_pair(true, "a" + r + "[2Jb\nc" + r + "d"));
}

// What the command line prints of a restore: the whole request's time, what the first run did and
// what the second found on checking, in words, with counts that agree with their numbers.
TEST(InstanceCommands, TheReportTellsWhatTheRestoreDid) {
    const QRectF frame(0, 25, 800, 600);
    const QString skip = "Already in correct state (optimized skip)";
    const QString inPlace = "Already at correct position (optimized skip)";
    const QString verified = "Geometry verified (match=title, attempts=1)";
    // What the placer finds beside each of these reasons.
    const QHash<QString, WindowFinding> findings{
        {inPlace, WindowFinding::inPlace},
        {verified, WindowFinding::inPlace},
        {"Already at correct position", WindowFinding::inPlace},
        {"Window minimized", WindowFinding::minimised},
        {"App adjusted geometry (delta: 30pt, match=title)", WindowFinding::keptOwnFrame},
    };
    const auto window = [frame, &findings](const char* title, RestoreStatus status, const char* reason) {
        WindowRestoreResult result{QString(title), status, reason, frame, frame};
        result.finding = findings.value(reason, WindowFinding::none);
        return result;
    };
    // An application a run found in its saved state, with the saved windows left out past the bound.
    const auto alone = [&skip](const char* id, const char* name, qsizetype leftOut = 0) {
        AppRestoreResult result{id, name, RestoreStatus::restored, skip, {}};
        if (leftOut > 0) {
            result.status = RestoreStatus::partiallyRestored;
            result.reason += "; " + RestoreBounds::windowsLeftOut(leftOut);
        }
        result.foundInSavedState = true;
        result.windowsLeftOut = leftOut;
        return result;
    };
    const auto leavingOut = [](AppRestoreResult result, qsizetype leftOut, QList<ClosedWindow> closed = {}) {
        result.windowsLeftOut = leftOut;
        result.closedWindows = closed;
        return result;
    };
    // A result with what was done to its window.
    const auto done = [](WindowRestoreResult result, const QStringList& actions) {
        result.actions = actions;
        return result;
    };
    // A browser window the restore opened and moved, not wholly as saved (back in the default
    // profile when that is all that keeps it).
    const auto started = [&window](const char* title, const QString& reason, bool inDefaultProfile = false) {
        WindowRestoreResult opened = window(title, RestoreStatus::partiallyRestored, qPrintable(reason));
        opened.actions = QStringList{"started", "moved"};
        opened.backInDefaultProfile = inDefaultProfile;
        return opened;
    };
    const QString refused =
        "Profile refused (Not a browser's data folder: /x); opened in the default profile";
    const QString notGiven =
        "Tabs not reopened: https://e.x/?q=bbbb (1 of 2 tabs); not handed to the browser: an "
        "address longer than 8192 characters";
    struct Case {
        const char* what;
        // Per application: its first run, then its second.
        QList<std::pair<AppRestoreResult, AppRestoreResult>> apps;
        QSet<QString> runningBefore;
        QStringList lines;
    };
    const QList<Case> cases{
        {"a quit application started again",
         {{{"xclock",
            "XClock",
            RestoreStatus::restored,
            "All 1 windows restored",
            {done(window("xclock", RestoreStatus::restored, qPrintable(verified)), {"moved"})}},
           alone("xclock", "XClock")}},
         {"xterm"},
         {"  XClock (xclock): restored - started; 1 window restored",
          "    \"xclock\": restored - moved; checked: in place, asked 0,25 800x600, got 0,25 800x600"}},
        {"windows moved and minimised",
         {{{"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 2 windows restored",
            {done(window("one", RestoreStatus::restored, qPrintable(verified)), {"moved"}),
             done(window("two", RestoreStatus::restored, "Window minimized"), {"minimised"})}},
           {"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 2 windows restored",
            {window("one", RestoreStatus::restored, qPrintable(inPlace)),
             window("two", RestoreStatus::restored, "Window minimized")}}}},
         {"xterm"},
         {"  XTerm (xterm): restored - all 2 windows restored",
          "    \"one\": restored - moved; checked: in place, asked 0,25 800x600, got 0,25 800x600",
          "    \"two\": restored - minimised; checked: minimised, asked 0,25 800x600, got 0,25 800x600"}},
        {"a window shown and moved by a first attempt, found in place by the next",
         {{{"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 1 windows restored",
            {done(window("one", RestoreStatus::restored, "Already at correct position"),
                  {"shown", "moved"})}},
           {"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 1 windows restored",
            {window("one", RestoreStatus::restored, qPrintable(inPlace))}}}},
         {"xterm"},
         {"  XTerm (xterm): restored - 1 window restored",
          "    \"one\": restored - shown, moved; checked: in place, asked 0,25 800x600, got 0,25 800x600"}},
        {"saved windows past the bound of one application",
         {{leavingOut({"xterm",
                       "XTerm",
                       RestoreStatus::partiallyRestored,
                       "All 1 windows restored; " + RestoreBounds::windowsLeftOut(9999),
                       {done(window("one", RestoreStatus::restored, qPrintable(verified)), {"moved"})}},
                      9999),
           leavingOut({"xterm",
                       "XTerm",
                       RestoreStatus::partiallyRestored,
                       "All 1 windows restored; " + RestoreBounds::windowsLeftOut(9999),
                       {window("one", RestoreStatus::restored, qPrintable(inPlace))}},
                      9999)}},
         {"xterm"},
         {"  XTerm (xterm): partially restored - 1 window restored; 9999 more saved windows not "
          "reopened: one restore reopens at most 100 windows of an application",
          "    \"one\": restored - moved; checked: in place, asked 0,25 800x600, got 0,25 800x600"}},
        {"saved windows past the bound, the others found in their saved state by the check",
         {{leavingOut({"xterm",
                       "XTerm",
                       RestoreStatus::partiallyRestored,
                       "All 1 windows restored; " + RestoreBounds::windowsLeftOut(1),
                       {done(window("one", RestoreStatus::restored, qPrintable(verified)), {"moved"})}},
                      1),
           alone("xterm", "XTerm", 1)}},
         {"xterm"},
         {"  XTerm (xterm): partially restored - 1 window restored; 1 more saved windows not "
          "reopened: one restore reopens at most 100 windows of an application",
          "    \"one\": restored - moved; checked: in place, asked 0,25 800x600, got 0,25 800x600"}},
        {"nothing to do",
         {{alone("xterm", "XTerm"), alone("xterm", "XTerm")}},
         {"xterm"},
         {"  XTerm (xterm): restored - already in its saved state"}},
        {"the browser's other windows closed",
         {{leavingOut({"chromium.desktop",
                       "Chromium",
                       RestoreStatus::restored,
                       "All 1 windows restored",
                       {done(window("Page 1 - Chromium", RestoreStatus::restored, qPrintable(verified)),
                             {"moved"})}},
                      0,
                      {{"Page 6 - Chromium", ClosedWindow::Why::outsideWorkspace},
                       {"New Tab", ClosedWindow::Why::blank}}),
           alone("chromium.desktop", "Chromium")}},
         {"chromium.desktop"},
         {"  Chromium (chromium.desktop): restored - 1 window restored; closed \"Page 6 - Chromium\" (not in "
          "the "
          "workspace); closed \"New Tab\" (a blank page)",
          "    \"Page 1 - Chromium\": restored - moved; checked: in place, asked 0,25 800x600, got 0,25 "
          "800x600"}},
        {"nothing to do for a shown and a minimised window",
         {{{"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 2 windows restored",
            {window("one", RestoreStatus::restored, qPrintable(inPlace)),
             window("two", RestoreStatus::restored, "Window minimized")}},
           {"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 2 windows restored",
            {window("one", RestoreStatus::restored, qPrintable(inPlace)),
             window("two", RestoreStatus::restored, "Window minimized")}}}},
         {"xterm"},
         {"  XTerm (xterm): restored - all 2 windows restored",
          "    \"one\": restored - already in place; checked: in place, asked 0,25 800x600, got 0,25 800x600",
          "    \"two\": restored - already minimised; checked: minimised, asked 0,25 800x600, got 0,25 "
          "800x600"}},
        {"windows brought back from another desktop, one of them minimised there, one moved again",
         {{{"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 3 windows restored",
            {done(window("one", RestoreStatus::restored, "Already at correct position"), {"moved"}),
             done(window("two", RestoreStatus::restored, "Window minimized"), {"moved", "minimised"}),
             done(window("three", RestoreStatus::restored, qPrintable(verified)), {"moved"})}},
           {"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 3 windows restored",
            {window("one", RestoreStatus::restored, qPrintable(inPlace)),
             window("two", RestoreStatus::restored, "Window minimized"),
             done(window("three", RestoreStatus::restored, qPrintable(verified)), {"moved"})}}}},
         {"xterm"},
         {"  XTerm (xterm): restored - all 3 windows restored",
          "    \"one\": restored - moved; checked: in place, asked 0,25 800x600, got 0,25 800x600",
          "    \"two\": restored - moved, minimised; checked: minimised, asked 0,25 800x600, got 0,25 "
          "800x600",
          "    \"three\": restored - moved; checked: moved again, asked 0,25 800x600, got 0,25 800x600"}},
        {"a move that did not reach its frame, and one that moved nothing",
         {{{"xterm",
            "XTerm",
            RestoreStatus::failed,
            "0/2 windows restored. Issues: x",
            {done(window("one", RestoreStatus::failed, "Geometry application failed after 4 attempts"),
                  {"moved"}),
             window("two", RestoreStatus::failed, "Geometry application failed after 4 attempts")}},
           {"xterm",
            "XTerm",
            RestoreStatus::failed,
            "0/2 windows restored. Issues: x",
            {window("one", RestoreStatus::failed, "Geometry application failed after 4 attempts"),
             window("two", RestoreStatus::failed, "Geometry application failed after 4 attempts")}}}},
         {"xterm"},
         {"  XTerm (xterm): failed - 0 of 2 windows restored",
          "    \"one\": failed - moved; checked: Geometry application failed after 4 attempts, asked 0,25 "
          "800x600, got 0,25 800x600",
          "    \"two\": failed - Geometry application failed after 4 attempts; checked: Geometry application "
          "failed after 4 attempts, asked 0,25 800x600, got 0,25 800x600"}},
        {"a frame the application would not take",
         {{{"org.example.Editor",
            "Editor",
            RestoreStatus::partiallyRestored,
            "0/1 windows restored. Issues: x",
            {done(window("notes", RestoreStatus::partiallyRestored,
                         "App adjusted geometry (delta: 30pt, match=title)"),
                  {"moved"})}},
           {"org.example.Editor",
            "Editor",
            RestoreStatus::partiallyRestored,
            "0/1 windows restored. Issues: x",
            {window("notes", RestoreStatus::partiallyRestored,
                    "App adjusted geometry (delta: 30pt, match=title)")}}}},
         {"org.example.Editor"},
         {"  Editor (org.example.Editor): partially restored - 0 of 1 window restored",
          "    \"notes\": partially restored - moved, but the application kept a frame of its own; checked: "
          "not moved: the application kept a frame of its own, asked 0,25 800x600, got 0,25 800x600"}},
        {"a browser's windows back with every tab, in the default profile for a refused one",
         {{{"chromium.desktop",
            "Chromium",
            RestoreStatus::partiallyRestored,
            "x",
            {started("Page 1 - Chromium", refused, true), started("Page 3 - Chromium", refused, true)}},
           {"chromium.desktop", "Chromium", RestoreStatus::partiallyRestored, refused, {}}}},
         {},
         {"  Chromium (chromium.desktop): partially restored - started; all 2 windows restored; " + refused,
          "    \"Page 1 - Chromium\": partially restored - started, moved; " + refused +
              ", asked 0,25 800x600, got 0,25 800x600",
          "    \"Page 3 - Chromium\": partially restored - started, moved; " + refused +
              ", asked 0,25 800x600, got 0,25 800x600"}},
        {"a tab the browser is not given",
         {{{"chromium.desktop",
            "Chromium",
            RestoreStatus::partiallyRestored,
            "x",
            {started("Page 1 - Chromium", notGiven)}},
           {"chromium.desktop", "Chromium", RestoreStatus::partiallyRestored, notGiven, {}}}},
         {"chromium.desktop"},
         {"  Chromium (chromium.desktop): partially restored - 0 of 1 window restored",
          "    \"Page 1 - Chromium\": partially restored - started, moved; " + notGiven +
              ", asked 0,25 800x600, got 0,25 800x600"}},
        {"a window moved and one minimised by the first run, the application found as saved by the check",
         {{{"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 2 windows restored",
            {done(window("one", RestoreStatus::restored, qPrintable(verified)), {"moved"}),
             done(window("two", RestoreStatus::restored, "Window minimized"), {"minimised"})}},
           alone("xterm", "XTerm")}},
         {"xterm"},
         {"  XTerm (xterm): restored - all 2 windows restored",
          "    \"one\": restored - moved; checked: in place, asked 0,25 800x600, got 0,25 800x600",
          "    \"two\": restored - minimised; checked: minimised, asked 0,25 800x600, got 0,25 800x600"}},
        {"one application listed twice, a window each",
         {{{"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 1 windows restored",
            {done(window("one", RestoreStatus::restored, qPrintable(verified)), {"moved"})}},
           alone("xterm", "XTerm")},
          {{"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 1 windows restored",
            {done(window("two", RestoreStatus::restored, "Window minimized"), {"minimised"})}},
           {"xterm",
            "XTerm",
            RestoreStatus::restored,
            "All 1 windows restored",
            {window("two", RestoreStatus::restored, "Window minimized")}}}},
         {"xterm"},
         {"  XTerm (xterm): restored - 1 window restored",
          "    \"one\": restored - moved; checked: in place, asked 0,25 800x600, got 0,25 800x600",
          "  XTerm (xterm): restored - 1 window restored",
          "    \"two\": restored - minimised; checked: minimised, asked 0,25 800x600, got 0,25 800x600"}},
        {"a check that moved a window again and found the application kept a frame of its own",
         {{{"org.example.Editor",
            "Editor",
            RestoreStatus::partiallyRestored,
            "0/1 windows restored. Issues: x",
            {done(window("notes", RestoreStatus::partiallyRestored,
                         "App adjusted geometry (delta: 30pt, match=title)"),
                  {"moved"})}},
           {"org.example.Editor",
            "Editor",
            RestoreStatus::partiallyRestored,
            "0/1 windows restored. Issues: x",
            {done(window("notes", RestoreStatus::partiallyRestored,
                         "App adjusted geometry (delta: 30pt, match=title)"),
                  {"moved"})}}}},
         {"org.example.Editor"},
         {"  Editor (org.example.Editor): partially restored - 0 of 1 window restored",
          "    \"notes\": partially restored - moved, but the application kept a frame of its own; checked: "
          "moved, but the application kept a frame of its own, asked 0,25 800x600, got 0,25 800x600"}},
        {"nothing to do, with saved windows past the bound",
         {{alone("xterm", "XTerm", 3), alone("xterm", "XTerm", 3)}},
         {"xterm"},
         {"  XTerm (xterm): partially restored - already in its saved state; 3 more saved windows not "
          "reopened: one restore reopens at most 100 windows of an application"}},
        {"a folder window the folder step closed",
         {{leavingOut({"org.example.Files",
                       "Files",
                       RestoreStatus::restored,
                       "All 1 windows restored",
                       {done(window("Projects", RestoreStatus::restored, qPrintable(verified)), {"moved"})}},
                      0, {{"Music", ClosedWindow::Why::folderOutsideWorkspace}}),
           alone("org.example.Files", "Files")}},
         {"org.example.Files"},
         {"  Files (org.example.Files): restored - 1 window restored; closed \"Music\" (a folder not in the "
          "workspace)",
          "    \"Projects\": restored - moved; checked: in place, asked 0,25 800x600, got 0,25 800x600"}},
        {"an application that cannot start",
         {{{"gone", "Gone", RestoreStatus::failed, "App could not be launched or found", {}},
           {"gone", "Gone", RestoreStatus::failed, "App could not be launched or found", {}}}},
         {},
         {"  Gone (gone): failed - App could not be launched or found"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RestoreRun run;
        RestoreReport first, second;
        first.workspaceName = second.workspaceName = "Desk";
        for (const auto& [done, checked] : c.apps) {
            first.appResults << done;
            second.appResults << checked;
        }
        first.status = RestoreReport::deriveStatus(first.appResults, {});
        second.status = RestoreReport::deriveStatus(second.appResults, {});
        // Each run took 0.4 s of the request's 0.94.
        first.duration = second.duration = 0.4;
        run.passes = {first, second};
        run.report = second;
        run.duration = 0.94;
        run.runningBefore = c.runningBefore;
        const QStringList lines = RestoreRunText::describe(run).split('\n');
        EXPECT_EQ(lines.value(0),
                  "Restore of \"Desk\": " + RestoreStatusText::words(second.status) + " in 0.9 s");
        EXPECT_EQ(lines.value(1), "Summary: " + second.summary());
        EXPECT_EQ(lines.mid(2), c.lines);
    }
    EXPECT_EQ(RestoreStatusText::words(RestoreStatus::partiallyRestored), "partially restored");
}

// The program itself: Qt never sees Ordella's options, so a name that looks like one of Qt's
// reaches the running Ordella (none runs here), and an empty name is a usage error.
TEST(InstanceCommands, TheProgramReadsItsOwnOptionsBeforeQt) {
    QTemporaryDir runtime;
    struct Case {
        QStringList arguments;
        int exitCode;
        QString firstLine;
    };
    const QList<Case> cases{
        {{"--save", "-reverse"}, 1, "Ordella is not running: start it first."},
        {{"--restore", "-style", "-reverse"}, 2, "Unknown or incomplete option: -reverse"},
        {{"--save", ""}, 2, "--save needs the name of a workspace"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QProcess ordella;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        ordella.setProcessEnvironment(environment);
        ordella.start(ORDELLA_BINARY_DIR "/ordella", c.arguments);
        ASSERT_TRUE(ordella.waitForFinished(30'000));
        EXPECT_EQ(ordella.exitCode(), c.exitCode);
        EXPECT_EQ(QString::fromLocal8Bit(ordella.readAllStandardError()).section('\n', 0, 0), c.firstLine);
    }
}

// The program as a client: from a shell without a display it still asks the running Ordella, and
// it ends with a clear line when no Ordella runs. (How long it waits for one that is stuck or at
// work is tested in virtual time, in OrdellaAppTest.)
TEST(InstanceCommands, TheProgramAsksWithoutADisplayAndSaysWhenNoneRuns) {
    TestPlatform test;
    QTemporaryDir runtime;
    const QString name = runtime.filePath("ordella.socket");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(variable);
    }
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    enum class Instance { answers, none };
    struct Case {
        QStringList arguments;
        Instance instance;
        int exitCode;
        QString output;
        QByteArray request;
    };
    const QList<Case> cases{
        {{"--restore", "Desk"}, Instance::answers, 0, "asked", R"({"command":"restore","name":"Desk"})"},
        {{}, Instance::answers, 0, "asked", R"({"command":"show"})"},
        // A request past the bound is answered without reaching the handler.
        {{"--restore", QString(100'000, 'n')},
         Instance::answers,
         1,
         "Ordella does not know this request.",
         {}},
        {{"--save", "Desk"}, Instance::none, 1, "Ordella is not running: start it first.", {}},
        {{},
         Instance::none,
         1,
         "Ordella is not running, and it cannot start without a display (DISPLAY is not set).",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QByteArray asked;
        std::unique_ptr<SingleInstance> instance;
        if (c.instance == Instance::answers) {
            instance = std::make_unique<SingleInstance>(name);
            ASSERT_TRUE(
                test.clock().runUntilDone(instance->listen(test.clock(), std::nullopt, {})).value_or(false));
            instance->setRefusal(InstanceCommands::refusal());
            instance->setHandler([&asked](QByteArray request) -> QCoro::Task<QByteArray> {
                // The asking end says when it gives up; the rest is the request as it was.
                QJsonObject object = QJsonDocument::fromJson(request).object();
                EXPECT_TRUE(object.take("deadline").isDouble());
                asked = QJsonDocument(object).toJson(QJsonDocument::Compact);
                return []() -> QCoro::Task<QByteArray> { co_return R"({"ok":true,"output":"asked"})"; }();
            });
        }
        QProcess ordella;
        ordella.setProcessEnvironment(environment);
        ordella.start(ORDELLA_BINARY_DIR "/ordella", c.arguments);
        test.clock().setRealWorkPending([&ordella] { return ordella.state() != QProcess::NotRunning; });
        ASSERT_TRUE(test.clock().runUntil([&ordella] { return ordella.state() == QProcess::NotRunning; }));
        EXPECT_EQ(ordella.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(ordella.exitCode(), c.exitCode);
        const QByteArray printed =
            c.exitCode == 0 ? ordella.readAllStandardOutput() : ordella.readAllStandardError();
        EXPECT_EQ(QString::fromLocal8Bit(printed).trimmed(), c.output);
        EXPECT_EQ(asked, c.request);
        instance.reset();
        QFile::remove(name + ".lock");
    }
}

// An engine run that takes 0.45 s and leaves the editor partly restored.
int partlyRestoringRuns = 0;

QCoro::Task<RestoreReport> partlyRestoring(Workspace workspace, bool) {
    ++partlyRestoringRuns;
    co_await Platform::current().clock->sleep(std::chrono::milliseconds(450));
    RestoreReport report;
    report.workspaceName = workspace.name;
    report.appResults = {
        {"org.example.Editor",
         "Editor",
         RestoreStatus::partiallyRestored,
         "0/1 windows restored",
         {{QString("notes.txt"), RestoreStatus::failed, "No matching AX window found", {}, {}}}}};
    report.status = RestoreStatus::partiallyRestored;
    report.duration = 0.45;
    co_return report;
}

// Without a private runtime folder, a socket folder that others may use is refused with the
// reason, by a command and by a start alike.
TEST(InstanceCommands, TheProgramRefusesASocketFolderOthersMayUse) {
    QTemporaryDir cache;
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    const QString folder = InstanceSocketFolder::ownFolder();
    qputenv("XDG_CACHE_HOME", oldCache);
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::WriteOther | QFile::ExeOther));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("XDG_RUNTIME_DIR");
    environment.insert("XDG_CACHE_HOME", cache.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    for (const QStringList& arguments : {QStringList{"--restore", "Desk"}, QStringList{}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        QProcess ordella;
        ordella.setProcessEnvironment(environment);
        ordella.start(ORDELLA_BINARY_DIR "/ordella", arguments);
        ASSERT_TRUE(ordella.waitForFinished(30'000));
        EXPECT_EQ(ordella.exitCode(), 1);
        const QString printed = QString::fromLocal8Bit(ordella.readAllStandardError());
        EXPECT_TRUE(
            printed.contains("Other users may use the folder " + folder + " (its mode is 703, not 700)."))
            << printed.toStdString();
        EXPECT_FALSE(QFile::exists(folder + "/ordella.socket"));
    }
}

// A user whose home, runtime, configuration, data and cache folders are all in home.
QProcessEnvironment homeEnvironment(const QString& home) {
    const QDir folder(home);
    folder.mkpath("run");
    QFile::setPermissions(folder.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    for (const auto& [variable, path] :
         {std::pair{"XDG_RUNTIME_DIR", "run"}, std::pair{"XDG_CONFIG_HOME", "config"},
          std::pair{"XDG_DATA_HOME", "data"}, std::pair{"XDG_CACHE_HOME", "cache"}}) {
        environment.insert(variable, folder.filePath(path));
    }
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

// The demo desktop has its scene wherever it was started from: a save asked of it with --demo
// saves the scene's applications, and a command without --demo does not reach it.
TEST(InstanceCommands, TheDemoSavesItsSceneWhereverItWasStartedFrom) {
    QTemporaryDir home;
    const QProcessEnvironment environment = homeEnvironment(home.path());
    QProcess demo;
    demo.setProcessEnvironment(environment);
    demo.setWorkingDirectory(home.path());
    demo.start(ORDELLA_BINARY_DIR "/ordella", {"--demo"});
    // It says where it keeps its workspaces once it answers.
    QByteArray said;
    while (!said.contains("simulated demo desktop") && demo.waitForReadyRead(30'000)) {
        said += demo.readAllStandardOutput();
    }
    ASSERT_TRUE(said.contains("simulated demo desktop")) << said.toStdString();

    struct Case {
        QStringList arguments;
        int exitCode;
        QString firstLine;
    };
    const QList<Case> cases{
        {{"--demo", "--save", "Desk"}, 0, "Saved \"Desk\": 5 apps, 7 windows, 3 tabs"},
        {{"--save", "Desk"}, 1, "Ordella is not running: start it first."},
        {{"--demo", "--restore", "Desk"}, 0, "Restore of \"Desk\": restored in "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QProcess ordella;
        ordella.setProcessEnvironment(environment);
        ordella.start(ORDELLA_BINARY_DIR "/ordella", c.arguments);
        ASSERT_TRUE(ordella.waitForFinished(30'000));
        EXPECT_EQ(ordella.exitCode(), c.exitCode);
        const QString printed = QString::fromLocal8Bit(c.exitCode == 0 ? ordella.readAllStandardOutput()
                                                                       : ordella.readAllStandardError());
        EXPECT_TRUE(printed.section('\n', 0, 0).startsWith(c.firstLine)) << printed.toStdString();
    }
    demo.kill();
    demo.waitForFinished();
    EXPECT_FALSE(demo.readAllStandardError().contains("could not be loaded"));
}

// Connections that send nothing, more of them than the running Ordella may have files open, do
// not cut it off: a save asked afterwards is made.
TEST(InstanceCommands, AFloodOfConnectionsLeavesTheCommandsWorking) {
    QTemporaryDir home;
    const QProcessEnvironment environment = homeEnvironment(home.path());
    constexpr rlim_t openFiles = 256;
    QProcess demo;
    demo.setProcessEnvironment(environment);
    // Soft and hard limit alike, so that it cannot raise its own.
    demo.setChildProcessModifier([] {
        const rlimit limit{openFiles, openFiles};
        setrlimit(RLIMIT_NOFILE, &limit);
    });
    demo.start(ORDELLA_BINARY_DIR "/ordella", {"--demo"});
    QByteArray said;
    while (!said.contains("simulated demo desktop") && demo.waitForReadyRead(30'000)) {
        said += demo.readAllStandardOutput();
    }
    ASSERT_TRUE(said.contains("simulated demo desktop")) << said.toStdString();

    std::vector<std::unique_ptr<QLocalSocket>> flood;
    const QString socket = home.filePath("run/ordella-demo.socket");
    const auto settled = [&flood] {
        return std::none_of(flood.cbegin(), flood.cend(), [](const std::unique_ptr<QLocalSocket>& c) {
            return c->state() == QLocalSocket::ConnectingState;
        });
    };
    QDeadlineTimer deadline(60'000);
    while (flood.size() < openFiles + 100 && !deadline.hasExpired()) {
        flood.push_back(std::make_unique<QLocalSocket>());
        flood.back()->connectToServer(socket);
        // Within the backlog: a connection waits its turn rather than being refused.
        while (!settled() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
    }
    EXPECT_EQ(flood.size(), openFiles + 100);

    QProcess save;
    save.setProcessEnvironment(environment);
    save.start(ORDELLA_BINARY_DIR "/ordella", {"--demo", "--save", "Desk"});
    ASSERT_TRUE(save.waitForFinished(30'000));
    EXPECT_EQ(save.exitCode(), 0) << save.readAllStandardError().toStdString();
    EXPECT_TRUE(save.readAllStandardOutput().startsWith("Saved \"Desk\""));
    // It never ran out of files: it kept to its bound of connections.
    EXPECT_FALSE((said + demo.readAllStandardOutput()).contains("Stopped listening"));
    flood.clear();
    demo.kill();
    demo.waitForFinished();
}

// The exit status the asking process ends with, whatever a reply says.
TEST(InstanceCommands, TheExitStatusOfAReply) {
    const QList<std::pair<QByteArray, int>> cases{
        {R"({"ok": true, "output": ""})", 0},
        {R"({"ok": false, "output": ""})", 1},
        {R"({"ok": false, "output": "", "exitCode": 2})", 2},
        {R"({"ok": true, "output": "", "exitCode": 2})", 0},
        {R"({"ok": false, "output": "", "exitCode": 0})", 1},
        {R"({"ok": false, "output": "", "exitCode": 137})", 1},
        {"not json", 1},
    };
    for (const auto& [reply, code] : cases) {
        EXPECT_EQ(InstanceCommands::exitCode(reply), code) << reply.toStdString();
    }
}

// The program itself answers --help and --version; with a running Ordella, a name that two
// workspaces share restores neither, and a save under a taken name says so.
TEST(InstanceCommands, TheProgramsHelpVersionAndSharedNames) {
    const auto run = [](const QStringList& arguments, const QProcessEnvironment& environment) {
        QProcess ordella;
        ordella.setProcessEnvironment(environment);
        ordella.start(ORDELLA_BINARY_DIR "/ordella", arguments);
        EXPECT_TRUE(ordella.waitForFinished(60'000));
        return std::tuple{ordella.exitCode(), QString::fromLocal8Bit(ordella.readAllStandardOutput()),
                          QString::fromLocal8Bit(ordella.readAllStandardError())};
    };
    QTemporaryDir runtime;
    QTemporaryDir data;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    environment.insert("XDG_DATA_HOME", data.path());
    environment.insert("XDG_CONFIG_HOME", data.filePath("config"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");

    const QList<std::pair<QString, QString>> answers{{"--help", "Usage: ordella"},
                                                     {"-h", "Usage: ordella"},
                                                     {"--version", "Ordella " ORDELLA_VERSION "\n"}};
    for (const auto& [option, start] : answers) {
        const auto [code, out, err] = run({option}, environment);
        EXPECT_EQ(code, 0) << option.toStdString();
        EXPECT_TRUE(out.startsWith(start)) << out.toStdString();
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    }

    {
        WorkspaceStore demo(data.filePath("Ordella/Demo"));
        const QList<std::pair<const char*, const char*>> saved{
            {"2026-03-01T09:30:00Z", "0A1B2C3D-0000-4000-8000-000000000001"},
            {"2026-11-20T17:05:00Z", "E5F6A7B8-0000-4000-8000-000000000002"}};
        for (const auto& [created, id] : saved) {
            Workspace w;
            w.id = QUuid::fromString(QLatin1String(id));
            w.name = "Desk";
            w.createdAt = QDateTime::fromString(created, Qt::ISODate);
            w.updatedAt = w.createdAt;
            w.appSnapshots = {AppSnapshot{QUuid::createUuid(), "org.example.Editor", "Editor", {}, false}};
            ASSERT_TRUE(demo.save(w));
        }
    }
    QProcess instance;
    instance.setProcessEnvironment(environment);
    instance.start(ORDELLA_BINARY_DIR "/ordella", {"--demo"});
    ASSERT_TRUE(instance.waitForStarted());
    // Asked until it listens.
    std::tuple<int, QString, QString> restore{1, {}, {}};
    QDeadlineTimer deadline(60'000);
    while (std::get<0>(restore) == 1 && !deadline.hasExpired()) {
        restore = run({"--demo", "--restore", "Desk"}, environment);
    }
    const auto [code, out, err] = restore;
    EXPECT_EQ(code, 2) << err.toStdString();
    EXPECT_EQ(err, "2 workspaces are named \"Desk\"; none was restored. Rename one in Ordella's window, then "
                   "restore it by its new name:\n"
                   "  \"Desk\", created 2026-03-01 09:30:00 UTC, id 0A1B2C3D\n"
                   "  \"Desk\", created 2026-11-20 17:05:00 UTC, id E5F6A7B8\n");

    const auto [saveCode, saveOut, saveErr] = run({"--demo", "--save", "Desk"}, environment);
    EXPECT_EQ(saveCode, 0) << saveErr.toStdString();
    EXPECT_TRUE(saveOut.startsWith("Saved \"Desk\": ")) << saveOut.toStdString();
    EXPECT_TRUE(saveOut.contains("A workspace named \"Desk\" existed already: this is another one of that "
                                 "name (3 now)."))
        << saveOut.toStdString();
    instance.kill();
    instance.waitForFinished();
}

// "--save" answers from what reached the disk: a workspace the store lists but could not write
// would be gone after a restart.
class InstanceSaveTest : public SimulatedDesktopFixture {
protected:
    InstanceSaveTest() {
        addScreen(1920, 1080);
        addApp("org.example.Editor", {QRectF(0, 25, 800, 600)}, {"notes.txt"});
    }

    std::pair<bool, QString> save(const QString& name) { return ask("save", name); }
    std::pair<bool, QString> ask(const QString& command, const QString& name) {
        const QByteArray request =
            QJsonDocument(QJsonObject{{"command", command}, {"name", name}}).toJson(QJsonDocument::Compact);
        return InstanceCommands::readReply(
            clock().runUntilDone(commands.handle(request)).value_or(QByteArray()));
    }

    QTemporaryDir folder;
    WorkspaceStore store{folder.path()};
    RevertStateManager revertStates;
    RestoreCoordinator coordinator{partlyRestoring, &revertStates};
    PopoverModel popover{{&store, &coordinator, &revertStates, nullptr, nullptr, nullptr, platform().clock}};
    InstanceCommands commands{store, popover, coordinator};
};

TEST_F(InstanceSaveTest, AnswersFromWhatWasWritten) {
    const auto [ok, output] = save("Desk");
    EXPECT_TRUE(ok) << output.toStdString();
    EXPECT_TRUE(output.startsWith("Saved \"Desk\"")) << output.toStdString();

    // A file where the folder was: no write can succeed, whoever runs the test.
    ASSERT_TRUE(QDir(folder.path()).removeRecursively());
    QFile blocker(folder.path());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto [failed, message] = save("Office");
    EXPECT_FALSE(failed);
    EXPECT_EQ(message, "The workspace could not be saved.");
}

// A partly restored workspace is a restore that worked (exit 0), and its time is the request's
// whole time, both engine runs included.
TEST_F(InstanceSaveTest, APartlyRestoredWorkspaceAnswersOkWithTheWholeTime) {
    ASSERT_TRUE(save("Desk").first);
    const auto [ok, output] = ask("restore", "Desk");
    EXPECT_TRUE(ok);
    const QStringList lines = output.split('\n');
    EXPECT_EQ(lines.value(0), "Restore of \"Desk\": partially restored in 0.9 s");
    EXPECT_EQ(lines.value(2), "  Editor (org.example.Editor): partially restored - 0 of 1 window restored");
    EXPECT_EQ(ask("restore", "Nothing"),
              std::make_pair(false, QString("No workspace is named \"Nothing\".")));
}

// A name is printed on its own line with nothing in it that steers the terminal: its line breaks
// and tabs are replaced like other control characters.
TEST_F(InstanceSaveTest, NamesArePrintedWithoutTheirControlCharacters) {
    const QString r(QChar::ReplacementCharacter);
    struct Case {
        const char* command;
        QString name;
        bool ok;
        QString firstLine;
    };
    const QList<Case> cases{
        {"save", "Tab\there\nnewline", true, "Saved \"Tab" + r + "here" + r + "newline\": 1 app, 1 window"},
        {"restore", "x\ny", false, "No workspace is named \"x" + r + "y\"."},
        {"restore", QStringLiteral("p\u2029q"), false, "No workspace is named \"p" + r + "q\"."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const auto [ok, output] = ask(c.command, c.name);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(output.split('\n').value(0), c.firstLine);
        EXPECT_FALSE(output.contains('\t'));
    }
}

TEST_F(InstanceSaveTest, AFullDiskIsNoSave) {
    FullDisk disk(FullDisk::Kind::simulated);
    disk.fill();
    const auto [failed, message] = save("Office");
    EXPECT_FALSE(failed);
    EXPECT_EQ(message, "The workspace could not be saved.");
    disk.makeRoom();
    EXPECT_TRUE(save("Office").first);
}

// A name that two workspaces share restores neither: the answer lists both with their creation
// dates and ends the asking program with status 2. Saving under a taken name says so.
TEST_F(InstanceSaveTest, ANameThatTwoWorkspacesShareRestoresNeither) {
    ASSERT_TRUE(save("Desk").first);
    const auto [saved, output] = save("Desk");
    EXPECT_TRUE(saved);
    EXPECT_TRUE(
        output.contains("A workspace named \"Desk\" existed already: this is another one of that name "
                        "(2 now)."))
        << output.toStdString();
    const int runs = partlyRestoringRuns;
    const QByteArray request =
        QJsonDocument(QJsonObject{{"command", "restore"}, {"name", "Desk"}}).toJson(QJsonDocument::Compact);
    const QByteArray shared = clock().runUntilDone(commands.handle(request)).value_or(QByteArray());
    EXPECT_EQ(InstanceCommands::exitCode(shared), 2);
    const QStringList lines = InstanceCommands::readReply(shared).second.split('\n');
    EXPECT_EQ(lines.value(0), "2 workspaces are named \"Desk\"; none was restored. Rename one in Ordella's "
                              "window, then restore it by its new name:");
    EXPECT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines.value(1).startsWith("  \"Desk\", created ")) << lines.value(1).toStdString();
    EXPECT_EQ(partlyRestoringRuns, runs);

    // Saved within one second, they show one time: the start of the id tells them apart, as much
    // of it as needed where ids begin alike.
    const auto line = [](const Workspace& w, qsizetype idLength) {
        return "  \"Desk\", created " + w.createdAt.toUTC().toString("yyyy-MM-dd HH:mm:ss") + " UTC, id " +
               w.id.toString(QUuid::WithoutBraces).toUpper().left(idLength);
    };
    ASSERT_EQ(store.workspaces().size(), 2);
    EXPECT_EQ(store.workspaces().value(0).createdAt.toSecsSinceEpoch(),
              store.workspaces().value(1).createdAt.toSecsSinceEpoch());
    for (const Workspace& w : store.workspaces()) {
        EXPECT_TRUE(lines.contains(line(w, 8))) << line(w, 8).toStdString();
    }
    Workspace twin = store.workspaces().value(0);
    const QString id = twin.id.toString(QUuid::WithoutBraces).toUpper();
    twin.id = QUuid::fromString(id.left(10) + (id.at(10) == 'A' ? 'B' : 'A') + id.mid(11));
    ASSERT_TRUE(store.save(twin));
    const QByteArray three = clock().runUntilDone(commands.handle(request)).value_or(QByteArray());
    const QStringList listed = InstanceCommands::readReply(three).second.split('\n');
    ASSERT_EQ(listed.size(), 4);
    for (const Workspace& w : store.workspaces()) {
        EXPECT_TRUE(listed.contains(line(w, 11))) << line(w, 11).toStdString();
    }
}

} // namespace
