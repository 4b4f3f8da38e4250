#include "Support/WorkspaceSamples.h"

QDateTime WorkspaceSamples::date(int secondsSince2024) {
    return QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC).addSecs(secondsSince2024);
}

Workspace WorkspaceSamples::full() {
    Workspace w = plain(QStringLiteral("Client Work"), date(3600));
    w.createdAt = date(60);
    TabSnapshot tab{QUuid::createUuid(), QStringLiteral("https://example.org/a?b=c"),
                    QStringLiteral("Example"), true};
    TabSnapshot bareTab{QUuid::createUuid(), QStringLiteral("https://example.org/"), std::nullopt, false};
    WindowSnapshot browser{
        QUuid::createUuid(),
        {10.5, -20.25, 1280, 800},
        QStringLiteral("DISPLAY-1"),
        2,
        {tab, bareTab},
        QStringLiteral("Example"),
        0,
        QStringLiteral("file:///tmp/report.pdf"),
        true,
        BrowserProfile{QStringLiteral("/home/me/.config/work"), QStringLiteral("Profile 1")}};
    WindowSnapshot bare{QUuid::createUuid(),
                        {0, 0, 640, 480},
                        std::nullopt,
                        std::nullopt,
                        {},
                        std::nullopt,
                        1,
                        std::nullopt,
                        false,
                        std::nullopt};
    w.appSnapshots = {
        {QUuid::createUuid(),
         QStringLiteral("org.example.browser"),
         QStringLiteral("Browser"),
         {browser, bare},
         false},
        {QUuid::createUuid(), QStringLiteral("org.example.editor"), QStringLiteral("Editor"), {}, true}};
    w.displaySnapshots = {{QUuid::createUuid(),
                           4294967295u,
                           QStringLiteral("DISPLAY-1"),
                           {0, 0, 2560, 1440},
                           QStringLiteral("Main")},
                          {QUuid::createUuid(), 2, std::nullopt, {-1920, 0, 1920, 1080}, std::nullopt}};
    w.iconName = QStringLiteral("star.fill");
    w.gradientIndex = 37;
    w.globalShortcut = GlobalKeyShortcut{18, GlobalKeyShortcut::commandFlag | GlobalKeyShortcut::shiftFlag,
                                         QStringLiteral("⌘⇧1")};
    w.closeOtherApps = true;
    w.triggers = {{QUuid::createUuid(), WorkspaceTrigger::Login{}},
                  {QUuid::createUuid(),
                   WorkspaceTrigger::DisplayConnected{QStringLiteral("D-1"), QStringLiteral("Desk")}},
                  {QUuid::createUuid(),
                   WorkspaceTrigger::DisplayDisconnected{QStringLiteral("D-2"), QStringLiteral("TV")}},
                  {QUuid::createUuid(), WorkspaceTrigger::TimeOfDay{9, 5, {1, 3, 5}}}};
    return w;
}

Workspace WorkspaceSamples::plain(const QString& name, const QDateTime& updatedAt) {
    Workspace w;
    w.id = QUuid::createUuid();
    w.name = name;
    w.createdAt = updatedAt;
    w.updatedAt = updatedAt;
    return w;
}

Workspace WorkspaceSamples::withApps(const QString& name, const QStringList& bundleIdentifiers,
                                     int windowsEach) {
    Workspace w = plain(name, date(0));
    for (const QString& bundleIdentifier : bundleIdentifiers) {
        AppSnapshot app{QUuid::createUuid(), bundleIdentifier, bundleIdentifier.section('.', -1), {}, false};
        for (int i = 0; i < windowsEach; ++i) {
            WindowSnapshot window;
            window.id = QUuid::createUuid();
            window.frame = {100.0 * i, 50, 800, 600};
            window.windowIndex = i;
            app.windowSnapshots.append(window);
        }
        w.appSnapshots.append(app);
    }
    return w;
}
