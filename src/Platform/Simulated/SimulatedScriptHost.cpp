#include "Platform/Simulated/SimulatedScriptHost.h"

#include "Extensions/NumberConversion.h"
#include "Platform/Platform.h"
#include "Platform/ScriptProgram.h"
#include "Platform/Simulated/SimulatedDesktop.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QUrl>

#include <algorithm>

namespace {

using Captures = ScriptSourceReader::Captures;
using AppKind = ScriptProgram::Dialect;
using Op = ScriptProgram::Statement::Op;

constexpr int kNotRunning = ScriptProgram::notRunning;
constexpr int kInvalidIndex = ScriptProgram::invalidIndex;
constexpr int kCannotGet = ScriptProgram::cannotGet;
constexpr int kCannotCoerce = ScriptProgram::cannotCoerce;
constexpr int kUndefinedVariable = ScriptProgram::undefinedVariable;

QString normalizedFolder(const QString& path) {
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/'))) {
        p.chop(1);
    }
    return p;
}

QString folderDisplayName(const QString& folder) {
    const QString name = folder.section(QLatin1Char('/'), -1);
    return name.isEmpty() ? folder : name;
}

// What a loaded page calls itself: its host, or the whole address when it has none.
QString pageTitle(const QString& url) {
    const QString host = QUrl(url).host();
    return host.isEmpty() ? url : host;
}

} // namespace

// One script run against the model.
struct SimulatedScriptHost::Run {
    SimulatedScriptHost& host;
    const Program& program;
    qint32 pid;
    QHash<QString, quint32> variables;
    QList<quint32> tellWindows;
    std::optional<ScriptDescriptor> returned;

    SimulatedDesktop& desktop() const { return host.m_desktop; }
    ScriptError error(int number, const QString& message) const { return {number, program.appName, message}; }

    // The application's windows, front to back: the order scripts number them in. A browser's
    // scripts see only its standard windows (a floating picture-in-picture window is none).
    QList<quint32> windows() const {
        const bool browser = program.dialect != AppKind::FileManager;
        QList<quint32> own;
        for (quint32 number : desktop().stackingOrder()) {
            const SimulatedDesktop::Window* w = desktop().window(number);
            if (w && w->ownerPid == pid &&
                (!browser || w->subrole == std::optional<QString>(QStringLiteral("AXStandardWindow")))) {
                own << number;
            }
        }
        return own;
    }

    std::optional<ScriptError> windowAt(std::int64_t index, quint32& number) const {
        const QList<quint32> all = windows();
        if (index < 1 || index > all.size()) {
            return error(kInvalidIndex, QStringLiteral("Invalid index."));
        }
        number = all[index - 1];
        return std::nullopt;
    }

    std::optional<ScriptError> folderExists(const QString& path) const {
        if (!host.m_folders.contains(normalizedFolder(path))) {
            return error(kCannotCoerce, QStringLiteral("Can't make file \"%1\" into type alias.").arg(path));
        }
        return std::nullopt;
    }

    quint32 openWindow(const QString& title, QRectF defaultFrame) {
        const QList<quint32> existing = windows();
        if (!existing.isEmpty()) {
            if (const SimulatedDesktop::Window* front = desktop().window(existing.first())) {
                defaultFrame = front->frame.translated(22, 22);
            }
        }
        SimulatedDesktop::Window window;
        window.frame = defaultFrame;
        window.title = title;
        return desktop().addWindow(pid, window);
    }

    quint32 openBrowserWindow(const QString& url, const QString& title) {
        const quint32 number = openWindow(title, QRectF(100, 100, 1200, 800));
        host.m_browserWindows[number] = BrowserWindow{{Tab{url, title}}, 1};
        return number;
    }

    void setFrame(quint32 number, const QList<std::int64_t>& edges, int from) {
        const QRectF frame(static_cast<double>(edges[from]), static_cast<double>(edges[from + 1]),
                           static_cast<double>(edges[from + 2] - edges[from]),
                           static_cast<double>(edges[from + 3] - edges[from + 1]));
        desktop().updateWindow(number, [frame](SimulatedDesktop::Window& w) { w.frame = frame; });
    }

    void closeWindow(quint32 number) { desktop().removeWindow(number); }

    ScriptDescriptor listTabs() {
        ScriptDescriptor all = ScriptDescriptor::list();
        for (quint32 number : windows()) {
            const BrowserWindow& window = host.browserWindow(number);
            ScriptDescriptor tabs = ScriptDescriptor::list();
            for (int i = 0; i < window.tabs.size(); ++i) {
                const Tab& tab = window.tabs[i];
                tabs.append(ScriptDescriptor::list({
                    tab.url ? ScriptDescriptor::text(*tab.url) : ScriptDescriptor::missing(),
                    tab.title ? ScriptDescriptor::text(*tab.title) : ScriptDescriptor::missing(),
                    ScriptDescriptor::boolean(i + 1 == window.active),
                }));
            }
            all.append(tabs);
        }
        return all;
    }

    ScriptDescriptor listFolders() {
        ScriptDescriptor all = ScriptDescriptor::list();
        for (quint32 number : windows()) {
            const std::optional<QString> folder = host.folderOf(number);
            const SimulatedDesktop::Window* w = desktop().window(number);
            if (!folder || !w) {
                continue; // no folder target: its "try" skips it
            }
            const QString path = *folder == QLatin1String("/") ? *folder : *folder + QLatin1Char('/');
            const QRectF& f = w->frame;
            all.append(ScriptDescriptor::list({
                ScriptDescriptor::text(path),
                ScriptDescriptor::list(
                    {ScriptDescriptor::integer(NumberConversion::toInt(f.left())),
                     ScriptDescriptor::integer(NumberConversion::toInt(f.top())),
                     ScriptDescriptor::integer(NumberConversion::toInt(f.left() + f.width())),
                     ScriptDescriptor::integer(NumberConversion::toInt(f.top() + f.height()))}),
                ScriptDescriptor::text(w->title.value_or(folderDisplayName(*folder))),
            }));
        }
        return all;
    }

    void closeEmptyWindows(const QStringList& prefixes) {
        const bool safari = program.dialect == AppKind::Safari;
        for (qsizetype i = windows().size(); i >= 1; --i) {
            const QList<quint32> all = windows();
            if (i > all.size()) {
                continue;
            }
            const quint32 number = all[i - 1];
            const BrowserWindow& window = host.browserWindow(number);
            std::optional<QString> url;
            if (safari && window.tabs.isEmpty()) {
                closeWindow(number);
                continue;
            }
            if (window.tabs.size() != 1) {
                continue;
            }
            if (safari) {
                url = window.tabs.first().url;
            } else if (window.active == 1) {
                url = window.tabs.first().url;
            } else {
                continue; // no active tab to read: the window's "try" ends here
            }
            bool empty = !url;
            for (const QString& prefix : prefixes) {
                empty = empty || url->startsWith(prefix, Qt::CaseInsensitive);
            }
            if (empty) {
                closeWindow(number);
            }
        }
    }

    std::optional<ScriptError> perform(const Statement& s) {
        const Captures& a = s.args;
        quint32 number = 0;
        switch (s.op) {
        case Op::BrowserListing:
            returned = listTabs();
            return std::nullopt;
        case Op::FolderListing:
            returned = listFolders();
            return std::nullopt;
        case Op::CloseBeyond: {
            const std::int64_t keep = a.numbers[0];
            for (qsizetype i = windows().size(); i > keep && i >= 1; --i) {
                const QList<quint32> all = windows();
                if (i <= all.size()) {
                    closeWindow(all[i - 1]);
                }
            }
            return std::nullopt;
        }
        case Op::CloseEmpty:
            closeEmptyWindows(a.strings);
            return std::nullopt;
        case Op::MakeDocument:
            host.showTabs(openBrowserWindow(host.browserAddressAsOpened(a.strings[0]),
                                            pageTitle(host.browserAddressAsOpened(a.strings[0]))));
            return std::nullopt;
        case Op::MakeWindow:
            openBrowserWindow(QStringLiteral("chrome://newtab/"), QStringLiteral("New Tab"));
            return std::nullopt;
        case Op::SetActiveTabUrl: {
            if (auto e = windowAt(a.numbers[0], number)) {
                return e;
            }
            BrowserWindow& window = host.browserWindow(number);
            if (window.active < 1 || window.active > window.tabs.size()) {
                return error(kCannotGet,
                             QStringLiteral("Can't get active tab of window %1.").arg(a.numbers[0]));
            }
            const QString url = host.browserAddressAsOpened(a.strings[0]);
            window.tabs[window.active - 1] = Tab{url, pageTitle(url)};
            host.showTabs(number);
            return std::nullopt;
        }
        case Op::ReturnNumber:
            returned = ScriptDescriptor::integer(static_cast<std::int32_t>(a.numbers[0]));
            return std::nullopt;
        case Op::ReturnCount:
            returned = ScriptDescriptor::integer(static_cast<std::int32_t>(windows().size()));
            return std::nullopt;
        case Op::SetWindowBounds:
            if (auto e = windowAt(a.numbers[0], number)) {
                return e;
            }
            setFrame(number, a.numbers, 1);
            return std::nullopt;
        case Op::TellWindow:
            if (auto e = windowAt(a.numbers[0], number)) {
                return e;
            }
            tellWindows.append(number);
            return std::nullopt;
        case Op::EndTell:
            tellWindows.removeLast();
            return std::nullopt;
        case Op::MakeTab: {
            BrowserWindow& window = host.browserWindow(tellWindows.last());
            const QString url = host.browserAddressAsOpened(a.strings[0]);
            window.tabs.append(Tab{url, pageTitle(url)});
            if (program.dialect == AppKind::Chromium) {
                window.active = static_cast<int>(window.tabs.size());
            }
            host.showTabs(tellWindows.last());
            return std::nullopt;
        }
        case Op::SetCurrentTab:
        case Op::SetActiveTabIndex: {
            if (auto e = windowAt(a.numbers[0], number)) {
                return e;
            }
            const std::int64_t tab = a.numbers[1];
            BrowserWindow& window = host.browserWindow(number);
            if ((s.op == Op::SetCurrentTab && a.numbers[2] != a.numbers[0]) || tab < 1 ||
                tab > window.tabs.size()) {
                return error(kInvalidIndex, QStringLiteral("Invalid index."));
            }
            window.active = static_cast<int>(tab);
            host.showTabs(number);
            return std::nullopt;
        }
        case Op::ReturnWindowIds: {
            ScriptDescriptor ids = ScriptDescriptor::list();
            for (quint32 w : windows()) {
                ids.append(ScriptDescriptor::integer(static_cast<std::int32_t>(w)));
            }
            returned = ids;
            return std::nullopt;
        }
        case Op::CloseWindowId:
            if (!windows().contains(static_cast<quint32>(a.numbers[0]))) {
                return error(kInvalidIndex, QStringLiteral("Can't get window id %1.").arg(a.numbers[0]));
            }
            closeWindow(static_cast<quint32>(a.numbers[0]));
            return std::nullopt;
        case Op::CloseEvery:
            for (quint32 w : windows()) {
                closeWindow(w);
            }
            return std::nullopt;
        case Op::MakeFolderWindow: {
            if (auto e = folderExists(a.strings[0])) {
                return e;
            }
            const QString folder = normalizedFolder(a.strings[0]);
            number = openWindow(folderDisplayName(folder), QRectF(120, 120, 800, 500));
            host.m_folderWindows[number] = folder;
            variables[a.names[0]] = number;
            return std::nullopt;
        }
        case Op::SetVariableBounds:
            number = variables.value(a.names[0]);
            if (number == 0) {
                return error(kUndefinedVariable,
                             QStringLiteral("The variable %1 is not defined.").arg(a.names[0]));
            }
            if (!desktop().window(number)) {
                return error(kCannotGet, QStringLiteral("Can't get window."));
            }
            setFrame(number, a.numbers, 0);
            return std::nullopt;
        case Op::CloseWhereTarget:
        case Op::SetFrontWhereTargetBounds: {
            if (auto e = folderExists(a.strings[0])) {
                return e;
            }
            const QString folder = normalizedFolder(a.strings[0]);
            for (quint32 w : windows()) {
                if (host.folderOf(w) != folder) {
                    continue;
                }
                if (s.op == Op::CloseWhereTarget) {
                    closeWindow(w);
                    continue;
                }
                setFrame(w, a.numbers, 0);
                return std::nullopt;
            }
            if (s.op == Op::SetFrontWhereTargetBounds) {
                return error(kInvalidIndex, QStringLiteral("Invalid index."));
            }
            return std::nullopt;
        }
        case Op::Try:
        case Op::EndTry:
            break;
        }
        return std::nullopt;
    }
};

SimulatedScriptHost::SimulatedScriptHost(SimulatedDesktop& desktop, QObject* parent)
    : QObject(parent)
    , m_desktop(desktop) {
    connect(&desktop, &SimulatedDesktop::windowRemoved, this, &SimulatedScriptHost::forget);
}

SimulatedScriptHost::~SimulatedScriptHost() = default;

void SimulatedScriptHost::setAddressFilter(std::function<bool(const QString&)> accepts) {
    m_accepts = std::move(accepts);
}

QString SimulatedScriptHost::browserAddressAsOpened(const QString& address) const {
    return !m_accepts || m_accepts(address) ? address : QStringLiteral("about:blank");
}

std::optional<QString> SimulatedScriptHost::browserAddressRefusal(const QString& address) const {
    if (!m_accepts || m_accepts(address)) {
        return std::nullopt;
    }
    return QStringLiteral("an address this desktop keeps from browsers");
}

void SimulatedScriptHost::installInto(Platform& platform) {
    platform.scriptRunner =
        std::shared_ptr<ScriptRunner>(static_cast<ScriptRunner*>(this), [](ScriptRunner*) {});
}

void SimulatedScriptHost::queueBehaviour(const QString& appName, Behaviour behaviour) {
    m_queued[appName].append(std::move(behaviour));
}

void SimulatedScriptHost::setBehaviour(const QString& appName, std::optional<Behaviour> behaviour) {
    if (behaviour) {
        m_standing.insert(appName, *behaviour);
    } else {
        m_standing.remove(appName);
    }
}

SimulatedScriptHost::Behaviour SimulatedScriptHost::refusal(const QString& appName, bool reportsAppName) {
    Behaviour behaviour;
    behaviour.error = ScriptError{
        ScriptError::notAuthorized, reportsAppName ? std::optional<QString>(appName) : std::nullopt,
        QStringLiteral("Not authorized to send Apple events to ") + appName + QLatin1Char('.')};
    return behaviour;
}

SimulatedScriptHost::Behaviour SimulatedScriptHost::failure(int number, const QString& message) {
    Behaviour behaviour;
    behaviour.error = ScriptError{number, std::nullopt, message};
    return behaviour;
}

SimulatedScriptHost::Behaviour SimulatedScriptHost::hang() {
    Behaviour behaviour;
    behaviour.hangs = true;
    return behaviour;
}

SimulatedScriptHost::Behaviour SimulatedScriptHost::late(Clock::Duration delay) {
    Behaviour behaviour;
    behaviour.delay = delay;
    return behaviour;
}

namespace {

bool appliesTo(const SimulatedScriptHost::Behaviour& behaviour, const SimulatedScriptHost::Program& program) {
    return behaviour.line.isEmpty() || std::any_of(program.statements.cbegin(), program.statements.cend(),
                                                   [&](const SimulatedScriptHost::Statement& s) {
                                                       return s.source.contains(behaviour.line);
                                                   });
}

} // namespace

std::optional<SimulatedScriptHost::Behaviour> SimulatedScriptHost::nextBehaviour(const Program& program) {
    QList<Behaviour>& queued = m_queued[program.appName];
    for (qsizetype i = 0; i < queued.size(); ++i) {
        if (appliesTo(queued[i], program)) {
            return queued.takeAt(i);
        }
    }
    const auto standing = m_standing.constFind(program.appName);
    if (standing != m_standing.cend() && appliesTo(*standing, program)) {
        return *standing;
    }
    return std::nullopt;
}

namespace {

struct HungAwaiter {
    QList<std::coroutine_handle<>>* hung;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) const { hung->append(handle); }
    void await_resume() const noexcept {}
};

} // namespace

void SimulatedScriptHost::releaseHungScripts() {
    const QList<std::coroutine_handle<>> hung = std::exchange(m_hung, {});
    for (std::coroutine_handle<> handle : hung) {
        handle.resume();
    }
}

QCoro::Task<ScriptResult> SimulatedScriptHost::run(QString source) {
    QString problem;
    const std::optional<Program> program = ScriptProgram::compile(source, &problem);
    if (!program) {
        m_rejected.append(source);
        co_return ScriptResult::failure(ScriptError{ScriptProgram::syntaxError, std::nullopt, problem});
    }
    const std::optional<Behaviour> behaviour = nextBehaviour(*program);
    if (behaviour && behaviour->hangs) {
        co_await HungAwaiter{&m_hung};
    } else if (behaviour && behaviour->delay > Clock::Duration::zero()) {
        QPointer<SimulatedScriptHost> self(this);
        co_await m_desktop.clock().sleep(behaviour->delay);
        if (!self) {
            co_return ScriptResult{};
        }
    }
    if (behaviour && behaviour->error && behaviour->line.isEmpty()) {
        co_return ScriptResult::failure(*behaviour->error);
    }
    // A browser asked for a window while it does not run starts first, as scripted applications
    // do when they are addressed; the script runs once its process is there.
    const bool makesWindow =
        std::any_of(program->statements.cbegin(), program->statements.cend(),
                    [](const Statement& s) { return s.op == Op::MakeWindow || s.op == Op::MakeDocument; });
    const QString id = program->bundleIdentifier;
    if (makesWindow && !m_desktop.findApplication(id) && m_desktop.installedApplication(id)) {
        QPointer<SimulatedScriptHost> self(this);
        m_desktop.open(SimulatedDesktop::applicationURL(id), {}, false);
        SimulatedDesktop* desktop = &m_desktop;
        const std::function<bool()> started = [desktop, id] {
            return desktop->findApplication(id) != nullptr;
        };
        co_await m_desktop.clock().pollUntil(started, Clock::seconds(15.0), Clock::Duration(50));
        if (!self) {
            co_return ScriptResult{};
        }
    }
    m_executed.append(source);
    co_return execute(*program, behaviour);
}

ScriptResult SimulatedScriptHost::execute(const Program& program, const std::optional<Behaviour>& behaviour) {
    const SimulatedDesktop::Application* app = m_desktop.findApplication(program.bundleIdentifier);
    if (!app) {
        return ScriptResult::failure(
            ScriptError{kNotRunning, program.appName, QStringLiteral("Application isn't running.")});
    }
    Run run{*this, program, app->pid, {}, {}, std::nullopt};
    const QList<Statement>& statements = program.statements;
    bool faulted = false;
    ScriptProgram::Walk walk{program};
    while (walk.next()) {
        const Statement& statement = statements[walk.pc];
        const bool faulty =
            !faulted && behaviour && behaviour->error && statement.source.contains(behaviour->line);
        faulted = faulted || faulty;
        if (const std::optional<ScriptError> error = faulty ? behaviour->error : run.perform(statement)) {
            if (!walk.recover()) {
                return ScriptResult::failure(*error);
            }
            continue;
        }
        if (run.returned) {
            break;
        }
    }
    return ScriptResult::answer(run.returned.value_or(ScriptDescriptor::missing()));
}

SimulatedScriptHost::BrowserWindow& SimulatedScriptHost::browserWindow(quint32 number) {
    auto it = m_browserWindows.find(number);
    if (it != m_browserWindows.end()) {
        return it->second;
    }
    BrowserWindow window;
    if (const SimulatedDesktop::Window* w = m_desktop.window(number)) {
        for (const QJsonValue& value : w->sceneData.value(QStringLiteral("tabs")).toArray()) {
            const QJsonObject tab = value.toObject();
            const QJsonValue url = tab.value(QStringLiteral("url"));
            const QJsonValue title = tab.value(QStringLiteral("title"));
            window.tabs.append(Tab{url.isString() ? std::optional(url.toString()) : std::nullopt,
                                   title.isString() ? std::optional(title.toString()) : std::nullopt});
            if (window.active == 0 && tab.value(QStringLiteral("active")).toBool()) {
                window.active = static_cast<int>(window.tabs.size());
            }
        }
    }
    if (window.active == 0 && !window.tabs.isEmpty()) {
        window.active = 1;
    }
    return m_browserWindows.emplace(number, std::move(window)).first->second;
}

QList<SimulatedScriptHost::Tab> SimulatedScriptHost::tabs(quint32 window) {
    return browserWindow(window).tabs;
}

int SimulatedScriptHost::activeTab(quint32 window) {
    return browserWindow(window).active;
}

void SimulatedScriptHost::setTabs(quint32 window, const QList<Tab>& tabs, int active) {
    m_browserWindows[window] = BrowserWindow{tabs, active};
    showTabs(window);
}

void SimulatedScriptHost::showTabs(quint32 number) {
    const BrowserWindow& window = browserWindow(number);
    if (window.active < 1 || window.active > window.tabs.size()) {
        return;
    }
    const Tab& tab = window.tabs[window.active - 1];
    const std::optional<QString> title = tab.title ? tab.title : tab.url;
    m_desktop.updateWindow(number, [title](SimulatedDesktop::Window& w) { w.title = title; });
}

std::optional<QString> SimulatedScriptHost::folderOf(quint32 window) {
    auto it = m_folderWindows.find(window);
    if (it != m_folderWindows.end()) {
        return it->second;
    }
    std::optional<QString> folder;
    if (const SimulatedDesktop::Window* w = m_desktop.window(window)) {
        const QJsonValue value = w->sceneData.value(QStringLiteral("folder"));
        if (value.isString()) {
            folder = normalizedFolder(value.toString());
            m_folders.insert(*folder);
        }
    }
    m_folderWindows[window] = folder;
    return folder;
}

void SimulatedScriptHost::setFolder(quint32 window, const std::optional<QString>& folder) {
    m_folderWindows[window] = folder ? std::optional(normalizedFolder(*folder)) : std::nullopt;
    if (folder) {
        m_folders.insert(normalizedFolder(*folder));
    }
}

void SimulatedScriptHost::addFolder(const QString& path) {
    m_folders.insert(normalizedFolder(path));
}

void SimulatedScriptHost::removeFolder(const QString& path) {
    m_folders.remove(normalizedFolder(path));
}

void SimulatedScriptHost::forget(quint32 number) {
    m_browserWindows.erase(number);
    m_folderWindows.erase(number);
}
