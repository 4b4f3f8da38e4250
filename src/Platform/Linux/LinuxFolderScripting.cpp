#include "Platform/Linux/LinuxFolderScripting.h"

#include "Platform/Clock.h"
#include "Platform/Diagnostics.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/DocumentHandOver.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Platform/Linux/LinuxRunningApplications.h"
#include "Platform/Linux/ProgramCommand.h"
#include "Platform/Linux/X11Monitors.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <qcoro/qcorodbuspendingcall.h>

namespace {

using Op = ScriptProgram::Statement::Op;

const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");
constexpr int kCallTimeoutMs = 2000;
// How long a folder asked for may take to load before its window is no longer taken for it.
constexpr auto kOpeningLifetime = std::chrono::seconds(30);

void print(const QString& line) {
    Diagnostics::print(QStringLiteral("[LinuxFolderScripting] ") + line);
}

QString folderName(const QString& folder) {
    const QString name = folder.section(QLatin1Char('/'), -1);
    return name.isEmpty() ? folder : name;
}

QRect frameOf(const QList<std::int64_t>& n, int from) {
    return QRect(QPoint(static_cast<int>(n[from]), static_cast<int>(n[from + 1])),
                 QSize(static_cast<int>(n[from + 2] - n[from]), static_cast<int>(n[from + 3] - n[from + 1])));
}

bool framePlausible(const QList<std::int64_t>& n, int from) {
    for (int i = from; i < from + 4; ++i) {
        if (n[i] < -1000000 || n[i] > 1000000) {
            return false;
        }
    }
    return n[from + 2] > n[from] && n[from + 3] > n[from + 1];
}

} // namespace

struct LinuxFolderScripting::Run {
    const ScriptProgram& program;
    QHash<QString, xcb_window_t> variables;
    std::optional<ScriptDescriptor> returned;

    ScriptError error(int number, const QString& message) const { return {number, program.appName, message}; }
};

LinuxFolderScripting::LinuxFolderScripting(std::shared_ptr<X11Windows> windows,
                                           std::shared_ptr<X11Monitors> monitors,
                                           std::shared_ptr<LinuxRunningApplications> applications,
                                           std::shared_ptr<Clock> clock,
                                           std::function<QString()> folderHandler)
    : m_windows(std::move(windows))
    , m_monitors(std::move(monitors))
    , m_applications(std::move(applications))
    , m_clock(std::move(clock))
    , m_requests(m_windows, m_clock)
    , m_folderHandler(folderHandler ? std::move(folderHandler) : &LinuxFolderScripting::desktopFileManager) {
}

bool LinuxFolderScripting::isFileManager(const std::optional<DesktopEntry>& entry) {
    return entry && entry->categories.contains(QStringLiteral("FileManager"));
}

QString LinuxFolderScripting::desktopFileManager() {
    const QString handler = DesktopEntries::defaultFor(QStringLiteral("inode/directory"));
    if (handler.isEmpty() || !isFileManager(DesktopEntries::find(handler))) {
        return QString();
    }
    return handler;
}

QString LinuxFolderScripting::shownFolder(const QStringList& tabs, const QString& title) {
    QString first;
    for (const QString& tab : tabs) {
        const QUrl uri(tab);
        if (!uri.isLocalFile()) {
            continue;
        }
        const QString folder = normalized(uri.toLocalFile());
        if (first.isEmpty()) {
            first = folder;
        }
        const QString name = folder == QLatin1String("/") ? folder : folder.section(QLatin1Char('/'), -1);
        if (!title.isEmpty() && name == title) {
            return folder;
        }
    }
    return first;
}

QString LinuxFolderScripting::normalized(const QString& path) {
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/'))) {
        p.chop(1);
    }
    return p;
}

std::optional<QString> LinuxFolderScripting::folderUri(const QString& path) {
    if (!path.startsWith(QLatin1Char('/')) || path.contains(QChar(0))) {
        return std::nullopt;
    }
    const QFileInfo info(path);
    if (!info.isDir()) {
        return std::nullopt;
    }
    return QString::fromLatin1(QUrl::fromLocalFile(normalized(path)).toEncoded());
}

QCoro::Task<QMap<QString, QStringList>> LinuxFolderScripting::openWindowsWithLocations() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kService << QStringLiteral("OpenWindowsWithLocations");
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusMessage reply = co_await bus.asyncCall(get, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        print(QStringLiteral("The file manager publishes no open folders: ") + reply.errorMessage());
        co_return QMap<QString, QStringList>();
    }
    co_return locationsFrom(reply.arguments().first().value<QDBusVariant>().variant());
}

QMap<QString, QStringList> LinuxFolderScripting::locationsFrom(const QVariant& value) {
    QMap<QString, QStringList> locations;
    // Reading a map from an argument of another type does not fail, it crashes: the signature is
    // checked first.
    const QString expected = QStringLiteral("a{sas}");
    if (value.metaType() != QMetaType::fromType<QDBusArgument>() ||
        value.value<QDBusArgument>().currentSignature() != expected) {
        const QString type = value.metaType() == QMetaType::fromType<QDBusArgument>()
                                 ? value.value<QDBusArgument>().currentSignature()
                                 : QString::fromLatin1(value.metaType().name());
        print(QStringLiteral("The file manager's open folders are of type \"") + type +
              QStringLiteral("\", not ") + expected + QStringLiteral(": none are read"));
        return locations;
    }
    value.value<QDBusArgument>() >> locations;
    return locations;
}

QString LinuxFolderScripting::handler() {
    if (!m_handler) {
        m_handler = m_folderHandler();
    }
    return *m_handler;
}

QCoro::Task<bool> LinuxFolderScripting::ownsInterface() {
    if (m_ownsInterface) {
        co_return *m_ownsInterface;
    }
    const QString handler = this->handler();
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
    ask << kService;
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusMessage reply = co_await bus.asyncCall(ask, kCallTimeoutMs);
    bool owns = false;
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() && !handler.isEmpty()) {
        const qint32 pid = static_cast<qint32>(reply.arguments().first().toUInt());
        const std::optional<RunningApplication> owner = m_applications->application(pid);
        if (owner) {
            owns = owner->bundleIdentifier == handler;
        } else {
            // A process that has shown no window yet (started by the bus) is known by its program.
            const std::optional<ProgramCommand> program = DesktopEntries::programOf(handler);
            owns = pid > 0 && program && !program->executable.isEmpty() &&
                   LinuxProcess::executable(pid) == program->executable;
        }
        if (!owns) {
            print(QStringLiteral("The file manager interface belongs to another program (process ") +
                  QString::number(pid) + QStringLiteral("), not to ") + handler +
                  QStringLiteral(": folders are handed to it by starting it"));
        }
    }
    m_ownsInterface = owns;
    co_return owns;
}

QCoro::Task<std::optional<QString>> LinuxFolderScripting::handOver(QString uri) {
    if (!co_await ownsInterface()) {
        const std::optional<QUrl> application = m_applications->urlForApplication(handler());
        if (!application) {
            co_return QStringLiteral("no file manager is installed as ") + handler();
        }
        const QList<QUrl> folder{QUrl::fromEncoded(uri.toUtf8())};
        const OpenResult opened = co_await m_applications->openDocuments(folder, *application, false);
        if (opened.succeeded) {
            co_return std::nullopt;
        }
        co_return opened.errorText.isEmpty() ? QStringLiteral("not started") : opened.errorText;
    }
    QDBusMessage show =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("ShowFolders"));
    show << QStringList(uri) << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusMessage reply = co_await bus.asyncCall(show, 4000);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        co_return std::nullopt;
    }
    // A file manager that answers late may still open the folder.
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")) {
        co_return QString();
    }
    // Never empty: an empty error is an answer that may still come.
    co_return reply.errorMessage().isEmpty() ? QStringLiteral("refused (") + reply.errorName() + u')'
                                             : reply.errorMessage();
}

QList<X11Client> LinuxFolderScripting::windowsNow() {
    const QString handler = this->handler();
    QList<X11Client> own;
    if (handler.isEmpty()) {
        return own;
    }
    for (const X11Client& w : m_windows->stackedClients()) {
        if (w.type == X11Client::Type::Normal && !w.transient &&
            m_applications->identityOf(w).identifier == handler) {
            own << w;
        }
    }
    return own;
}

QCoro::Task<QList<LinuxFolderScripting::FolderWindow>> LinuxFolderScripting::folderWindows() {
    QList<FolderWindow> windows;
    for (const X11Client& w : windowsNow()) {
        windows << FolderWindow{w, std::nullopt};
    }
    if (windows.isEmpty()) {
        followOpenings(windows, {});
        co_return windows;
    }
    // Another program's published windows say nothing of the handler's.
    QMap<QString, QStringList> locations;
    if (co_await ownsInterface()) {
        locations = co_await openWindowsWithLocations();
    }
    X11Connection& x11 = m_windows->connection();
    const xcb_atom_t objectPath = x11.atom("_GTK_WINDOW_OBJECT_PATH");
    QSet<xcb_window_t> unpublished;
    for (FolderWindow& w : windows) {
        const std::optional<X11Connection::Property> path = x11.property(w.client.window, objectPath);
        const QStringList tabs = path ? locations.value(path->text()) : QStringList();
        if (tabs.isEmpty()) {
            unpublished.insert(w.client.window);
            continue;
        }
        // Every tab of the window is listed, in tab order; only the one it shows is kept.
        const QString folder = shownFolder(tabs, w.client.title.value_or(QString()));
        if (!folder.isEmpty()) {
            w.folder = folder;
        }
    }
    followOpenings(windows, unpublished);
    co_return windows;
}

void LinuxFolderScripting::followOpenings(QList<FolderWindow>& windows,
                                          const QSet<xcb_window_t>& unpublished) {
    const Clock::TimePoint now = m_clock->now();
    QSet<xcb_window_t> claimed;
    m_openings.removeIf([&](const Opening& o) {
        const bool over = now - o.asked > kOpeningLifetime ||
                          (o.window != XCB_WINDOW_NONE && !unpublished.contains(o.window));
        if (!over && o.window != XCB_WINDOW_NONE) {
            claimed.insert(o.window);
        }
        return over;
    });
    // A window that came late: the front-most new one that publishes nothing yet.
    for (Opening& o : m_openings) {
        for (qsizetype i = 0; i < windows.size() && o.window == XCB_WINDOW_NONE; ++i) {
            const xcb_window_t w = windows[i].client.window;
            if (unpublished.contains(w) && !o.before.contains(w) && !claimed.contains(w)) {
                o.window = w;
                claimed.insert(w);
            }
        }
    }
    for (FolderWindow& w : windows) {
        for (const Opening& o : std::as_const(m_openings)) {
            if (o.window == w.client.window) {
                w.folder = o.folder;
            }
        }
    }
}

LinuxFolderScripting::Opening* LinuxFolderScripting::opening(quint64 id) {
    for (Opening& o : m_openings) {
        if (o.id == id) {
            return &o;
        }
    }
    return nullptr;
}

QCoro::Task<std::optional<ScriptError>> LinuxFolderScripting::setFrame(xcb_window_t window,
                                                                       QRect globalFrame) {
    // Scripts place frames relative to the primary monitor's corner.
    const QRect frame = globalFrame.translated(m_monitors->primaryOrigin());
    co_await m_requests.setFrame(window, frame, 0);
    co_return std::nullopt;
}

QCoro::Task<std::optional<ScriptError>> LinuxFolderScripting::close(QList<xcb_window_t> windows) {
    co_await m_requests.close(windows, Clock::seconds(2.0));
    co_return std::nullopt;
}

namespace {

QCoro::Task<std::optional<ScriptError>> done(std::optional<ScriptError> error = std::nullopt) {
    co_return error;
}

ScriptError notAnAlias(const ScriptProgram& program, const QString& path) {
    return ScriptError{ScriptProgram::cannotCoerce, program.appName,
                       QStringLiteral("Can't make file \"") + path + QStringLiteral("\" into type alias.")};
}

} // namespace

// Not a coroutine itself: each statement has one of its own, so that no suspension point sits
// inside a switch.
QCoro::Task<std::optional<ScriptError>> LinuxFolderScripting::perform(Run& run,
                                                                      const ScriptProgram::Statement& s) {
    const ScriptSourceReader::Captures& a = s.args;
    switch (s.op) {
    case Op::FolderListing:
        return listFolders(run);
    case Op::CloseEvery: {
        QList<xcb_window_t> all;
        for (const X11Client& w : windowsNow()) {
            all << w.window;
        }
        return close(all);
    }
    case Op::MakeFolderWindow: {
        const std::optional<QString> uri = folderUri(a.strings[0]);
        if (!uri) {
            print(QStringLiteral("Not handed to the file manager, as it is no existing folder: ") +
                  a.strings[0]);
            return done(notAnAlias(run.program, a.strings[0]));
        }
        // The same rules as for documents: nothing under /proc, /sys or /dev, directly or through
        // a link, and only to a folder handler that takes folders.
        const DocumentHandOver::Decision decision = DocumentHandOver::decide(a.strings[0], handler());
        if (decision.way != DocumentHandOver::Way::asArgument) {
            const QString reason =
                decision.reason.isEmpty() ? QStringLiteral("not handed over as a folder") : decision.reason;
            print(QStringLiteral("Not handed to the file manager: ") + a.strings[0] + QStringLiteral(": ") +
                  reason);
            return done(notAnAlias(run.program, a.strings[0]));
        }
        return showFolder(run, a.names[0], a.strings[0], *uri);
    }
    case Op::SetVariableBounds: {
        const xcb_window_t w = run.variables.value(a.names[0], XCB_WINDOW_NONE);
        if (w == XCB_WINDOW_NONE) {
            return done(
                run.error(ScriptProgram::undefinedVariable,
                          QStringLiteral("The variable ") + a.names[0] + QStringLiteral(" is not defined.")));
        }
        if (!framePlausible(a.numbers, 0)) {
            return done(
                run.error(ScriptProgram::cannotCoerce, QStringLiteral("Can't set bounds of window.")));
        }
        return setFrame(w, frameOf(a.numbers, 0));
    }
    case Op::CloseWhereTarget:
    case Op::SetFrontWhereTargetBounds: {
        if (!folderUri(a.strings[0])) {
            return done(notAnAlias(run.program, a.strings[0]));
        }
        std::optional<QRect> frame;
        if (s.op == Op::SetFrontWhereTargetBounds) {
            if (!framePlausible(a.numbers, 0)) {
                return done(run.error(ScriptProgram::invalidIndex, QStringLiteral("Invalid index.")));
            }
            frame = frameOf(a.numbers, 0);
        }
        return closeOrFrame(run, normalized(a.strings[0]), frame);
    }
    default:
        return done(
            run.error(ScriptProgram::syntaxError, QStringLiteral("Not understood here: ") + s.source));
    }
}

QCoro::Task<std::optional<ScriptError>> LinuxFolderScripting::listFolders(Run& run) {
    const QPoint origin = m_monitors->primaryOrigin();
    ScriptDescriptor all = ScriptDescriptor::list();
    const QList<FolderWindow> windows = co_await folderWindows();
    for (const FolderWindow& w : windows) {
        if (!w.folder) {
            continue; // no folder shown (a search, a network place): its "try" skips it
        }
        // Frames as scripts give them: relative to the primary monitor's corner.
        const QRect f = w.client.frameRect().translated(-origin);
        const QString path = *w.folder == QLatin1String("/") ? *w.folder : *w.folder + QLatin1Char('/');
        all.append(ScriptDescriptor::list({
            ScriptDescriptor::text(path),
            ScriptDescriptor::list({ScriptDescriptor::integer(f.left()), ScriptDescriptor::integer(f.top()),
                                    ScriptDescriptor::integer(f.left() + f.width()),
                                    ScriptDescriptor::integer(f.top() + f.height())}),
            ScriptDescriptor::text(w.client.title.value_or(folderName(*w.folder))),
        }));
    }
    run.returned = all;
    co_return std::nullopt;
}

QCoro::Task<std::optional<ScriptError>> LinuxFolderScripting::showFolder(Run& run, QString variable,
                                                                         QString path, QString uri) {
    const QString folder = normalized(path);
    co_await folderWindows(); // the openings brought up to date
    // A folder an earlier script asked for whose window is still loading: that window is the one,
    // and the file manager is not asked again.
    quint64 id = 0;
    for (const Opening& o : std::as_const(m_openings)) {
        if (o.folder == folder && o.script != m_script && o.window != XCB_WINDOW_NONE) {
            id = o.id;
        }
    }
    if (id == 0) {
        Opening asked{++m_lastOpening, folder, {}, XCB_WINDOW_NONE, m_clock->now(), m_script};
        for (const X11Client& w : windowsNow()) {
            asked.before.insert(w.window);
        }
        // Nothing for a hand-over that went, empty for one answered late (it may still open the
        // folder), the error of one that failed.
        const std::optional<QString> failed = co_await handOver(uri);
        if (!failed || failed->isEmpty()) {
            m_openings.append(asked);
            id = asked.id;
        }
        if (failed) {
            co_return run.error(ScriptProgram::cannotGet,
                                QStringLiteral("Can't make new Finder window: ") +
                                    (failed->isEmpty() ? QStringLiteral("no answer in time") : *failed));
        }
    }
    xcb_window_t made = XCB_WINDOW_NONE;
    const std::function<bool()> appeared = [this, id, &made] {
        const Opening* o = opening(id);
        if (!o) {
            return true;
        }
        if (o->window != XCB_WINDOW_NONE) {
            made = o->window;
            return true;
        }
        QSet<xcb_window_t> claimed;
        for (const Opening& other : std::as_const(m_openings)) {
            claimed.insert(other.window);
        }
        for (const X11Client& w : windowsNow()) {
            if (!o->before.contains(w.window) && !claimed.contains(w.window)) {
                made = w.window;
                return true;
            }
        }
        return false;
    };
    if (!co_await m_clock->pollUntil(appeared, Clock::seconds(3.0), Clock::Duration(50)) ||
        made == XCB_WINDOW_NONE) {
        // A folder that was shown already may only have been brought forward.
        const QList<FolderWindow> windows = co_await folderWindows();
        for (const FolderWindow& w : windows) {
            if (w.folder == folder) {
                made = w.client.window;
                break;
            }
        }
    }
    if (made == XCB_WINDOW_NONE) {
        co_return run.error(ScriptProgram::cannotGet, QStringLiteral("Can't make new Finder window."));
    }
    if (Opening* o = opening(id); o && o->window == XCB_WINDOW_NONE) {
        o->window = made;
    }
    run.variables[variable] = made;
    // The file manager publishes a new window's folder once it has loaded it: wait a while for
    // that. A window that loads for longer is the folder's all the same.
    const std::function<QCoro::Task<bool>()> published = [this, id]() -> QCoro::Task<bool> {
        return loaded(id);
    };
    co_await m_clock->pollUntilAsync(published, Clock::seconds(2.0), Clock::Duration(100));
    co_return std::nullopt;
}

QCoro::Task<bool> LinuxFolderScripting::loaded(quint64 id) {
    co_await folderWindows();
    co_return opening(id) == nullptr;
}

QCoro::Task<std::optional<ScriptError>> LinuxFolderScripting::closeOrFrame(Run& run, QString folder,
                                                                           std::optional<QRect> frame) {
    QList<xcb_window_t> showing;
    const QList<FolderWindow> windows = co_await folderWindows();
    for (const FolderWindow& w : windows) {
        if (w.folder == folder) {
            showing << w.client.window;
        }
    }
    if (!frame) {
        co_return co_await close(showing);
    }
    if (showing.isEmpty()) {
        co_return run.error(ScriptProgram::invalidIndex, QStringLiteral("Invalid index."));
    }
    co_return co_await setFrame(showing.first(), *frame);
}

QCoro::Task<ScriptResult> LinuxFolderScripting::execute(ScriptProgram program) {
    m_handler.reset();
    m_ownsInterface.reset();
    ++m_script;
    Run run{program, {}, std::nullopt};
    const ScriptProgram::Walk::Step step = [this, &run, &program](qsizetype& pc) {
        return perform(run, program.statements[pc]);
    };
    co_return co_await ScriptProgram::Walk::perform(program, step, run.returned);
}
