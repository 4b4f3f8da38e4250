#include "Services/Storage/AnalysisLogger.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Support/TestPlatform.h"

#include <gtest/gtest.h>

namespace {

QList<TabSnapshot> tabsWithActive(const std::optional<QString>& activeTitle) {
    TabSnapshot other{QUuid::createUuid(), "https://other.example", QString("Other"), false};
    TabSnapshot active{QUuid::createUuid(), "https://active.example", activeTitle, true};
    return {other, active};
}

WindowSnapshot window(const std::optional<QString>& title, qint64 windowIndex = 0) {
    WindowSnapshot w;
    w.id = QUuid::createUuid();
    w.windowTitle = title;
    w.windowIndex = windowIndex;
    return w;
}

// Log lines of the capture while a session is open.
class PairingTest : public ::testing::Test {
protected:
    PairingTest() { AnalysisLogger::shared().beginSession(Workspace{}); }
    ~PairingTest() override { AnalysisLogger::shared().endSession(std::nullopt); }
    QStringList lines() const {
        QStringList result;
        for (const auto& e : AnalysisLogger::shared().entries()) {
            result << e.message;
        }
        return result;
    }
    TestPlatform tp;
};

using Pairs = QList<QPair<qsizetype, qsizetype>>; // (tab window, captured window)

Pairs positions(const WorkspaceCapturer::TabPairing& pairing, const QList<QList<TabSnapshot>>& tabWindows) {
    Pairs result;
    for (const auto& [position, tabs] : pairing) {
        result.append({tabWindows.indexOf(tabs), position});
    }
    return result;
}

} // namespace

TEST_F(PairingTest, TabWindowsPairByTitle) {
    struct Case {
        const char* name;
        QList<std::optional<QString>> keyTitles;    // one per tab window (active tab title)
        QList<std::optional<QString>> windowTitles; // one per captured window
        Pairs expected;
        QStringList expectedLines;
    };
    const Case cases[] = {
        {"rotation by containment",
         {QString("Mail"), QString("News"), QString("Docs")},
         {QString("Docs - Browser"), QString("Mail - Browser"), QString("News - Browser")},
         {{0, 1}, {1, 2}, {2, 0}},
         {"  Tab window[0] matched to AX window[1] by title (score=500)",
          "  Tab window[1] matched to AX window[2] by title (score=500)",
          "  Tab window[2] matched to AX window[0] by title (score=500)"}},
        {"exact title beats an earlier containment",
         {QString("Inbox")},
         {QString("Inbox (3)"), QString("Inbox")},
         {{0, 1}},
         {"  Tab window[0] matched to AX window[1] by title (score=1000)"}},
        {"stripped title",
         {QString("Plan Q3 review")},
         {QString("Other"), QString("Q3 - Browser")},
         {{0, 1}},
         {"  Tab window[0] matched to AX window[1] by title (score=800)"}},
        {"untitled key tab falls back silently; taken position drops it",
         {QString("Two"), std::nullopt},
         {QString("One"), QString("Two")},
         {{0, 1}},
         {"  Tab window[0] matched to AX window[1] by title (score=1000)"}},
        {"no title match uses the index",
         {QString("zzz"), QString("Two")},
         {QString("One"), QString("Two")},
         {{0, 0}, {1, 1}},
         {"  Tab window[0] — no title match, using index fallback"}},
        {"same key title twice takes the next best",
         {QString("Docs"), QString("Docs")},
         {QString("Docs - A"), QString("Docs - B")},
         {{0, 0}, {1, 1}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AnalysisLogger::shared().beginSession(Workspace{});
        QList<QList<TabSnapshot>> tabWindows;
        for (const auto& title : c.keyTitles) {
            tabWindows.append(tabsWithActive(title));
        }
        QList<WindowSnapshot> windows;
        for (const auto& title : c.windowTitles) {
            windows.append(window(title));
        }
        EXPECT_EQ(positions(WorkspaceCapturer::matchTabWindowsToAXWindows(tabWindows, windows), tabWindows),
                  c.expected);
        EXPECT_EQ(lines(), c.expectedLines);
    }
}

TEST_F(PairingTest, FinderWindowsPairByFolderName) {
    using Info = FinderScriptService::FinderWindowInfo;
    const QList<Info> finder{{"/home/me/Projects/", {}, QString("Projects")},
                             {"/home/me/Music/", {}, std::nullopt}};
    QList<WindowSnapshot> windows{window(QString("Music"), 0), window(QString("Projects"), 1),
                                  window(QString("Elsewhere"), 5)};
    WorkspaceCapturer::attachFinderPaths(windows, finder);
    ASSERT_EQ(windows.size(), 2);
    EXPECT_EQ(windows[0].documentURL, std::optional<QString>("/home/me/Music/"));
    EXPECT_EQ(windows[1].documentURL, std::optional<QString>("/home/me/Projects/"));
    EXPECT_EQ(lines(), (QStringList{"Matched AX window[0] to Finder window[1] at: /home/me/Music/",
                                    "Matched AX window[1] to Finder window[0] at: /home/me/Projects/",
                                    "Filtering out window without valid path: Elsewhere",
                                    "Filtered out 1 Finder windows without valid paths"}));
}

TEST_F(PairingTest, FinderFallbacksAndEmptyTitles) {
    using Info = FinderScriptService::FinderWindowInfo;
    const QList<Info> finder{{"/a/", {}, {}}, {"/b/", {}, {}}};
    // An empty title matches the first free folder; an untitled window falls back to its index;
    // a window whose index is taken is dropped.
    QList<WindowSnapshot> windows{window(QString(""), 0), window(std::nullopt, 1), window(std::nullopt, 0)};
    WorkspaceCapturer::attachFinderPaths(windows, finder);
    ASSERT_EQ(windows.size(), 2);
    EXPECT_EQ(windows[0].documentURL, std::optional<QString>("/a/"));
    EXPECT_EQ(windows[1].documentURL, std::optional<QString>("/b/"));
    EXPECT_TRUE(lines().contains("Fallback: Matched AX window[1] to Finder window[1] at: /b/"));
    EXPECT_TRUE(lines().contains("Filtering out window without valid path: untitled"));

    // With no folder windows at all, only windows that already show a document stay.
    QList<WindowSnapshot> documents{window(QString("x"), 0), window(QString("y"), 1)};
    documents[1].documentURL = "file:///y";
    WorkspaceCapturer::attachFinderPaths(documents, {});
    ASSERT_EQ(documents.size(), 1);
    EXPECT_EQ(documents[0].windowTitle, std::optional<QString>("y"));
}
