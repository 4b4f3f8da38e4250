#include "Services/WindowMatcher.h"
#include "Models/Workspace.h"
#include "Services/AnalysisLogger.h"
#include "Support/ScriptedDesktop.h"

namespace {

WindowSnapshot snap(const std::optional<QString>& title, const QRectF& frame, qint64 windowIndex = 99,
                    const std::optional<QString>& document = std::nullopt) {
    WindowSnapshot s;
    s.id = QUuid::createUuid();
    s.windowTitle = title;
    s.frame = SnapshotRect{frame.x(), frame.y(), frame.width(), frame.height()};
    s.windowIndex = windowIndex;
    s.documentURL = document;
    return s;
}

class WindowMatcherTest : public SimulatedDesktopFixture {
protected:
    WindowMatcherTest() { AnalysisLogger::shared().beginSession(Workspace()); }

    qint32 liveApp(const QList<QRectF>& frames, const QStringList& titles = {}) {
        return addApp(QStringLiteral("org.example.App"), frames, titles);
    }
    RunningApplication app(qint32 pid) { return *platform().runningApplications->application(pid); }
    void setDocument(qint32 pid, int index, const QString& document) {
        desktop().window(desktop().windowsOf(pid)[index])->document = document;
    }
    QStringList lines(const QString& prefix = QString()) {
        QStringList result;
        for (const auto& entry : AnalysisLogger::shared().entries()) {
            EXPECT_EQ(entry.tag, QStringLiteral("WindowMatcher"));
            if (entry.message.startsWith(prefix)) {
                result.append(entry.message);
            }
        }
        return result;
    }
    // Saved position -> (live index, quality name).
    static QMap<int, QPair<qint64, QString>> summary(const WindowMatcher::Matches& matches) {
        QMap<int, QPair<qint64, QString>> result;
        for (auto it = matches.begin(); it != matches.end(); ++it) {
            result.insert(it.key(), {it->axIndex, WindowMatcher::qualityName(it->quality)});
        }
        return result;
    }
    using Pairs = QMap<int, QPair<qint64, QString>>;
};

TEST_F(WindowMatcherTest, NearbyFrameWinsOverAChangedTitle) {
    const qint32 pid = liveApp({QRectF(103, 102, 800, 600)}, {QStringLiteral("Renamed")});
    const auto matches =
        WindowMatcher::matchWindows({snap(QStringLiteral("Original"), QRectF(100, 100, 800, 600))}, app(pid));
    ASSERT_EQ(matches.size(), 1);
    EXPECT_EQ(matches[0].quality, WindowMatchQuality::geometry);
    EXPECT_EQ(matches[0].geometryDistance, 10.0);
    EXPECT_EQ(matches[0].axElement, AXElement{desktop().windowsOf(pid)[0]});
    EXPECT_EQ(lines(QStringLiteral("snapshot")),
              QStringList({QStringLiteral("snapshot[0] → AX[0] quality=geometry distance=10.0")}));
}

TEST_F(WindowMatcherTest, EqualTitlesPairInOrder) {
    const qint32 pid = liveApp({QRectF(0, 0, 500, 400), QRectF(40, 40, 500, 400)},
                               {QStringLiteral("Inbox"), QStringLiteral("Inbox")});
    const auto matches =
        WindowMatcher::matchWindows({snap(QStringLiteral("Inbox"), QRectF(900, 500, 500, 400)),
                                     snap(QStringLiteral("Inbox"), QRectF(700, 500, 500, 400))},
                                    app(pid));
    EXPECT_EQ(summary(matches), (Pairs{{0, {0, "exactTitle"}}, {1, {1, "exactTitle"}}}));
}

TEST_F(WindowMatcherTest, HigherQualityWinsAcrossPairs) {
    // Saved 1 sits on live 0 (geometry); saved 0 only shares live 0's title.
    qint32 pid = liveApp({QRectF(0, 0, 500, 400), QRectF(900, 0, 300, 300)}, {QStringLiteral("Mail")});
    auto matches = WindowMatcher::matchWindows({snap(QStringLiteral("Mail"), QRectF(600, 600, 500, 400)),
                                                snap(QStringLiteral("Other"), QRectF(2, 2, 500, 400))},
                                               app(pid));
    EXPECT_EQ(summary(matches), (Pairs{{1, {0, "geometry"}}}));

    // A terminal path beats geometry; the pair within 15 is never asked for its path.
    desktop().removeApplication(pid);
    AnalysisLogger::shared().beginSession(Workspace());
    pid = liveApp({QRectF(0, 0, 500, 400)}, {QStringLiteral("bash - ~/a")});
    matches = WindowMatcher::matchWindows({snap(QStringLiteral("zsh - ~/a"), QRectF(900, 600, 500, 400)),
                                           snap(QStringLiteral("zsh - ~/a"), QRectF(1, 1, 500, 400))},
                                          app(pid));
    EXPECT_EQ(summary(matches), (Pairs{{0, {0, "terminalPath"}}}));
    EXPECT_EQ(lines(QStringLiteral("terminalPath")),
              QStringList({QStringLiteral("terminalPath match: \"~/a\"")}));
    EXPECT_EQ(
        lines(QStringLiteral("snapshot[1]")),
        QStringList({QStringLiteral("snapshot[1] title=\"zsh - ~/a\" frame=(1,1 500×400) — NO MATCH")}));
}

TEST_F(WindowMatcherTest, DocumentMismatchFallsBackToTheTitle) {
    const qint32 pid = liveApp({QRectF(0, 0, 500, 400)}, {QStringLiteral("Budget")});
    setDocument(pid, 0, QStringLiteral("file:///home/u/Budget-2.ods"));
    const auto matches =
        WindowMatcher::matchWindows({snap(QStringLiteral("Budget"), QRectF(700, 500, 500, 400), 0,
                                          QStringLiteral("file:///home/u/Budget.ods"))},
                                    app(pid));
    EXPECT_EQ(summary(matches), (Pairs{{0, {0, "exactTitle"}}}));
    EXPECT_EQ(lines(QStringLiteral("document")),
              QStringList({QStringLiteral(
                  "documentURL mismatch: snapshot=\"/home/u/budget.ods\" vs ax=\"/home/u/budget-2.ods\"")}));
}

TEST_F(WindowMatcherTest, FuzzyTitleNeedsSimilarSizes) {
    const struct {
        double liveWidth;
        const char* quality;
    } cases[] = {{780, "fuzzyTitleAndSize"}, {400, nullptr}, {560.0001, "fuzzyTitleAndSize"}, {560, nullptr}};
    for (const auto& c : cases) {
        AnalysisLogger::shared().beginSession(Workspace());
        const qint32 pid = liveApp({QRectF(0, 0, c.liveWidth, 600)}, {QStringLiteral("Notes — Edited")});
        const auto matches = WindowMatcher::matchWindows(
            {snap(QStringLiteral("Notes"), QRectF(900, 300, 800, 600))}, app(pid));
        const Pairs expected = c.quality ? Pairs{{0, {0, QString::fromLatin1(c.quality)}}} : Pairs{};
        EXPECT_EQ(summary(matches), expected) << c.liveWidth;
        desktop().removeApplication(pid);
    }
    AnalysisLogger::shared().beginSession(Workspace());
    const qint32 pid = liveApp({QRectF(0, 0, 780, 600)}, {QStringLiteral("Notes — Edited")});
    WindowMatcher::matchWindows({snap(QStringLiteral("Notes"), QRectF(900, 300, 800, 600))}, app(pid));
    EXPECT_EQ(lines(QStringLiteral("fuzzy")),
              QStringList({QStringLiteral("fuzzyTitleAndSize match: \"Notes\" sizeRatio=0.97")}));
}

TEST_F(WindowMatcherTest, IndexFallbackOnlyForAValidFreePosition) {
    qint32 pid = liveApp({QRectF(0, 0, 300, 300), QRectF(10, 10, 300, 300), QRectF(20, 20, 300, 300)});
    auto matches =
        WindowMatcher::matchWindows({snap(std::nullopt, QRectF(2000, 2000, 100, 100), 2)}, app(pid));
    EXPECT_EQ(summary(matches), (Pairs{{0, {2, "indexFallback"}}}));
    EXPECT_EQ(lines(QStringLiteral("snapshot")),
              QStringList({QStringLiteral("snapshot[0] → AX[2] quality=indexFallback distance=n/a")}));

    desktop().removeApplication(pid);
    AnalysisLogger::shared().beginSession(Workspace());
    pid = liveApp({QRectF(0, 0, 300, 300), QRectF(10, 10, 300, 300)});
    matches = WindowMatcher::matchWindows({snap(std::nullopt, QRectF(2000, 2000, 100, 100), 2)}, app(pid));
    EXPECT_TRUE(matches.isEmpty());
    EXPECT_EQ(
        lines(QStringLiteral("snapshot")),
        QStringList({QStringLiteral("snapshot[0] title=\"nil\" frame=(2000,2000 100×100) — NO MATCH")}));
}

TEST_F(WindowMatcherTest, DocumentsCompareWithoutCaseOrTrailingSlash) {
    const qint32 pid = liveApp({QRectF(100, 200, 800, 600)}, {QStringLiteral("Report")});
    setDocument(pid, 0, QStringLiteral("file:///Users/u/Report.txt"));
    WindowSnapshot minimised = snap(std::nullopt, QRectF(0, 0, 10.9, 10), 3);
    minimised.isMinimized = true;
    const auto matches =
        WindowMatcher::matchWindows({snap(QStringLiteral("Report"), QRectF(300.7, 400.2, 800, 600), 0,
                                          QStringLiteral("file:///users/u/report.txt/")),
                                     minimised},
                                    app(pid));
    EXPECT_EQ(summary(matches), (Pairs{{0, {0, "documentURL"}}}));
    EXPECT_EQ(
        lines(),
        QStringList({
            QStringLiteral("AX window[0]: title=\"Report\" docURL=\"file:///Users/u/Report.txt\" "
                           "frame=(100,200 800×600)"),
            QStringLiteral("Snapshot[0]: title=\"Report\" docURL=\"file:///users/u/report.txt/\" "
                           "frame=(300,400 800×600) minimized=false"),
            QStringLiteral("Snapshot[1]: title=\"nil\" docURL=\"nil\" frame=(0,0 10×10) minimized=true"),
            QStringLiteral("documentURL match: \"file:///users/u/report.txt/\""),
            QStringLiteral("snapshot[0] → AX[0] quality=documentURL distance=n/a"),
            QStringLiteral("snapshot[1] title=\"nil\" frame=(0,0 10×10) — NO MATCH"),
        }));
}

TEST_F(WindowMatcherTest, MissingLiveDocumentsAndUnreadableLists) {
    qint32 pid = liveApp({QRectF(0, 0, 300, 300)});
    setDocument(pid, 0, QString());
    WindowMatcher::matchWindows(
        {snap(QStringLiteral("A"), QRectF(900, 900, 300, 300), 5, QStringLiteral("/a")),
         snap(QStringLiteral("B"), QRectF(900, 900, 300, 300), 5, QString())},
        app(pid));
    EXPECT_EQ(lines(QStringLiteral("document")),
              QStringList({QStringLiteral("documentURL missing in AX: snapshot=\"/a\" ax=\"\"")}));

    AnalysisLogger::shared().beginSession(Workspace());
    desktop().application(pid)->faults.windowListError = AXError::CannotComplete;
    EXPECT_TRUE(WindowMatcher::matchWindows({snap(QStringLiteral("A"), QRectF())}, app(pid)).isEmpty());
    EXPECT_TRUE(
        WindowMatcher::matchWindowsByGeometry({snap(QStringLiteral("A"), QRectF())}, app(pid)).isEmpty());
    EXPECT_EQ(
        lines(),
        QStringList({QStringLiteral("Cannot get AX windows for pid=%1").arg(pid),
                     QStringLiteral("matchWindowsByGeometry: Cannot get AX windows for pid=%1").arg(pid)}));

    // No windows at all: an empty answer without a line.
    AnalysisLogger::shared().beginSession(Workspace());
    pid = liveApp({});
    EXPECT_TRUE(WindowMatcher::matchWindows({snap(QStringLiteral("A"), QRectF())}, app(pid)).isEmpty());
    EXPECT_TRUE(lines().isEmpty());
}

TEST_F(WindowMatcherTest, GeometryMatchingHasALimitOfFifty) {
    // Live windows moved right by 25.0, 25.25 and 7.5 points: distances 50.0, 50.5 and 15.0.
    const qint32 pid =
        liveApp({QRectF(25, 0, 300, 300), QRectF(1025.25, 0, 300, 300), QRectF(2007.5, 0, 300, 300)});
    const auto matches = WindowMatcher::matchWindowsByGeometry(
        {snap(std::nullopt, QRectF(0, 0, 300, 300)), snap(std::nullopt, QRectF(1000, 0, 300, 300)),
         snap(std::nullopt, QRectF(2000, 0, 300, 300))},
        app(pid));
    EXPECT_EQ(summary(matches), (Pairs{{0, {0, "fuzzyTitleAndSize"}}, {2, {2, "geometry"}}}));
    EXPECT_EQ(matches[0].geometryDistance, 50.0);
    EXPECT_EQ(lines(),
              QStringList({QStringLiteral("matchWindowsByGeometry: snapshot[2] → AX[2] distance=15.0"),
                           QStringLiteral("matchWindowsByGeometry: snapshot[0] → AX[0] distance=50.0")}));
}

TEST_F(WindowMatcherTest, ClosestPairsAreTakenFirst) {
    const qint32 pid = liveApp({QRectF(0, 0, 300, 300), QRectF(20, 0, 300, 300)});
    desktop()
        .window(desktop().windowsOf(pid)[0])
        ->faults.readOverrides.insert(QStringLiteral("AXPosition"),
                                      AXResult::success(AXValue::point(QPointF(qQNaN(), 0))));
    // Saved 0 is nearest to live 1; live 0's frame is not a number and is left out.
    const auto matches = WindowMatcher::matchWindowsByGeometry(
        {snap(std::nullopt, QRectF(18, 0, 300, 300)), snap(std::nullopt, QRectF(0, 0, 300, 300))}, app(pid));
    EXPECT_EQ(summary(matches), (Pairs{{0, {1, "geometry"}}}));
}

TEST(WindowMatcherRules, TerminalPaths) {
    const struct {
        const char* title;
        std::optional<QString> path;
    } cases[] = {
        {"zsh - ~/work", QStringLiteral("~/work")},
        {"zsh — /usr/local \t", QStringLiteral("/usr/local")},
        {"zsh – ~", QStringLiteral("~")},
        {"zsh - bin - /tmp", std::nullopt},
        {"zsh - work — /tmp", QStringLiteral("/tmp")},
        {"zsh -/tmp", std::nullopt},
        {"zsh - work", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowMatcher::extractTerminalPath(QString::fromUtf8(c.title)), c.path) << c.title;
    }
}

TEST(WindowMatcherRules, FuzzyTitlesSizesAndDocuments) {
    EXPECT_TRUE(WindowMatcher::fuzzyTitleMatch(QStringLiteral("Budget - Q3 - Editor"),
                                               QStringLiteral("Budget - Q3 - Viewer")));
    EXPECT_TRUE(WindowMatcher::fuzzyTitleMatch(QStringLiteral("Notes"), QStringLiteral("Notes — Edited")));
    EXPECT_FALSE(WindowMatcher::fuzzyTitleMatch(QStringLiteral("Alpha"), QStringLiteral("Beta")));
    EXPECT_FALSE(
        WindowMatcher::fuzzyTitleMatch(QStringLiteral("Budget - Q3"), QStringLiteral("Budget - Q4 - X")));
    EXPECT_FALSE(WindowMatcher::fuzzyTitleMatch(QStringLiteral("notes"), QStringLiteral("Notes")));

    EXPECT_DOUBLE_EQ(WindowMatcher::sizeSimilarity(QSizeF(800, 600), QSizeF(400, 300)), 0.25);
    EXPECT_EQ(WindowMatcher::sizeSimilarity(QSizeF(0, 600), QSizeF(400, 300)), 0);
    EXPECT_EQ(WindowMatcher::sizeSimilarity(QSizeF(qQNaN(), 600), QSizeF(400, 300)), 0);

    EXPECT_EQ(WindowMatcher::normalizeDocumentURL(QStringLiteral("file:///A/B%20C/")),
              QStringLiteral("/a/b c"));
    EXPECT_EQ(WindowMatcher::normalizeDocumentURL(QStringLiteral("file:///")), QStringLiteral("/"));
    EXPECT_EQ(WindowMatcher::normalizeDocumentURL(QStringLiteral(" Not a URL \n")),
              QStringLiteral("not a url"));

    EXPECT_EQ(WindowMatcher::qualityFromRawValue(6), WindowMatchQuality::terminalPath);
    EXPECT_EQ(WindowMatcher::qualityFromRawValue(7), std::nullopt);
    EXPECT_EQ(WindowMatcher::qualityFromRawValue(-1), std::nullopt);
}

} // namespace
