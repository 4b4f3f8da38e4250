#include "Support/ScriptedDesktop.h"

#include "Platform/Simulated/SimulatedScene.h"
#include "Services/Storage/AnalysisLogger.h"

#include <QFile>
#include <QUuid>

ScriptedDesktop::ScriptedDesktop()
    : m_desktop(m_platform.platform().clock)
    , m_host(m_desktop) {
    m_desktop.installInto(m_platform.platform());
    m_host.installInto(m_platform.platform());
    // A fresh desktop has seen no restore: the log an earlier restore of this process left in the
    // shared data folder goes.
    if (const std::optional<QUrl> log = AnalysisLogger::existingLogFileURL()) {
        QFile::remove(log->toLocalFile());
    }
}

void ScriptedDesktop::loadScene(const QString& path) {
    const SimulatedScene::LoadResult result = SimulatedScene::loadFile(path, m_desktop);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
}

void ScriptedDesktop::addScreen(double width, double height) {
    Screen screen;
    screen.displayNumber = 1;
    screen.identity = QUuid::fromString(QStringLiteral("11111111-2222-3333-4444-555555555555"));
    screen.frame = QRectF(0, 0, width, height);
    screen.visibleFrame = QRectF(0, 0, width, height - 25);
    screen.localizedName = QStringLiteral("Main Display");
    m_desktop.addScreen(screen);
}

qint32 ScriptedDesktop::addApp(const QString& bundleIdentifier, const QList<QRectF>& frames,
                               const QStringList& titles) {
    const qint32 pid = addApp(bundleIdentifier, bundleIdentifier.section('.', -1));
    for (int i = 0; i < frames.size(); ++i) {
        SimulatedDesktop::Window w;
        w.frame = frames[i];
        if (i < titles.size()) {
            w.title = titles[i];
        }
        m_desktop.addWindow(pid, w, true);
    }
    return pid;
}

qint32 ScriptedDesktop::addApp(const QString& bundleIdentifier, const QString& name) {
    SimulatedDesktop::Application app;
    app.bundleIdentifier = bundleIdentifier;
    app.name = name;
    return m_desktop.addApplication(app);
}

quint32 ScriptedDesktop::addWindow(qint32 pid, const QRectF& frame, const QString& title) {
    SimulatedDesktop::Window window;
    window.frame = frame;
    if (!title.isEmpty()) {
        window.title = title;
    }
    return m_desktop.addWindow(pid, window);
}

quint32 ScriptedDesktop::addBrowserWindow(qint32 pid, const QStringList& urls, const QRectF& frame) {
    const quint32 number = addWindow(pid, frame);
    QList<SimulatedScriptHost::Tab> tabs;
    int active = 0;
    for (QString url : urls) {
        if (url.endsWith(QLatin1Char('*'))) {
            url.chop(1);
            active = static_cast<int>(tabs.size()) + 1;
        }
        tabs.append({url, url});
    }
    m_host.setTabs(number, tabs, active);
    return number;
}

QList<quint32> ScriptedDesktop::windowsFrontToBack(qint32 pid) {
    QList<quint32> own;
    for (quint32 number : m_desktop.stackingOrder()) {
        if (m_desktop.window(number)->ownerPid == pid) {
            own << number;
        }
    }
    return own;
}

QList<QStringList> ScriptedDesktop::browserWindows(qint32 pid) {
    QList<QStringList> windows;
    for (quint32 number : windowsFrontToBack(pid)) {
        QStringList urls;
        const auto tabs = m_host.tabs(number);
        for (int i = 0; i < tabs.size(); ++i) {
            urls << tabs[i].url.value_or(QStringLiteral("<missing>")) +
                        (m_host.activeTab(number) == i + 1 ? "*" : "");
        }
        windows << urls;
    }
    return windows;
}
