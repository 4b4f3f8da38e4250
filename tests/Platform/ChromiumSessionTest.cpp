#include "Platform/Linux/ChromiumSession.h"
#include "Support/ChromiumSessionFile.h"
#include "Support/FifoWriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <limits>

#include <gtest/gtest.h>

namespace {

struct ExpectedWindow {
    QRect bounds;
    QStringList urls;
    int selected;
};

QString page(int n) {
    return QStringLiteral("file:///tmp/i27-exp/p%1.html").arg(n);
}

QStringList urlsOf(const ChromiumSession::Window& window) {
    QStringList urls;
    for (const ChromiumSession::Tab& tab : window.tabs) {
        urls << tab.url;
    }
    return urls;
}

} // namespace

// Files a real browser wrote: three windows (one moved, tabs switched), then the same profile after
// a tab and a window were closed.
TEST(ChromiumSession, ReadsFilesTheBrowserWrote) {
    const struct {
        const char* file;
        QList<ExpectedWindow> windows;
    } cases[] = {
        {"three-windows.snss",
         {{QRect(2000, 100, 800, 600), {QStringLiteral("about:blank"), page(3), page(4)}, 0},
          {QRect(20, 20, 1905, 1060), {page(1), page(2)}, 0},
          {QRect(20, 20, 1905, 1060), {page(1), page(2), page(3), page(4), page(5)}, 2}}},
        {"tab-and-window-closed.snss",
         {{QRect(20, 20, 1905, 1060), {page(1), page(2)}, 0},
          {QRect(20, 20, 1905, 1060), {page(1), page(2), page(4), page(5)}, 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        QString problem;
        const auto session = ChromiumSession::readFile(
            QStringLiteral(ORDELLA_TEST_DATA_DIR "/chromium-sessions/") + QLatin1String(c.file), &problem);
        ASSERT_TRUE(session) << problem.toStdString();
        ASSERT_EQ(session->windows.size(), c.windows.size());
        for (qsizetype i = 0; i < c.windows.size(); ++i) {
            const ChromiumSession::Window& w = session->windows[i];
            EXPECT_EQ(w.bounds, c.windows[i].bounds) << i;
            EXPECT_EQ(urlsOf(w), c.windows[i].urls) << i;
            EXPECT_EQ(w.selectedTab, c.windows[i].selected) << i;
        }
        EXPECT_EQ(session->skippedCommands, 0);
    }
}

TEST(ChromiumSession, ReplaysLaterCommandsOverEarlierOnes) {
    ChromiumSessionFile file;
    file.window(1, QRect(0, 0, 800, 600),
                {QStringLiteral("https://a.example/"), QStringLiteral("https://b.example/")}, 0)
        .window(2, QRect(900, 0, 800, 600), {QStringLiteral("https://c.example/")}, 0)
        // the second tab moves to the front, navigates twice and goes back once
        .tabIndex(1001, 0)
        .tabIndex(1000, 1)
        .navigation(1001, 1, QStringLiteral("https://b.example/next"), QStringLiteral("Next"))
        .navigation(1001, 2, QStringLiteral("https://b.example/last"), QStringLiteral("Last"))
        .selectedNavigation(1001, 1)
        .selectedTab(1, 1)
        .bounds(1, QRect(10, 20, 700, 500))
        // a pop-up window and a closed window are not listed
        .window(3, QRect(0, 0, 300, 300), {QStringLiteral("https://popup.example/")}, 0)
        .windowType(3, 1)
        .window(4, QRect(0, 0, 300, 300), {QStringLiteral("https://gone.example/")}, 0)
        .closed(17, 4)
        // nor is a closed tab
        .tabInWindow(2, 2005)
        .tabIndex(2005, 1)
        .navigation(2005, 0, QStringLiteral("https://closed.example/"), QString())
        .closed(16, 2005)
        .activeWindow(2);
    QString problem;
    const auto session = ChromiumSession::read(file.data(), &problem);
    ASSERT_TRUE(session) << problem.toStdString();
    ASSERT_EQ(session->windows.size(), 2);
    EXPECT_EQ(urlsOf(session->windows[0]),
              QStringList({QStringLiteral("https://b.example/next"), QStringLiteral("https://a.example/")}));
    EXPECT_EQ(session->windows[0].tabs[0].title, QStringLiteral("Next"));
    EXPECT_EQ(session->windows[0].selectedTab, 1);
    EXPECT_EQ(session->windows[0].bounds, QRect(10, 20, 700, 500));
    EXPECT_EQ(urlsOf(session->windows[1]), QStringList({QStringLiteral("https://c.example/")}));
    EXPECT_EQ(session->activeWindow, 2);
}

TEST(ChromiumSession, PrunedNavigationsMoveTheOnesAfterThem) {
    const auto n = [](int i) { return QStringLiteral("https://n%1.example/").arg(i); };
    constexpr std::int32_t all = std::numeric_limits<std::int32_t>::max();
    // Tab 10 has navigations 0..4; after the prunes, navigation `selected` is selected.
    const struct {
        const char* name;
        std::function<void(ChromiumSessionFile&)> prune;
        int selected;
        QString shown;
    } cases[] = {
        {"two from the middle", [](ChromiumSessionFile& f) { f.pruned(10, 1, 2); }, 2, n(4)},
        {"the selected index names the page moved onto it",
         [](ChromiumSessionFile& f) { f.pruned(10, 1, 2); }, 1, n(3)},
        {"none", [](ChromiumSessionFile& f) { f.pruned(10, 1, 0); }, 1, n(1)},
        {"to the end, however far", [](ChromiumSessionFile& f) { f.pruned(10, 3, all); }, 2, n(2)},
        {"a selection past the end shows the last page", [](ChromiumSessionFile& f) { f.pruned(10, 0, 3); },
         2, n(4)},
        {"twice", [](ChromiumSessionFile& f) { f.pruned(10, 0, 1).pruned(10, 0, 1); }, 0, n(2)},
        {"from the back", [](ChromiumSessionFile& f) { f.prunedFromBack(10, 2); }, 4, n(1)},
        {"below the first", [](ChromiumSessionFile& f) { f.pruned(10, -5, 6); }, -5, n(1)},
    };
    for (const auto& c : cases) {
        ChromiumSessionFile file;
        file.tabInWindow(1, 10).tabIndex(10, 0);
        for (int i = 0; i < 5; ++i) {
            file.navigation(10, i, n(i), QString());
        }
        c.prune(file);
        file.selectedNavigation(10, c.selected);
        const auto session = ChromiumSession::read(file.data(), nullptr);
        ASSERT_TRUE(session) << c.name;
        ASSERT_EQ(session->windows.size(), 1) << c.name;
        EXPECT_EQ(session->windows[0].tabs[0].url, c.shown) << c.name;
    }
}

// A file naming thousands of navigations for a tab, each followed by a prune, is read in the time
// of its size (it took minutes once): a tab keeps the newest part of its history only.
TEST(ChromiumSession, KeepsTheNewestPartOfALongHistory) {
    const auto n = [](int i) { return QStringLiteral("https://n%1.example/").arg(i); };
    constexpr int count = 16000;
    ChromiumSessionFile file;
    file.tabInWindow(1, 10).tabIndex(10, 0);
    for (int i = 0; i < count; ++i) {
        file.navigation(10, i, n(i), QString());
    }
    for (int i = 0; i < count; ++i) {
        file.pruned(10, 0, 0);
    }
    const struct {
        int selected;
        QString shown;
    } cases[] = {
        {count - 1, n(count - 1)},
        {count - 100, n(count - 100)},
        {0, n(count - 1)}, // dropped: the last page stands in for it
    };
    for (const auto& c : cases) {
        ChromiumSessionFile selecting = file;
        selecting.selectedNavigation(10, c.selected);
        const auto session = ChromiumSession::read(selecting.data(), nullptr);
        ASSERT_TRUE(session);
        ASSERT_EQ(session->windows.size(), 1);
        EXPECT_EQ(session->windows[0].tabs[0].url, c.shown) << c.selected;
    }
}

// Hostile and broken files: nothing, with a reason, and never a crash.
TEST(ChromiumSession, RefusesFilesThatCannotBeSessions) {
    ChromiumSessionFile good;
    good.window(1, QRect(0, 0, 800, 600), {QStringLiteral("https://a.example/")}, 0);
    QByteArray truncated = good.data();
    truncated.chop(3);
    QByteArray badMagic = good.data();
    badMagic[0] = 'X';
    QByteArray encrypted = good.data();
    encrypted[4] = 2;
    QByteArray zeroSize = good.data();
    zeroSize.append(2, '\0');
    const struct {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"empty", QByteArray()},
        {"header only, cut", QByteArray("SNSS\x03", 5)},
        {"truncated", truncated},
        {"bad magic", badMagic},
        {"encrypted version", encrypted},
        {"command of size 0", zeroSize},
        {"oversized", QByteArray(ChromiumSession::maximumFileSize + 1, 'S')},
        {"garbage", QByteArray(4096, '\xA7')},
    };
    for (const auto& c : cases) {
        QString problem;
        EXPECT_FALSE(ChromiumSession::read(c.data, &problem)) << c.name;
        EXPECT_FALSE(problem.isEmpty()) << c.name;
    }

    // A record that is no regular file is never opened, however good what it would give: a FIFO
    // without a writer would hold the reader until one came.
    QTemporaryDir folder;
    const QString fifo = folder.filePath(QStringLiteral("Session_1"));
    const QString link = folder.filePath(QStringLiteral("Session_2"));
    ASSERT_TRUE(QFile::link(fifo, link));
    const struct {
        const char* name;
        QString path;
    } files[] = {
        {"a FIFO", fifo},
        {"a link to a FIFO", link},
        {"a folder", folder.path()},
    };
    for (const auto& f : files) {
        const FifoWriter writer(fifo, good.data());
        ASSERT_TRUE(writer.made());
        QString problem;
        EXPECT_FALSE(ChromiumSession::readFile(f.path, &problem)) << f.name;
        EXPECT_FALSE(problem.isEmpty()) << f.name;
    }
}

// Commands whose bodies lie about their sizes are passed over; the rest of the file still counts.
TEST(ChromiumSession, PassesOverCommandsThatDoNotFitTheirKind) {
    ChromiumSessionFile file;
    file.window(1, QRect(0, 0, 800, 600), {QStringLiteral("https://a.example/")}, 0);
    QByteArray hugeUrl; // payload size fits, the URL's byte count does not
    for (const std::int32_t v : {12, 1000, 0, 0x7FFFFFF0}) {
        for (int b = 0; b < 4; ++b) {
            hugeUrl.append(static_cast<char>((v >> (8 * b)) & 0xFF));
        }
    }
    file.command(6, hugeUrl)
        .command(6, QByteArray("\xFF\xFF\xFF\x7F", 4)) // payload larger than the body
        .command(0, QByteArray(3, '\x01'))             // a pair cut short
        .command(14, QByteArray(10, '\x02'))           // bounds cut short
        .command(200, QByteArray(40, '\x03'));         // a kind tab reading does not know
    QString problem;
    const auto session = ChromiumSession::read(file.data(), &problem);
    ASSERT_TRUE(session) << problem.toStdString();
    EXPECT_EQ(session->skippedCommands, 4);
    ASSERT_EQ(session->windows.size(), 1);
    EXPECT_EQ(session->windows[0].tabs[0].url, QStringLiteral("https://a.example/"));
}

// A frame whose edges could not be added up is no frame: the command is passed over.
TEST(ChromiumSession, PassesOverFramesFarOffAnyScreen) {
    ChromiumSessionFile file;
    file.window(1, QRect(0, 0, 800, 600), {QStringLiteral("https://a.example/")}, 0);
    QByteArray far;
    for (const std::int32_t v : {1, 1634492986, 0, 1459617792, 600, 1}) {
        for (int b = 0; b < 4; ++b) {
            far.append(static_cast<char>((v >> (8 * b)) & 0xFF));
        }
    }
    file.command(14, far);
    const auto session = ChromiumSession::read(file.data(), nullptr);
    ASSERT_TRUE(session);
    EXPECT_EQ(session->skippedCommands, 1);
    EXPECT_EQ(session->windows[0].bounds, QRect(0, 0, 800, 600));
}
