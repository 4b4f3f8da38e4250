#include "Support/ScriptedDesktop.h"

ScriptedDesktop::ScriptedDesktop()
    : m_desktop(m_platform.platform().clock)
    , m_host(m_desktop) {
    m_desktop.installInto(m_platform.platform());
    m_host.installInto(m_platform.platform());
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
