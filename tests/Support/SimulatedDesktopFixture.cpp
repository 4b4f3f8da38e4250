#include "Support/SimulatedDesktopFixture.h"

#include "Platform/Simulated/SimulatedScene.h"

#include <QUuid>

SimulatedDesktopFixture::SimulatedDesktopFixture()
    : m_desktop(std::make_shared<SimulatedDesktop>(m_platform.platform().clock)) {
    m_desktop->installInto(m_platform.platform());
}

SimulatedDesktopFixture::~SimulatedDesktopFixture() = default;

void SimulatedDesktopFixture::loadScene(const QString& path) {
    const SimulatedScene::LoadResult result = SimulatedScene::loadFile(path, *m_desktop);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
}

void SimulatedDesktopFixture::addScreen(double width, double height) {
    Screen screen;
    screen.displayNumber = 1;
    screen.identity = QUuid::fromString(QStringLiteral("11111111-2222-3333-4444-555555555555"));
    screen.frame = QRectF(0, 0, width, height);
    screen.visibleFrame = QRectF(0, 0, width, height - 25);
    screen.localizedName = QStringLiteral("Main Display");
    m_desktop->addScreen(screen);
}

qint32 SimulatedDesktopFixture::addApp(const QString& bundleIdentifier, const QList<QRectF>& frames,
                                       const QStringList& titles) {
    SimulatedDesktop::Application app;
    app.bundleIdentifier = bundleIdentifier;
    app.name = bundleIdentifier.section('.', -1);
    const qint32 pid = m_desktop->addApplication(app);
    for (int i = 0; i < frames.size(); ++i) {
        SimulatedDesktop::Window w;
        w.frame = frames[i];
        if (i < titles.size()) {
            w.title = titles[i];
        }
        m_desktop->addWindow(pid, w, true);
    }
    return pid;
}
