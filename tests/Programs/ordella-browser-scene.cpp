// Sets up, scrambles and measures a browser scene on the X11 desktop, for the side-by-side
// comparison (scripts/side-by-side); ordella-scene captures and restores it:
//   ordella-browser-scene setup DIR     Chromium (a desktop entry of its own, a profile in DIR)
//                                       with two windows of four and two tabs, the second tab
//                                       shown in the first window; the tabs go to DIR/reference.json
//   ordella-browser-scene setup-newtab DIR
//                                       the same, with a new-tab page opened (Ctrl+T) in the second
//                                       window, the way a browser is most often left
//   ordella-browser-scene scramble DIR  quits the browser
//   ordella-browser-scene measure DIR   prints how many saved tabs are back in their window and
//                                       place (a new-tab page counts as back where the place shows
//                                       an empty page), and how many windows the browser has open
//   ordella-browser-scene teardown DIR  ends the browser
// The pages are files of DIR. Exit status 0 on success.
#include "Platform/Clock.h"
#include "Platform/Linux/ChromiumProfile.h"
#include "Platform/Linux/ChromiumSession.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/LinuxPlatform.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Platform/Linux/X11Connection.h"
#include "Platform/Linux/X11KeyPresses.h"
#include "Platform/Linux/X11Windows.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <csignal>

namespace {

const QString kEntry = QStringLiteral("chromium.desktop");
const QList<QRect> kFrames{QRect(80, 60, 1100, 750), QRect(2000, 120, 1000, 700)};
const QList<int> kTabs{4, 2};
const QString kNewTab = QStringLiteral("chrome://newtab/");

// A page that shows nothing: a new-tab page comes back as one of these, whichever it is.
bool isEmptyPage(const QString& url) {
    return url.startsWith(QLatin1String("chrome://newtab")) ||
           url.startsWith(QLatin1String("chrome://new-tab-page")) || url == QLatin1String("about:blank");
}

bool samePage(const QString& saved, const QString& shown) {
    return saved == shown || (isEmptyPage(saved) && isEmptyPage(shown));
}

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

bool waitUntil(const std::function<bool()>& check, int ms) {
    return QCoro::waitFor(
        Platform::current().clock->pollUntil(check, Clock::Duration(ms), Clock::Duration(50)));
}

QString profile(const QString& dir) {
    return dir + QStringLiteral("/profile");
}

// The browser's processes: its profile folder is on each command line.
QList<qint32> browserProcesses(const QString& dir) {
    QList<qint32> pids;
    const QString marker = QStringLiteral("--user-data-dir=") + profile(dir);
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint32 pid = entry.toInt(&number);
        if (number && LinuxProcess::isAlive(pid) && ChromiumProfile::commandLine(pid).contains(marker)) {
            pids << pid;
        }
    }
    return pids;
}

// Per window of the session file, its tab addresses.
QList<QStringList> sessionTabs(const QString& dir) {
    QList<QStringList> windows;
    const QString file = ChromiumProfile::newestSessionFile(profile(dir) + QStringLiteral("/Default"));
    const std::optional<ChromiumSession> session = ChromiumSession::readFile(file, nullptr);
    for (const ChromiumSession::Window& window :
         session ? session->windows : QList<ChromiumSession::Window>()) {
        QStringList urls;
        for (const ChromiumSession::Tab& tab : window.tabs) {
            urls << tab.url;
        }
        windows << urls;
    }
    return windows;
}

QList<xcb_window_t> browserWindows(X11Windows& windows) {
    QList<xcb_window_t> found;
    for (const X11Client& w : windows.stackedClients()) {
        if (w.type == X11Client::Type::Normal && !w.transient && w.wmClass == QLatin1String("Chromium")) {
            found << w.window;
        }
    }
    return found;
}

int setup(const QString& dir, X11Windows& windows, X11KeyPresses& keys, bool newTab) {
    QDir().mkpath(dir);
    const QString applications = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                 QStringLiteral("/applications");
    QDir().mkpath(applications);
    QFile entry(applications + QLatin1Char('/') + kEntry);
    if (!entry.open(QIODevice::WriteOnly)) {
        return 1;
    }
    entry.write("[Desktop Entry]\nType=Application\nName=Chromium\nStartupWMClass=chromium\n"
                "Exec=chromium --no-sandbox --user-data-dir=" +
                QFile::encodeName(profile(dir)) +
                " --no-first-run --no-default-browser-check --password-store=basic --disable-gpu "
                "--disable-dev-shm-usage %U\n");
    entry.close();
    QJsonArray reference;
    int page = 0;
    for (int w = 0; w < kTabs.size(); ++w) {
        QStringList arguments{QStringLiteral("--new-window"), QStringLiteral("--")};
        QJsonArray urls;
        for (int t = 0; t < kTabs[w]; ++t) {
            QFile html(QStringLiteral("%1/page%2.html").arg(dir, QString::number(++page)));
            if (!html.open(QIODevice::WriteOnly)) {
                return 1;
            }
            html.write("<title>Page " + QByteArray::number(page) + "</title>Page " +
                       QByteArray::number(page));
            arguments << QUrl::fromLocalFile(html.fileName()).toString();
            urls.append(arguments.last());
        }
        reference.append(urls);
        const qsizetype before = browserWindows(windows).size();
        if (!DesktopEntries::launchWithArguments(kEntry, arguments).error.isEmpty() ||
            !waitUntil([&] { return browserWindows(windows).size() == before + 1; }, 40000)) {
            out() << "the browser did not open a window\n";
            return 1;
        }
        const xcb_window_t made = browserWindows(windows).first();
        waitUntil([&] { return windows.activeWindow() == made; }, 5000);
        windows.resizeFrame(made, kFrames[w].size());
        windows.moveFrame(made, kFrames[w].topLeft());
        if (w == 0) {
            keys.press({0xffe3}, 0x32); // Control+2: the second tab
        }
    }
    if (newTab) {
        // The window in front is the second one.
        const xcb_window_t second = browserWindows(windows).first();
        windows.activate(second);
        waitUntil([&] { return windows.activeWindow() == second; }, 5000);
        keys.press({0xffe3}, 0x74); // Control+T: a new tab, shown
        QJsonArray urls = reference.last().toArray();
        urls.append(kNewTab);
        reference.replace(reference.size() - 1, urls);
    }
    QFile file(dir + QStringLiteral("/reference.json"));
    if (!file.open(QIODevice::WriteOnly)) {
        return 1;
    }
    file.write(QJsonDocument(reference).toJson());
    file.close();
    // Saved once the browser has written its windows down, the new tab included.
    const auto written = [&] {
        const QList<QStringList> tabs = sessionTabs(dir);
        qsizetype count = 0;
        for (const QStringList& window : tabs) {
            count += window.size();
        }
        qsizetype expected = newTab ? 1 : 0;
        for (const int n : kTabs) {
            expected += n;
        }
        return tabs.size() == kTabs.size() && count == expected;
    };
    if (!waitUntil(written, 30000)) {
        out() << "the browser's session file never showed its windows\n";
        return 1;
    }
    out() << "scene arranged\n";
    return 0;
}

int scramble(const QString& dir, X11Windows& windows) {
    for (const xcb_window_t w : browserWindows(windows)) {
        windows.close(w);
    }
    waitUntil([&] { return browserProcesses(dir).isEmpty(); }, 20000);
    out() << "scene scrambled\n";
    return 0;
}

int measure(const QString& dir, X11Windows& windows) {
    QFile file(dir + QStringLiteral("/reference.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        return 1;
    }
    const QJsonArray reference = QJsonDocument::fromJson(file.readAll()).array();
    // The browser writes its session file within seconds of a change.
    waitUntil([] { return false; }, 5000);
    // A browser that quit leaves the file as it was: only a running one's tabs count.
    const QList<QStringList> live = browserProcesses(dir).isEmpty() ? QList<QStringList>() : sessionTabs(dir);
    int saved = 0;
    int back = 0;
    for (const QJsonValue& value : reference) {
        QStringList urls;
        for (const QJsonValue& url : value.toArray()) {
            urls << url.toString();
        }
        saved += static_cast<int>(urls.size());
        int best = 0;
        for (const QStringList& window : live) {
            int same = 0;
            for (qsizetype i = 0; i < urls.size() && i < window.size(); ++i) {
                same += samePage(urls[i], window[i]) ? 1 : 0;
            }
            best = std::max(best, same);
        }
        back += best;
    }
    out() << "tabs " << back << "/" << saved << " windows " << browserWindows(windows).size() << "\n";
    return back == saved ? 0 : 1;
}

int teardown(const QString& dir) {
    for (const qint32 pid : browserProcesses(dir)) {
        ::kill(pid, SIGTERM);
    }
    if (!waitUntil([&] { return browserProcesses(dir).isEmpty(); }, 10000)) {
        for (const qint32 pid : browserProcesses(dir)) {
            ::kill(pid, SIGKILL);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ordella"));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        out() << "usage: ordella-browser-scene setup|setup-newtab|scramble|measure|teardown DIR\n";
        return 2;
    }
    const LinuxPlatform::Assembly assembly = LinuxPlatform::create();
    const std::shared_ptr<X11Connection> connection = X11Connection::open();
    if (!assembly.problem.isEmpty() || !connection) {
        out() << assembly.problem << "\n";
        return 1;
    }
    Platform::install(assembly.platform);
    X11Windows windows(connection);
    X11KeyPresses keys(connection);
    const QString command = arguments[1];
    const QString dir = arguments[2];
    int status = 2;
    if (command == QLatin1String("setup") || command == QLatin1String("setup-newtab")) {
        status = setup(dir, windows, keys, command == QLatin1String("setup-newtab"));
    } else if (command == QLatin1String("scramble")) {
        status = scramble(dir, windows);
    } else if (command == QLatin1String("measure")) {
        status = measure(dir, windows);
    } else if (command == QLatin1String("teardown")) {
        status = teardown(dir);
    }
    out().flush();
    return status;
}
