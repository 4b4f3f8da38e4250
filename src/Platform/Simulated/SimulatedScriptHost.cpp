#include "Platform/Simulated/SimulatedScriptHost.h"

#include "Platform/Platform.h"
#include "Platform/ScriptProgram.h"
#include "Platform/Simulated/SimulatedDesktop.h"
#include "Platform/Simulated/SimulatedScriptRun.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QUrl>

#include <algorithm>

namespace {

using Op = ScriptProgram::Statement::Op;

constexpr int kNotRunning = ScriptProgram::notRunning;

} // namespace

QString SimulatedScriptHost::normalizedFolder(const QString& path) {
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/'))) {
        p.chop(1);
    }
    return p;
}

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
    SimulatedScriptRun run(*this, program, app->pid);
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
        if (run.returned()) {
            break;
        }
    }
    return ScriptResult::answer(run.returned().value_or(ScriptDescriptor::missing()));
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
        const QUrl document(w->document.value_or(QString()));
        if (value.isString()) {
            folder = normalizedFolder(value.toString());
            m_folders.insert(*folder);
        } else if (document.isLocalFile() && m_folders.contains(normalizedFolder(document.toLocalFile()))) {
            // A file manager started with a folder shows it.
            folder = normalizedFolder(document.toLocalFile());
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
