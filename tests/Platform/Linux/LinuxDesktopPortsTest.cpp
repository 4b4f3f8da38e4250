#include "Support/ActivationRequests.h"
#include "Support/X11DesktopTest.h"

#include "Platform/Linux/LinuxProcess.h"
#include "Services/Desktop/WindowScreenshotService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

namespace {

const QString kWindows = QStringLiteral("AXWindows");

QList<xcb_window_t> numbersOf(const QList<WindowServerEntry>& list, qint32 pid) {
    QList<xcb_window_t> numbers;
    for (const WindowServerEntry& entry : list) {
        if (entry.ownerPID == pid) {
            numbers.append(entry.windowNumber);
        }
    }
    return numbers;
}

std::optional<RunningApplication> find(const QList<RunningApplication>& apps, qint32 pid) {
    for (const RunningApplication& app : apps) {
        if (app.processIdentifier == pid) {
            return app;
        }
    }
    return std::nullopt;
}

using X11ApplicationsTest = X11DesktopTest;
using X11WindowsTest = X11DesktopTest;

TEST_F(X11ApplicationsTest, ListsProgramsWithTheirPidsAndIdentifiers) {
    const qint32 xterm = start(QStringLiteral("xterm"), {QStringLiteral("-T"), QStringLiteral("shell")});
    // xcalc sets no _NET_WM_PID and ships no desktop entry.
    const qint32 xcalc = start(QStringLiteral("xcalc"));
    const qint32 mine = start(testWindowProgram(), {QStringLiteral("--count"), QStringLiteral("2")});
    const xcb_window_t xtermWindow = waitForWindows(xterm).value(0).window;
    const xcb_window_t xcalcWindow = waitForWindows(xcalc).value(0).window;
    waitForWindows(mine, 2);

    const QList<RunningApplication> apps = applications->runningApplications();
    const auto app = [&apps](qint32 pid) { return find(apps, pid).value_or(RunningApplication()); };
    EXPECT_EQ(app(xterm).bundleIdentifier, QStringLiteral("debian-xterm.desktop"));
    EXPECT_EQ(app(xterm).localizedName, QStringLiteral("XTerm"));
    EXPECT_EQ(app(xcalc).bundleIdentifier, QFileInfo(QStringLiteral("/usr/bin/xcalc")).canonicalFilePath());
    EXPECT_EQ(app(xcalc).localizedName, QStringLiteral("XCalc"));
    EXPECT_EQ(app(mine).bundleIdentifier, QFileInfo(testWindowProgram()).canonicalFilePath());
    for (const qint32 pid : {xterm, xcalc, mine}) {
        EXPECT_EQ(app(pid).activationPolicy, ActivationPolicy::Regular) << pid;
        EXPECT_FALSE(app(pid).isHidden);
        EXPECT_TRUE(app(pid).isFinishedLaunching);
    }
    EXPECT_FALSE(find(apps, qint32(QCoreApplication::applicationPid())));

    // Each application's "AXWindows" are its own windows; the window list names their owners.
    const auto axWindows = [this](qint32 pid) {
        return accessibility->copyAttributeValue(accessibility->applicationElement(pid), kWindows)
            .value.toElements()
            .value_or(QList<AXElement>());
    };
    EXPECT_EQ(axWindows(xterm), QList<AXElement>{AXElement{xtermWindow}});
    EXPECT_EQ(axWindows(xcalc), QList<AXElement>{AXElement{xcalcWindow}});
    EXPECT_EQ(axWindows(mine).size(), 2);
    const auto list = windowServer->windowList(WindowServer::OnScreenWindows);
    ASSERT_TRUE(list);
    EXPECT_EQ(numbersOf(*list, xcalc), QList<xcb_window_t>{xcalcWindow});
    EXPECT_EQ(numbersOf(*list, mine).size(), 2);
    EXPECT_EQ(accessibility->copyAttributeValue(AXElement{quint64(xterm)}, kWindows).error,
              AXError::InvalidUIElement);
    EXPECT_EQ(accessibility->copyAttributeValue(accessibility->applicationElement(999999), kWindows).error,
              AXError::CannotComplete);
}

TEST_F(X11ApplicationsTest, TheProcessesOfOneProgramAreOneApplication) {
    // Three terminals, each its own process, started one after the other: the first is the oldest.
    QList<qint32> pids;
    QList<xcb_window_t> terminals;
    for (const char* title : {"Build", "Logs", "Shell"}) {
        pids.append(start(QStringLiteral("xterm"), {QStringLiteral("-T"), QString::fromLatin1(title)}));
        terminals.append(waitForWindows(pids.last()).value(0).window);
    }
    const qint32 mine = start(testWindowProgram());
    waitForWindows(mine);

    QList<RunningApplication> xterms;
    for (const RunningApplication& app : applications->runningApplications()) {
        if (app.bundleIdentifier == QStringLiteral("debian-xterm.desktop")) {
            xterms.append(app);
        }
    }
    ASSERT_EQ(xterms.size(), 1);
    EXPECT_EQ(xterms[0].processIdentifier, pids[0]);
    EXPECT_EQ(xterms[0].activationPolicy, ActivationPolicy::Regular);
    EXPECT_EQ(applications->application(mine).value_or(RunningApplication()).processIdentifier, mine);

    const auto axWindows = [this](qint32 pid) {
        QList<xcb_window_t> numbers;
        for (const AXElement& element :
             accessibility->copyAttributeValue(accessibility->applicationElement(pid), kWindows)
                 .value.toElements()
                 .value_or(QList<AXElement>())) {
            numbers.append(xcb_window_t(element.id));
        }
        return numbers;
    };
    const auto onScreen = [this] {
        return windowServer->windowList(WindowServer::OnScreenWindows).value_or(QList<WindowServerEntry>());
    };
    // Raised in turn, the last one ends in front: every process's windows, front to back.
    for (const xcb_window_t window : terminals) {
        accessibility->performAction(AXElement{window}, QStringLiteral("AXRaise"));
    }
    ASSERT_TRUE(waitUntil([&] { return axWindows(pids[0]).value(0) == terminals[2]; }));
    EXPECT_EQ(axWindows(pids[0]), (QList<xcb_window_t>{terminals[2], terminals[1], terminals[0]}));
    for (const qint32 pid : pids) {
        // Any of its processes finds the application, as it stands for all of them.
        EXPECT_EQ(applications->application(pid).value_or(RunningApplication()).processIdentifier, pids[0]);
        EXPECT_EQ(axWindows(pid), axWindows(pids[0])) << pid;
    }
    EXPECT_EQ(numbersOf(onScreen(), pids[0]),
              (QList<xcb_window_t>{terminals[2], terminals[1], terminals[0]}));
    EXPECT_TRUE(numbersOf(onScreen(), pids[1]).isEmpty());

    // Hiding, showing, activating and quitting act on every process.
    EXPECT_TRUE(applications->hide(pids[1]));
    EXPECT_TRUE(waitUntil(
        [&] { return applications->application(pids[0]).value_or(RunningApplication()).isHidden; }));
    EXPECT_TRUE(numbersOf(onScreen(), pids[0]).isEmpty());
    EXPECT_EQ(numbersOf(onScreen(), mine).size(), 1);
    EXPECT_TRUE(applications->unhide(pids[0]));
    EXPECT_TRUE(waitUntil([&] { return numbersOf(onScreen(), pids[0]).size() == 3; }));
    EXPECT_TRUE(applications->activate(pids[2], 0));
    EXPECT_TRUE(waitUntil([&] {
        return applications->frontmostApplication().value_or(RunningApplication()).processIdentifier ==
               pids[0];
    }));
    EXPECT_TRUE(applications->terminate(pids[2]));
    EXPECT_TRUE(waitUntil([&] {
        return std::none_of(pids.cbegin(), pids.cend(),
                            [](qint32 pid) { return LinuxProcess::isAlive(pid); });
    }));
    EXPECT_FALSE(applications->application(pids[0]));
    EXPECT_TRUE(applications->application(mine));
}

TEST_F(X11ApplicationsTest, NeverTouchesWhatDrawsTheDesktop) {
    // A program that draws the desktop and also shows a normal window, and one whose executable
    // is named after a panel (it has no desktop entry, so its path is its identifier).
    const qint32 drawer = start(testWindowProgram(), {QStringLiteral("--type"), QStringLiteral("desktop"),
                                                      QStringLiteral("--count"), QStringLiteral("2")});
    QTemporaryDir folder;
    const QString panel = folder.filePath(QStringLiteral("tint2"));
    ASSERT_TRUE(QFile::copy(testWindowProgram(), panel));
    QFile::setPermissions(panel, QFile::permissions(panel) | QFileDevice::ExeOwner);
    const qint32 named = start(panel);
    waitForWindows(named);
    std::optional<X11Client> desktopWindow;
    std::optional<X11Client> normalWindow;
    ASSERT_TRUE(waitUntil([&] {
        for (const X11Client& client : windows->clients()) {
            if (client.pid == drawer) {
                (client.type == X11Client::Type::Desktop ? desktopWindow : normalWindow) = client;
            }
        }
        return desktopWindow && normalWindow;
    }));

    const RunningApplication drawing = applications->application(drawer).value_or(RunningApplication());
    EXPECT_EQ(drawing.activationPolicy, ActivationPolicy::Regular);
    const std::optional<RunningApplication> panelApp = applications->application(named);
    ASSERT_TRUE(panelApp);
    EXPECT_EQ(panelApp->activationPolicy, ActivationPolicy::Accessory)
        << panelApp->bundleIdentifier.value_or(QString()).toStdString();

    // Hiding and quitting reach its normal window only; no signal ends the process.
    EXPECT_TRUE(applications->hide(drawer));
    EXPECT_TRUE(
        waitUntil([&] { return windows->client(normalWindow->window).value_or(X11Client()).minimized; }));
    EXPECT_FALSE(windows->client(desktopWindow->window).value_or(X11Client()).minimized);
    EXPECT_FALSE(applications->forceTerminate(drawer));
    EXPECT_TRUE(applications->terminate(drawer));
    EXPECT_TRUE(waitUntil([&] { return !windows->client(normalWindow->window); }));
    EXPECT_TRUE(windows->client(desktopWindow->window));
    EXPECT_TRUE(LinuxProcess::isAlive(drawer));
}

TEST_F(X11ApplicationsTest, LaunchesThroughTheDesktopEntry) {
    const QString id = installTestWindowEntry();
    const std::optional<QUrl> url = applications->urlForApplication(id);
    ASSERT_TRUE(url);
    EXPECT_FALSE(applications->urlForApplication(QStringLiteral("no-such-program.desktop")));
    EXPECT_FALSE(applications->urlForApplication(QStringLiteral("/no/such/program")));

    QTemporaryDir documents;
    const QList<QUrl> files{QUrl::fromLocalFile(documents.filePath("notes.txt")),
                            QUrl::fromLocalFile(documents.filePath("plan b.txt"))};
    for (const QUrl& file : files) {
        QFile text(file.toLocalFile());
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("text\n");
    }
    const OpenResult opened = QCoro::waitFor(applications->openDocuments(files, *url, false));
    EXPECT_TRUE(opened.succeeded) << opened.errorText.toStdString();

    std::optional<RunningApplication> launched;
    ASSERT_TRUE(waitUntil([&] {
        for (const RunningApplication& app : applications->runningApplications()) {
            if (app.bundleIdentifier == id && app.isFinishedLaunching) {
                launched = app;
            }
        }
        return launched.has_value();
    }));
    EXPECT_EQ(launched->localizedName, QStringLiteral("Ordella Test Window"));
    QStringList titles;
    for (const X11Client& window : waitForWindows(launched->processIdentifier, 2)) {
        titles << window.title.value_or(QString());
    }
    titles.sort();
    EXPECT_EQ(titles, (QStringList{"notes.txt", "plan b.txt"}));
    // The launcher's note in the child's environment names the entry.
    EXPECT_TRUE(LinuxProcess::environmentValue(launched->processIdentifier, "GIO_LAUNCHED_DESKTOP_FILE"));
    // Started in the home folder, as a desktop's launcher starts it, not in the folder the test runs in.
    ASSERT_NE(QDir::currentPath(), QDir::homePath());
    EXPECT_EQ(LinuxProcess::workingFolder(launched->processIdentifier),
              QFileInfo(QDir::homePath()).canonicalFilePath());

    // Opening a running application reopens it instead of starting a second one.
    EXPECT_TRUE(QCoro::waitFor(applications->openApplication(*url, true)).succeeded);
    int instances = 0;
    for (const RunningApplication& app : applications->runningApplications()) {
        instances += app.bundleIdentifier == id ? 1 : 0;
    }
    EXPECT_EQ(instances, 1);
    EXPECT_FALSE(
        QCoro::waitFor(applications->openApplication(QUrl::fromLocalFile("/etc/hostname"), false)).succeeded);
}

TEST_F(X11WindowsTest, MovesFramesAndReadsThemBack) {
    // xterm keeps to whole character cells; the test window takes any size.
    const qint32 xterm =
        start(QStringLiteral("xterm"), {QStringLiteral("-geometry"), QStringLiteral("80x24+10+10")});
    const qint32 mine = start(testWindowProgram());
    const X11Client cells = waitForWindows(xterm).value(0);
    const X11Client plain = waitForWindows(mine).value(0);

    for (const X11Client& window : {cells, plain}) {
        const AXElement element{window.window};
        EXPECT_EQ(accessibility->setAttributeValue(element, QStringLiteral("AXPosition"),
                                                   AXValue::point({300, 200})),
                  AXError::Success);
        EXPECT_EQ(
            accessibility->setAttributeValue(element, QStringLiteral("AXSize"), AXValue::size({503, 301})),
            AXError::Success);
        std::optional<QRectF> frame;
        EXPECT_TRUE(waitUntil([&] {
            frame = axFrame(window.window);
            return frame && frame->topLeft() == QPointF(300, 200) && std::abs(frame->width() - 503) < 20 &&
                   std::abs(frame->height() - 301) < 30;
        })) << window.title.value_or(QString()).toStdString();
        // The read-back tells what the manager made of the request.
        if (window.window == plain.window) {
            EXPECT_EQ(frame, QRectF(300, 200, 503, 301));
        }
    }
    EXPECT_EQ(accessibility->setAttributeValue(AXElement{plain.window}, QStringLiteral("AXPosition"),
                                               AXValue::size({1, 1})),
              AXError::IllegalArgument);
    EXPECT_EQ(accessibility->copyAttributeValue(AXElement{plain.window}, QStringLiteral("AXSubrole")).value,
              AXValue::string(QStringLiteral("AXStandardWindow")));
    EXPECT_EQ(accessibility->copyAttributeValue(AXElement{cells.window}, QStringLiteral("AXTitle"))
                  .value.toString(),
              cells.title);
    EXPECT_EQ(accessibility->copyAttributeValue(AXElement{plain.window}, QStringLiteral("AXDocument")).error,
              AXError::NoValue);
}

TEST_F(X11WindowsTest, ReadsTitlesAsTheirProgramsStoredThem) {
    // xterm names its window by WM_NAME alone: as STRING for a Latin-1 title, as compound text
    // beyond it.
    for (const QString& title : {QStringLiteral("Café"), QStringLiteral("Café – naïve ✓")}) {
        const qint32 pid =
            start(QStringLiteral("env"),
                  {QStringLiteral("LC_ALL=C.UTF-8"), QStringLiteral("xterm"), QStringLiteral("-xrm"),
                   QStringLiteral("*allowTitleOps: false"), QStringLiteral("-T"), title});
        const X11Client window = waitForWindows(pid).value(0);
        EXPECT_EQ(accessibility->copyAttributeValue(AXElement{window.window}, AXName::Title).value.toString(),
                  title);
    }
}

TEST_F(X11WindowsTest, MinimisesRestoresRaisesAndCloses) {
    const qint32 pid = start(testWindowProgram(), {QStringLiteral("--count"), QStringLiteral("2")});
    const QList<X11Client> both = waitForWindows(pid, 2);
    const xcb_window_t first = both.value(0).window;
    const xcb_window_t second = both.value(1).window;
    const auto onScreen = [this, pid] {
        return numbersOf(
            windowServer->windowList(WindowServer::OnScreenWindows).value_or(QList<WindowServerEntry>()),
            pid);
    };
    const auto flag = [this](xcb_window_t window, const char* attribute) {
        return accessibility->copyAttributeValue(AXElement{window}, QString::fromLatin1(attribute))
            .value.toBool();
    };

    // Raising puts a window in front; the list follows the server's stacking, and so does the
    // order read alone, which keeps the frames as last read.
    const auto order = [this, first, second] {
        QList<quint32> ours;
        for (const quint32 number : windowServer->stackingOrder().value_or(QList<quint32>())) {
            if (number == first || number == second) {
                ours.append(number);
            }
        }
        return ours;
    };
    for (const xcb_window_t window : {first, second, first}) {
        EXPECT_EQ(accessibility->performAction(AXElement{window}, QStringLiteral("AXRaise")),
                  AXError::Success);
        EXPECT_TRUE(waitUntil([&] { return onScreen().value(0) == window; })) << window;
        const xcb_window_t behind = window == first ? second : first;
        EXPECT_TRUE(waitUntil([&] { return order() == QList<quint32>{window, behind}; })) << window;
    }
    // An activation carries the server's time, as managers that keep focus from being stolen ask.
    ActivationRequests activations;
    EXPECT_EQ(accessibility->setAttributeValue(AXElement{second}, QStringLiteral("AXFocused"),
                                               AXValue::boolean(true)),
              AXError::Success);
    EXPECT_TRUE(
        waitUntil([&] { return flag(second, "AXFocused") == true && onScreen().value(0) == second; }));
    EXPECT_TRUE(waitUntil([&] { return !activations.times().isEmpty(); }));
    EXPECT_FALSE(activations.times().contains(XCB_CURRENT_TIME)) << activations.times().size();
    EXPECT_EQ(applications->frontmostApplication().value_or(RunningApplication()).processIdentifier, pid);

    EXPECT_EQ(accessibility->setAttributeValue(AXElement{first}, QStringLiteral("AXMinimized"),
                                               AXValue::boolean(true)),
              AXError::Success);
    EXPECT_TRUE(waitUntil([&] { return flag(first, "AXMinimized") == true && !onScreen().contains(first); }));
    EXPECT_EQ(windowServer->windowList(WindowServer::OptionAll).value_or(QList<WindowServerEntry>()).size() >=
                  2,
              true);
    EXPECT_EQ(accessibility->setAttributeValue(AXElement{first}, QStringLiteral("AXMinimized"),
                                               AXValue::boolean(false)),
              AXError::Success);
    EXPECT_TRUE(waitUntil([&] { return flag(first, "AXMinimized") == false && onScreen().contains(first); }));

    // Hiding an application minimises all its windows; unhiding brings back those it minimised.
    EXPECT_TRUE(applications->hide(pid));
    EXPECT_TRUE(
        waitUntil([&] { return applications->application(pid).value_or(RunningApplication()).isHidden; }));
    EXPECT_TRUE(onScreen().isEmpty());
    EXPECT_TRUE(applications->unhide(pid));
    EXPECT_TRUE(waitUntil([&] { return onScreen().size() == 2; }));

    EXPECT_EQ(accessibility->setAttributeValue(AXElement{first}, QStringLiteral("AXFullScreen"),
                                               AXValue::boolean(true)),
              AXError::Success);
    EXPECT_TRUE(waitUntil([&] { return flag(first, "AXFullScreen") == true; }));

    // Terminating closes every window; the program quits with its last one.
    EXPECT_TRUE(applications->terminate(pid));
    EXPECT_TRUE(waitUntil([&] { return !applications->application(pid) && !LinuxProcess::isAlive(pid); }));
    EXPECT_EQ(accessibility->copyAttributeValue(AXElement{first}, QStringLiteral("AXPosition")).error,
              AXError::InvalidUIElement);
    EXPECT_EQ(accessibility->performAction(AXElement{first}, QStringLiteral("AXRaise")),
              AXError::InvalidUIElement);
}

TEST_F(X11WindowsTest, CapturesAWindowsOwnPixels) {
    const qint32 pid = start(testWindowProgram(), {QStringLiteral("--colour"), QStringLiteral("#a7e67a")});
    const X11Client window = waitForWindows(pid).value(0);
    // Another window on top of it does not show in its picture.
    const qint32 cover =
        start(QStringLiteral("xterm"), {QStringLiteral("-geometry"), QStringLiteral("80x24+0+0")});
    const X11Client covering = waitForWindows(cover).value(0);
    accessibility->setAttributeValue(AXElement{window.window}, QStringLiteral("AXPosition"),
                                     AXValue::point({0, 0}));
    accessibility->setAttributeValue(AXElement{covering.window}, QStringLiteral("AXPosition"),
                                     AXValue::point({0, 0}));
    accessibility->performAction(AXElement{covering.window}, QStringLiteral("AXRaise"));
    ASSERT_TRUE(
        waitUntil([&] { return axFrame(window.window).value_or(QRectF()).topLeft() == QPointF(0, 0); }));

    const ShareableContent content = QCoro::waitFor(screenCapture->shareableContent(false, true));
    ASSERT_FALSE(content.error);
    const auto shared =
        std::find_if(content.windows.cbegin(), content.windows.cend(),
                     [&](const ShareableWindow& w) { return w.windowNumber == window.window; });
    ASSERT_NE(shared, content.windows.cend());
    EXPECT_EQ(shared->ownerPid, pid);
    const QSize size = shared->frame.size().toSize();
    const WindowCapture capture = QCoro::waitFor(screenCapture->captureWindow(window.window, size, false));
    ASSERT_FALSE(capture.error) << capture.error->toStdString();
    EXPECT_EQ(capture.image.size(), size);
    const QPoint inside(size.width() / 2, size.height() / 2);
    EXPECT_EQ(capture.image.pixel(inside) & 0xFFFFFF, 0xa7e67au);

    accessibility->setAttributeValue(AXElement{window.window}, QStringLiteral("AXMinimized"),
                                     AXValue::boolean(true));
    ASSERT_TRUE(waitUntil([&] { return windows->client(window.window).value_or(X11Client()).minimized; }));
    EXPECT_TRUE(QCoro::waitFor(screenCapture->captureWindow(window.window, size, false)).error);
}

// What the screen shows in rect (root coordinates), as the server reads it back.
QImage screenArea(X11Connection& x, const QRect& rect) {
    const auto reply =
        x.reply(xcb_get_image_reply,
                xcb_get_image(x.xcb(), XCB_IMAGE_FORMAT_Z_PIXMAP, x.root(), qint16(rect.x()),
                              qint16(rect.y()), quint16(rect.width()), quint16(rect.height()), ~0u));
    if (!reply || xcb_get_image_data_length(reply.get()) < rect.width() * rect.height() * 4) {
        return QImage();
    }
    return QImage(xcb_get_image_data(reply.get()), rect.width(), rect.height(), rect.width() * 4,
                  QImage::Format_RGB32)
        .copy();
}

// Where the picture of a window differs from the screen at a grid of points (none: empty), and
// whether every pixel of it is opaque - also once it is drawn into a thumbnail.
QString differences(const QImage& picture, const QImage& screen) {
    QStringList found;
    const QImage thumbnail = WindowScreenshotService::createThumbnail(picture, 10000);
    for (const QImage& image : {picture, thumbnail}) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) != 255) {
                    return QStringLiteral("not opaque at %1,%2").arg(QString::number(x), QString::number(y));
                }
            }
        }
    }
    for (int i = 1; i < 8; ++i) {
        for (int j = 1; j < 8; ++j) {
            const QPoint at(picture.width() * i / 8, picture.height() * j / 8);
            for (const QImage& image : {picture, thumbnail}) {
                if ((image.pixel(at) & 0xFFFFFF) != (screen.pixel(at) & 0xFFFFFF)) {
                    found << QStringLiteral("%1,%2: %3 on screen %4")
                                 .arg(QString::number(at.x()), QString::number(at.y()),
                                      QString::number(image.pixel(at) & 0xFFFFFF, 16),
                                      QString::number(screen.pixel(at) & 0xFFFFFF, 16));
                }
            }
        }
    }
    return found.join(QStringLiteral("; "));
}

TEST_F(X11WindowsTest, PicturesOfRealWindowsShowWhatTheScreenShows) {
    // Black on white, in windows of the plain 24-bit visual: the picture must not take white for
    // transparent nor black for anything else.
    const qint32 xterm = start(QStringLiteral("xterm"),
                               {"-geometry", "60x12+40+40", "-bg", "white", "-fg", "black", "-e", "sh", "-c",
                                "printf 'Pictures of windows\\n'; ls -la /; exec sleep 600"});
    const qint32 xclock = start(QStringLiteral("xclock"), {"-geometry", "220x220+700+40"});
    for (const qint32 pid : {xterm, xclock}) {
        const X11Client window = waitForWindows(pid).value(0);
        ASSERT_NE(window.window, xcb_window_t(XCB_WINDOW_NONE));
        // Shown in full, with nothing over it.
        ASSERT_TRUE(waitUntil([&] { return windows->client(window.window).value_or(X11Client()).viewable; }));
        const QRect frame = windows->client(window.window)->frameRect();
        QString mismatch = QStringLiteral("not captured");
        // A clock hand may move between the two reads: the next try then agrees.
        for (int attempt = 0; attempt < 3 && !mismatch.isEmpty(); ++attempt) {
            const WindowCapture capture =
                QCoro::waitFor(screenCapture->captureWindow(window.window, frame.size(), false));
            ASSERT_FALSE(capture.error) << capture.error->toStdString();
            ASSERT_EQ(capture.image.size(), frame.size());
            const QImage screen = screenArea(*connection, frame);
            ASSERT_FALSE(screen.isNull());
            mismatch = differences(capture.image, screen);
        }
        EXPECT_TRUE(mismatch.isEmpty()) << pid << ": " << mismatch.toStdString();
    }
}

} // namespace
