// Sets up, scrambles and measures one scene on the X11 desktop, and captures and restores it with
// Ordella, for the end-to-end tests and the side-by-side comparison (scripts/side-by-side):
//   ordella-scene setup DIR      two monitors, three applications with six windows, arranged;
//                                the arrangement is written to DIR/reference.json
//   ordella-scene setup-plain DIR  the same without xcalc: two applications with five windows
//   ordella-scene scramble DIR   moves, minimises and restacks windows and quits one application
//                                (xcalc, or xterm in the plain scene)
//   ordella-scene capture FILE   Ordella captures the desktop into a workspace file
//   ordella-scene restore FILE   Ordella restores the workspace file (one request, as a shortcut
//                                would make it) and prints its report
//   ordella-scene measure DIR    prints how many windows are back (within 50 points), how many
//                                windows the scene's applications have open, and whether the
//                                stacking order is the saved one
//   ordella-scene teardown DIR   quits the scene's applications and removes the monitors
// The applications are the test window program through a desktop entry (4 windows), xterm and
// xcalc (no desktop entry, no _NET_WM_PID). Exit status 0 on success.
#include "Models/WorkspaceJson.h"
#include "Platform/Accessibility.h"
#include "Platform/Clock.h"
#include "Platform/Linux/LinuxPlatform.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Platform/RunningApplications.h"
#include "Platform/WindowServer.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RestoreCoordinator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

#include <qcoro/qcorotask.h>

#include <csignal>

namespace {

const QString kBoardEntry = QStringLiteral("ordella-scene-board.desktop");
const QString kXterm = QStringLiteral("debian-xterm.desktop");

// One window of the scene: its program (the executable's name, so that windows are found the same
// way whoever started the program), its title (empty: the program's only window) and where it
// goes, in global coordinates (origin at the primary monitor's top-left). A size of 0 leaves the
// window's own size.
struct Place {
    QString app;
    QString title;
    QRect frame;
};

const QString kBoards = QStringLiteral("ordella-test-window");
const QStringList kPrograms{kBoards, QStringLiteral("xterm"), QStringLiteral("xcalc")};

// Front to back: the boards, then xterm, then xcalc.
const QList<Place>& fullScene() {
    static const QList<Place> places{
        {kBoards, QStringLiteral("Board 3"), QRect(100, 120, 800, 600)},
        {kBoards, QStringLiteral("Board 1"), QRect(-1800, 100, 700, 500)},
        {kBoards, QStringLiteral("Board 4"), QRect(600, 300, 700, 500)},
        {kBoards, QStringLiteral("Board 2"), QRect(-1000, 150, 640, 480)},
        {kPrograms[1], QString(), QRect(1000, 200, 0, 0)},
        {kPrograms[2], QString(), QRect(-500, 600, 0, 0)},
    };
    return places;
}

// The scene set up in dir: the full one, or the plain one without xcalc.
QList<Place> scene(const QString& dir) {
    QList<Place> places = fullScene();
    if (QFile::exists(dir + QStringLiteral("/plain"))) {
        places.removeLast();
    }
    return places;
}

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

bool waitUntil(const std::function<bool()>& check, int ms = 10000) {
    Clock& clock = *Platform::current().clock;
    return QCoro::waitFor(clock.pollUntil(check, Clock::Duration(ms), Clock::Duration(20)));
}

struct LiveWindow {
    qint32 pid = 0;
    QString app;
    AXElement element;
    QString title;
    QRectF frame;
    bool minimized = false;
};

// Every window of the scene's programs, front to back.
QList<LiveWindow> liveWindows() {
    Platform& p = Platform::current();
    QList<LiveWindow> result;
    for (const RunningApplication& app : p.runningApplications->runningApplications()) {
        const QString program = QFileInfo(LinuxProcess::executable(app.processIdentifier)).fileName();
        if (!kPrograms.contains(program)) {
            continue;
        }
        const AXResult windows = p.accessibility->copyAttributeValue(
            p.accessibility->applicationElement(app.processIdentifier), AXName::Windows);
        for (const AXElement& element : windows.value.toElements().value_or(QList<AXElement>())) {
            LiveWindow w;
            w.pid = app.processIdentifier;
            w.app = program;
            w.element = element;
            w.title = p.accessibility->copyAttributeValue(element, AXName::Title)
                          .value.toString()
                          .value_or(QString());
            const auto position =
                p.accessibility->copyAttributeValue(element, AXName::Position).value.toPoint();
            const auto size = p.accessibility->copyAttributeValue(element, AXName::Size).value.toSize();
            w.frame = QRectF(position.value_or(QPointF()), size.value_or(QSizeF()));
            w.minimized = p.accessibility->copyAttributeValue(element, AXName::Minimized)
                              .value.toBool()
                              .value_or(false);
            result.append(w);
        }
    }
    // The window list is front to back.
    const QList<WindowServerEntry> list =
        p.windowServer->windowList(WindowServer::OptionAll).value_or(QList<WindowServerEntry>());
    const auto rank = [&list](const LiveWindow& w) {
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (list[i].windowNumber == w.element.id) {
                return i;
            }
        }
        return list.size();
    };
    std::stable_sort(result.begin(), result.end(),
                     [&rank](const LiveWindow& a, const LiveWindow& b) { return rank(a) < rank(b); });
    return result;
}

std::optional<LiveWindow> find(const QList<LiveWindow>& live, const Place& place) {
    for (const LiveWindow& w : live) {
        if (w.app == place.app && (place.title.isEmpty() || w.title == place.title)) {
            return w;
        }
    }
    return std::nullopt;
}

void xrandr(const QStringList& arguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("xrandr"), arguments);
    process.waitForFinished();
}

void setFrame(const LiveWindow& w, const QRect& frame) {
    Accessibility& ax = *Platform::current().accessibility;
    ax.setAttributeValue(w.element, AXName::Position, AXValue::point(frame.topLeft()));
    if (!frame.size().isEmpty()) {
        ax.setAttributeValue(w.element, AXName::Size, AXValue::size(frame.size()));
    }
}

int setup(const QString& dir, bool plain) {
    QDir().mkpath(dir);
    if (plain) {
        QFile(dir + QStringLiteral("/plain")).open(QIODevice::WriteOnly);
    }
    // The left monitor shows the screen's output; the right one, primary, is a monitor of its own.
    xrandr({"--setmonitor", "LEFT", "1920/508x1080/286+0+0", "screen"});
    xrandr({"--setmonitor", "*RIGHT", "1920/508x1080/286+1920+0", "none"});

    const QString applications = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                 QStringLiteral("/applications");
    QDir().mkpath(applications);
    QFile entry(applications + u'/' + kBoardEntry);
    if (!entry.open(QIODevice::WriteOnly)) {
        return 1;
    }
    entry.write(
        "[Desktop Entry]\nType=Application\nName=Scene Board\nExec=" +
        QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/ordella-test-window")) +
        " --caption Board --count 4\n");
    entry.close();

    RunningApplications& apps = *Platform::current().runningApplications;
    for (const QString& id : {kBoardEntry, kXterm}) {
        const std::optional<QUrl> url = apps.urlForApplication(id);
        if (!url || !QCoro::waitFor(apps.openApplication(*url, false)).succeeded) {
            out() << "cannot launch " << id << "\n";
            return 1;
        }
    }
    if (!plain) {
        QProcess::startDetached(QStringLiteral("xcalc"), {});
    }
    const QList<Place> places = scene(dir);
    if (!waitUntil([&] { return liveWindows().size() == places.size(); })) {
        out() << "the scene's windows did not all appear\n";
        return 1;
    }
    const QList<LiveWindow> live = liveWindows();
    for (const Place& place : places) {
        setFrame(*find(live, place), place.frame);
    }
    // Raised back to front, the first one ends on top.
    for (auto it = places.crbegin(); it != places.crend(); ++it) {
        Platform::current().accessibility->performAction(find(live, *it)->element, AXName::Raise);
    }
    const bool arranged = waitUntil([&] {
        const QList<LiveWindow> now = liveWindows();
        for (qsizetype i = 0; i < places.size(); ++i) {
            const std::optional<LiveWindow> w = find(now, places[i]);
            if (!w || i >= now.size() || now[i].element != w->element ||
                w->frame.topLeft() != QPointF(places[i].frame.topLeft())) {
                return false;
            }
        }
        return true;
    });
    // What the scene ended up as is the reference: sizes are the windows' own where not given.
    QJsonArray reference;
    for (const LiveWindow& w : liveWindows()) {
        reference.append(QJsonObject{{"app", w.app},
                                     {"title", w.title},
                                     {"x", w.frame.x()},
                                     {"y", w.frame.y()},
                                     {"width", w.frame.width()},
                                     {"height", w.frame.height()}});
    }
    QFile file(dir + QStringLiteral("/reference.json"));
    file.open(QIODevice::WriteOnly);
    file.write(QJsonDocument(reference).toJson());
    out() << (arranged ? "scene arranged\n" : "scene not arranged\n");
    return arranged ? 0 : 1;
}

// Moves two windows (one to the other monitor), minimises one, brings the back window to the front
// and quits xcalc.
int scramble(const QString& dir) {
    const QList<LiveWindow> live = liveWindows();
    const QList<Place> places = scene(dir);
    const Place& quitting = places.last();
    Platform& p = Platform::current();
    setFrame(*find(live, places[1]), QRect(200, 700, 500, 300));
    setFrame(*find(live, places[4]), QRect(-1500, 50, 0, 0));
    p.accessibility->setAttributeValue(find(live, places[0])->element, AXName::Minimized,
                                       AXValue::boolean(true));
    p.accessibility->performAction(find(live, places[3])->element, AXName::Raise);
    p.runningApplications->terminate(find(live, quitting)->pid);
    const bool done = waitUntil([&] { return !find(liveWindows(), quitting); });
    out() << (done ? "scene scrambled\n" : "scene not scrambled\n");
    return done ? 0 : 1;
}

int capture(const QString& file) {
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Scene")));
    if (!workspace) {
        out() << "capture failed\n";
        return 1;
    }
    const JsonResult<QByteArray> encoded = WorkspaceJson::encodeFile(*workspace);
    QFile output(file);
    if (!encoded || !output.open(QIODevice::WriteOnly) || output.write(encoded.value()) < 0) {
        out() << "cannot write " << file << "\n";
        return 1;
    }
    qsizetype windows = 0;
    for (const AppSnapshot& app : workspace->appSnapshots) {
        windows += app.windowSnapshots.size();
    }
    out() << "captured " << workspace->appSnapshots.size() << " applications with " << windows
          << " windows\n";
    return 0;
}

int restore(const QString& file) {
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        out() << "cannot read " << file << "\n";
        return 1;
    }
    const JsonResult<Workspace> workspace = WorkspaceJson::decodeFile(input.readAll());
    if (!workspace) {
        out() << "cannot read " << file << "\n";
        return 1;
    }
    RestoreCoordinator coordinator;
    const RestoreReport report = QCoro::waitFor(coordinator.restore(workspace.value(), false));
    out() << "status " << RestoreStatusText::rawValue(report.status) << ": " << report.summary() << "\n";
    for (const AppRestoreResult& app : report.appResults) {
        out() << "  " << app.appName << ": " << RestoreStatusText::rawValue(app.status) << " (" << app.reason
              << ")\n";
        for (const WindowRestoreResult& window : app.windowResults) {
            out() << "    " << window.windowTitle.value_or(QStringLiteral("untitled")) << ": "
                  << window.reason << "\n";
        }
    }
    return report.status == RestoreStatus::restored ? 0 : 1;
}

int measure(const QString& dir) {
    QFile file(dir + QStringLiteral("/reference.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        return 1;
    }
    const QJsonArray reference = QJsonDocument::fromJson(file.readAll()).array();
    const QList<LiveWindow> live = liveWindows();
    int placed = 0;
    QList<AXElement> expectedOrder;
    for (const QJsonValue& value : reference) {
        const QJsonObject r = value.toObject();
        const Place place{
            r["app"].toString(), r["app"].toString() == kBoards ? r["title"].toString() : QString(), {}};
        const std::optional<LiveWindow> w = find(live, place);
        const QRectF saved(r["x"].toDouble(), r["y"].toDouble(), r["width"].toDouble(),
                           r["height"].toDouble());
        if (w && !w->minimized && std::abs(w->frame.x() - saved.x()) <= 50 &&
            std::abs(w->frame.y() - saved.y()) <= 50 && std::abs(w->frame.width() - saved.width()) <= 50 &&
            std::abs(w->frame.height() - saved.height()) <= 50) {
            ++placed;
        }
        expectedOrder.append(w ? w->element : AXElement{});
    }
    QList<AXElement> liveOrder;
    for (const LiveWindow& w : live) {
        if (!w.minimized) {
            liveOrder.append(w.element);
        }
    }
    const bool stacking = liveOrder == expectedOrder;
    out() << "placed " << placed << "/" << reference.size() << " open " << live.size() << " stacking "
          << (stacking ? "saved" : "changed") << "\n";
    return placed == reference.size() && live.size() == reference.size() && stacking ? 0 : 1;
}

int teardown() {
    for (const RunningApplication& app : Platform::current().runningApplications->runningApplications()) {
        if (kPrograms.contains(QFileInfo(LinuxProcess::executable(app.processIdentifier)).fileName())) {
            ::kill(app.processIdentifier, SIGTERM);
        }
    }
    xrandr({"--delmonitor", "LEFT"});
    xrandr({"--delmonitor", "RIGHT"});
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ordella"));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        out() << "usage: ordella-scene setup|setup-plain|scramble|capture|restore|measure|teardown "
                 "DIR-OR-FILE\n";
        return 2;
    }
    const LinuxPlatform::Assembly assembly = LinuxPlatform::create();
    if (!assembly.problem.isEmpty()) {
        out() << assembly.problem << "\n";
        return 1;
    }
    Platform::install(assembly.platform);
    const QString command = arguments[1];
    const QString target = arguments[2];
    int status = 2;
    if (command == QLatin1String("setup")) {
        status = setup(target, false);
    } else if (command == QLatin1String("setup-plain")) {
        status = setup(target, true);
    } else if (command == QLatin1String("scramble")) {
        status = scramble(target);
    } else if (command == QLatin1String("capture")) {
        status = capture(target);
    } else if (command == QLatin1String("restore")) {
        status = restore(target);
    } else if (command == QLatin1String("measure")) {
        status = measure(target);
    } else if (command == QLatin1String("teardown")) {
        status = teardown();
    }
    out().flush();
    return status;
}
