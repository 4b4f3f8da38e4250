#include "Platform/Simulated/SimulatedScriptRun.h"

#include "Extensions/NumberConversion.h"
#include "Platform/Simulated/SimulatedDesktop.h"
#include "Platform/Simulated/SimulatedScriptHost.h"

#include <QUrl>

namespace {

using Captures = ScriptSourceReader::Captures;
using AppKind = ScriptProgram::Dialect;
using Op = ScriptProgram::Statement::Op;

constexpr int kInvalidIndex = ScriptProgram::invalidIndex;
constexpr int kCannotGet = ScriptProgram::cannotGet;
constexpr int kCannotCoerce = ScriptProgram::cannotCoerce;
constexpr int kUndefinedVariable = ScriptProgram::undefinedVariable;

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

SimulatedScriptRun::SimulatedScriptRun(SimulatedScriptHost& host, const ScriptProgram& program, qint32 pid)
    : m_host(host)
    , m_program(program)
    , m_pid(pid) {
}

SimulatedDesktop& SimulatedScriptRun::desktop() const {
    return m_host.m_desktop;
}

ScriptError SimulatedScriptRun::error(int number, const QString& message) const {
    return {number, m_program.appName, message};
}

// The application's windows, front to back: the order scripts number them in. A browser's
// scripts see only its standard windows (a floating picture-in-picture window is none).
QList<quint32> SimulatedScriptRun::windows() const {
    const bool browser = m_program.dialect != AppKind::FileManager;
    QList<quint32> own;
    for (quint32 number : desktop().stackingOrder()) {
        const SimulatedDesktop::Window* w = desktop().window(number);
        if (w && w->ownerPid == m_pid &&
            (!browser || w->subrole == std::optional<QString>(QStringLiteral("AXStandardWindow")))) {
            own << number;
        }
    }
    return own;
}

std::optional<ScriptError> SimulatedScriptRun::windowAt(std::int64_t index, quint32& number) const {
    const QList<quint32> all = windows();
    if (index < 1 || index > all.size()) {
        return error(kInvalidIndex, QStringLiteral("Invalid index."));
    }
    number = all[index - 1];
    return std::nullopt;
}

std::optional<ScriptError> SimulatedScriptRun::folderExists(const QString& path) const {
    if (!m_host.m_folders.contains(SimulatedScriptHost::normalizedFolder(path))) {
        return error(kCannotCoerce, QStringLiteral("Can't make file \"%1\" into type alias.").arg(path));
    }
    return std::nullopt;
}

quint32 SimulatedScriptRun::openWindow(const QString& title, QRectF defaultFrame) {
    const QList<quint32> existing = windows();
    if (!existing.isEmpty()) {
        if (const SimulatedDesktop::Window* front = desktop().window(existing.first())) {
            defaultFrame = front->frame.translated(22, 22);
        }
    }
    SimulatedDesktop::Window window;
    window.frame = defaultFrame;
    window.title = title;
    return desktop().addWindow(m_pid, window);
}

quint32 SimulatedScriptRun::openBrowserWindow(const QString& url, const QString& title) {
    const quint32 number = openWindow(title, QRectF(100, 100, 1200, 800));
    m_host.m_browserWindows[number] =
        SimulatedScriptHost::BrowserWindow{{SimulatedScriptHost::Tab{url, title}}, 1};
    return number;
}

void SimulatedScriptRun::setFrame(quint32 number, const QList<std::int64_t>& edges, int from) {
    const QRectF frame(static_cast<double>(edges[from]), static_cast<double>(edges[from + 1]),
                       static_cast<double>(edges[from + 2] - edges[from]),
                       static_cast<double>(edges[from + 3] - edges[from + 1]));
    desktop().updateWindow(number, [frame](SimulatedDesktop::Window& w) { w.frame = frame; });
}

void SimulatedScriptRun::closeWindow(quint32 number) {
    desktop().removeWindow(number);
}

ScriptDescriptor SimulatedScriptRun::listTabs() {
    ScriptDescriptor all = ScriptDescriptor::list();
    for (quint32 number : windows()) {
        const SimulatedScriptHost::BrowserWindow& window = m_host.browserWindow(number);
        ScriptDescriptor tabs = ScriptDescriptor::list();
        for (int i = 0; i < window.tabs.size(); ++i) {
            const SimulatedScriptHost::Tab& tab = window.tabs[i];
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

ScriptDescriptor SimulatedScriptRun::listFolders() {
    ScriptDescriptor all = ScriptDescriptor::list();
    for (quint32 number : windows()) {
        const std::optional<QString> folder = m_host.folderOf(number);
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

void SimulatedScriptRun::closeEmptyWindows(const QStringList& prefixes) {
    const bool safari = m_program.dialect == AppKind::Safari;
    for (qsizetype i = windows().size(); i >= 1; --i) {
        const QList<quint32> all = windows();
        if (i > all.size()) {
            continue;
        }
        const quint32 number = all[i - 1];
        const SimulatedScriptHost::BrowserWindow& window = m_host.browserWindow(number);
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

std::optional<ScriptError> SimulatedScriptRun::perform(const Statement& s) {
    const Captures& a = s.args;
    quint32 number = 0;
    switch (s.op) {
    case Op::BrowserListing:
        m_returned = listTabs();
        return std::nullopt;
    case Op::FolderListing:
        m_returned = listFolders();
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
        m_host.showTabs(openBrowserWindow(m_host.browserAddressAsOpened(a.strings[0]),
                                          pageTitle(m_host.browserAddressAsOpened(a.strings[0]))));
        return std::nullopt;
    case Op::MakeWindow:
        openBrowserWindow(QStringLiteral("chrome://newtab/"), QStringLiteral("New Tab"));
        return std::nullopt;
    case Op::SetActiveTabUrl: {
        if (auto e = windowAt(a.numbers[0], number)) {
            return e;
        }
        SimulatedScriptHost::BrowserWindow& window = m_host.browserWindow(number);
        if (window.active < 1 || window.active > window.tabs.size()) {
            return error(kCannotGet, QStringLiteral("Can't get active tab of window %1.").arg(a.numbers[0]));
        }
        const QString url = m_host.browserAddressAsOpened(a.strings[0]);
        window.tabs[window.active - 1] = SimulatedScriptHost::Tab{url, pageTitle(url)};
        m_host.showTabs(number);
        return std::nullopt;
    }
    case Op::ReturnNumber:
        m_returned = ScriptDescriptor::integer(static_cast<std::int32_t>(a.numbers[0]));
        return std::nullopt;
    case Op::ReturnCount:
        m_returned = ScriptDescriptor::integer(static_cast<std::int32_t>(windows().size()));
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
        m_tellWindows.append(number);
        return std::nullopt;
    case Op::EndTell:
        m_tellWindows.removeLast();
        return std::nullopt;
    case Op::MakeTab: {
        SimulatedScriptHost::BrowserWindow& window = m_host.browserWindow(m_tellWindows.last());
        const QString url = m_host.browserAddressAsOpened(a.strings[0]);
        window.tabs.append(SimulatedScriptHost::Tab{url, pageTitle(url)});
        if (m_program.dialect == AppKind::Chromium) {
            window.active = static_cast<int>(window.tabs.size());
        }
        m_host.showTabs(m_tellWindows.last());
        return std::nullopt;
    }
    case Op::SetCurrentTab:
    case Op::SetActiveTabIndex: {
        if (auto e = windowAt(a.numbers[0], number)) {
            return e;
        }
        const std::int64_t tab = a.numbers[1];
        SimulatedScriptHost::BrowserWindow& window = m_host.browserWindow(number);
        if ((s.op == Op::SetCurrentTab && a.numbers[2] != a.numbers[0]) || tab < 1 ||
            tab > window.tabs.size()) {
            return error(kInvalidIndex, QStringLiteral("Invalid index."));
        }
        window.active = static_cast<int>(tab);
        m_host.showTabs(number);
        return std::nullopt;
    }
    case Op::ReturnWindowIds: {
        ScriptDescriptor ids = ScriptDescriptor::list();
        for (quint32 w : windows()) {
            ids.append(ScriptDescriptor::integer(static_cast<std::int32_t>(w)));
        }
        m_returned = ids;
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
        const QString folder = SimulatedScriptHost::normalizedFolder(a.strings[0]);
        number = openWindow(folderDisplayName(folder), QRectF(120, 120, 800, 500));
        m_host.m_folderWindows[number] = folder;
        m_variables[a.names[0]] = number;
        return std::nullopt;
    }
    case Op::SetVariableBounds:
        number = m_variables.value(a.names[0]);
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
        const QString folder = SimulatedScriptHost::normalizedFolder(a.strings[0]);
        for (quint32 w : windows()) {
            if (m_host.folderOf(w) != folder) {
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
