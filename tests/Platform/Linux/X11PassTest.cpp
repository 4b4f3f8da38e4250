// What the X11 ports keep of what they read: the windows for a pass of the event loop, the
// monitors' descriptions until their list changes. Counted in waits for the X server.
#include "Platform/Linux/CommandLineDocument.h"
#include "Support/X11DesktopTest.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <thread>

namespace {

using X11PassTest = X11DesktopTest;

quint64 tripsOf(const std::function<void()>& work) {
    const quint64 before = X11Connection::roundTrips();
    work();
    return X11Connection::roundTrips() - before;
}

TEST_F(X11PassTest, AnApplicationsWindowsAndTheirAttributesAreReadOncePerPass) {
    constexpr int count = 20;
    const qint32 pid = start(testWindowProgram(), {QStringLiteral("--count"), QString::number(count)});
    waitForWindows(pid, count);
    QCoreApplication::processEvents();

    QList<AXElement> list;
    const auto readAll = [&] {
        for (const AXElement& window : list) {
            for (const char* attribute : {"AXPosition", "AXSize", "AXTitle", "AXMinimized", "AXSubrole"}) {
                EXPECT_EQ(accessibility->copyAttributeValue(window, QString::fromLatin1(attribute)).error, 0)
                    << attribute;
            }
        }
    };
    const quint64 first = tripsOf([&] {
        list = accessibility
                   ->copyAttributeValue(accessibility->applicationElement(pid), QStringLiteral("AXWindows"))
                   .value.toElements()
                   .value_or(QList<AXElement>());
        readAll();
    });
    EXPECT_EQ(list.size(), count);
    // Read again in the same pass, the whole list costs nothing, where each attribute read used
    // to cost several waits (a pass that a stall of the machine ended costs a window's read again).
    EXPECT_GT(first, 0u);
    EXPECT_LT(tripsOf(readAll), quint64(count));
}

TEST_F(X11PassTest, AWindowsPlaceAfterAReadOfItsApplicationCostsNoWaitOfItsOwn) {
    // The monitors (where the primary one is decides a window's position) go along with every
    // read of windows, however the windows came to be read.
    const qint32 pid = start(testWindowProgram(), {QStringLiteral("--count"), QStringLiteral("3")});
    const xcb_window_t window = waitForWindows(pid, 3).value(0).window;
    // The least of three tries: a stall of the machine may end a pass between two reads.
    quint64 least = std::numeric_limits<quint64>::max();
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        ASSERT_EQ(applications->windowsOf(pid).size(), 3);
        least = std::min(
            least, tripsOf([&] {
                EXPECT_EQ(
                    accessibility->copyAttributeValue(AXElement{window}, QStringLiteral("AXPosition")).error,
                    0);
            }));
    }
    EXPECT_EQ(least, 0u);
}

TEST_F(X11PassTest, AProcessDocumentIsReadOncePerPass) {
    // Programs that run one process per window, each with its file.
    QTemporaryDir folder;
    QList<xcb_window_t> shown;
    for (const char* name : {"one.txt", "two.txt", "three.txt"}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const qint32 pid = start(testWindowProgram(), {file.fileName()});
        shown << waitForWindows(pid).value(0).window;
    }
    int reads = 0;
    LinuxAccessibility counted(windows, monitors, applications, [&reads](qint32 pid) {
        ++reads;
        return CommandLineDocument::ofProcess(pid);
    });
    const auto readAll = [&] {
        QStringList documents;
        for (const xcb_window_t window : shown) {
            documents << counted.copyAttributeValue(AXElement{window}, QStringLiteral("AXDocument"))
                             .value.toString()
                             .value_or(QString());
        }
        return documents;
    };
    QCoreApplication::processEvents();
    const QStringList documents = readAll();
    EXPECT_EQ(documents.value(0), QUrl::fromLocalFile(folder.filePath(QStringLiteral("one.txt"))).toString());
    EXPECT_EQ(readAll(), documents);
    // A stall of the machine may end a pass early: then a window's process is read again.
    EXPECT_GE(reads, 3);
    EXPECT_LT(reads, 6);
    // The next pass reads them again: the process may be another one by then.
    QCoreApplication::processEvents();
    reads = 0;
    EXPECT_EQ(readAll(), documents);
    EXPECT_GE(reads, 3);
}

TEST_F(X11PassTest, APassEndsWithARequestOrATurnOfTheEventLoop) {
    const qint32 pid = start(testWindowProgram());
    const xcb_window_t window = waitForWindows(pid).value(0).window;
    QCoreApplication::processEvents();
    const auto title = [&] {
        return windows->client(window).value_or(X11Client()).title.value_or(QString());
    };
    const QString before = title();

    // A change this program's own connection makes behind the ports' back shows from the next pass.
    const QByteArray renamed("Renamed");
    connection->discard(xcb_change_property_checked(
        connection->xcb(), XCB_PROP_MODE_REPLACE, window, connection->atom("_NET_WM_NAME"),
        connection->atom("UTF8_STRING"), 8, quint32(renamed.size()), renamed.constData()));
    connection->flush();
    EXPECT_EQ(tripsOf([&] { EXPECT_EQ(title(), before); }), 0u);
    QCoreApplication::processEvents();
    EXPECT_EQ(title(), QStringLiteral("Renamed"));

    // An answer the server holds back (another client has it grabbed for a while) ends no pass:
    // the wait is the read's own, not a pause between two reads, and the window and the list read
    // along with it are not read again (the least of three tries: a stall of the machine may end
    // a pass between two reads).
    quint64 held = std::numeric_limits<quint64>::max();
    for (int i = 0; i < 3; ++i) {
        xcb_connection_t* other = xcb_connect(nullptr, nullptr);
        ASSERT_EQ(xcb_connection_has_error(other), 0);
        xcb_grab_server(other);
        std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
        std::thread release([other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            xcb_ungrab_server(other);
            xcb_flush(other);
        });
        QCoreApplication::processEvents();
        held = std::min(held, tripsOf([&] { EXPECT_EQ(title(), QStringLiteral("Renamed")); }));
        release.join();
        xcb_disconnect(other);
    }
    EXPECT_EQ(held, 1u);

    // A request forgets the window it changes: the next read goes to the server.
    const QPoint target = windows->client(window)->frameRect().topLeft() + QPoint(37, 23);
    ASSERT_TRUE(windows->moveFrame(window, target));
    EXPECT_GT(tripsOf([&] { windows->client(window); }), 0u);
    EXPECT_TRUE(waitUntil([&] { return windows->client(window)->frameRect().topLeft() == target; }));
}

TEST_F(X11PassTest, AReadAskedAheadTakesItsAnswersInALaterPassWithoutRequestsOfItsOwn) {
    const qint32 pid = start(testWindowProgram(), {QStringLiteral("--count"), QStringLiteral("3")});
    QList<xcb_window_t> all;
    for (const X11Client& client : waitForWindows(pid, 3)) {
        all.append(client.window);
    }
    ASSERT_EQ(all.size(), 3);
    const xcb_window_t first = all.first();
    const auto framesOf = [&] {
        QList<QRect> frames;
        for (const X11Client& client : windows->clients(all)) {
            frames.append(client.frameRect());
        }
        return frames;
    };
    QCoreApplication::processEvents();
    const QList<QRect> standing = framesOf();
    const QPoint target = standing.first().topLeft() + QPoint(29, 17);
    struct Case {
        const char* name;
        std::function<void()> between;
        QList<xcb_window_t> read;
        bool taken;
    };
    const QList<Case> cases{
        {"the same windows", [] {}, all, true},
        {"other windows", [] {}, {first}, false},
        // Asked before the request: the answers would show the window where it was.
        {"a request in between", [&] { windows->moveFrame(first, target); }, all, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QCoreApplication::processEvents();
        windows->askAhead(all);
        c.between();
        QCoreApplication::processEvents();
        const quint64 before = xcb_total_written(connection->xcb());
        const QList<X11Client> read = windows->clients(c.read);
        EXPECT_EQ(xcb_total_written(connection->xcb()) == before, c.taken);
        EXPECT_EQ(read.size(), c.read.size());
        if (c.taken) {
            EXPECT_EQ(framesOf(), standing);
        }
    }
    EXPECT_TRUE(waitUntil([&] { return windows->client(first)->frameRect().topLeft() == target; }));
}

TEST_F(X11PassTest, TheScreensAreKeptWithinAPassAndFollowAChangeOfMonitors) {
    ASSERT_FALSE(screens->screens().isEmpty());
    QCoreApplication::processEvents();
    // Within a pass the screens cost nothing more.
    screens->screens();
    EXPECT_EQ(tripsOf([&] { screens->screens(); }), 0u);

    xrandr({"--setmonitor", "LEFT", "1920/508x1080/286+0+0", "screen"});
    xrandr({"--setmonitor", "*RIGHT", "1920/508x1080/286+1920+0", "none"});
    EXPECT_TRUE(waitUntil([&] { return screens->screens().size() == 2; }));
    EXPECT_EQ(screens->screens().value(0).localizedName, QStringLiteral("RIGHT"));
}

} // namespace
