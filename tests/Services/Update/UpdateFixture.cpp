#include "UpdateFixture.h"

#include <QDir>
#include <QFile>
#include <QNetworkReply>
#include <QProcess>

namespace {

bool realWorkInFlight(const QObject& root) {
    for (const QNetworkReply* reply : root.findChildren<QNetworkReply*>()) {
        if (!reply->isFinished()) {
            return true;
        }
    }
    for (const QProcess* process : root.findChildren<QProcess*>()) {
        if (process->state() != QProcess::NotRunning) {
            return true;
        }
    }
    return false;
}

bool busy(UpdateState::Kind kind) {
    return kind == UpdateState::Kind::checking || kind == UpdateState::Kind::downloading ||
           kind == UpdateState::Kind::installing;
}

} // namespace

UpdateFixture::UpdateFixture()
    : m_previousTmp(qgetenv("TMPDIR")) {
    m_platform.platform().prompts = m_prompts;
    qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
    clock().setRealWorkPending(
        [this] { return (m_manager && realWorkInFlight(*m_manager)) || m_awaitingStart; });
    writeCopy(installed(), QStringLiteral("1.9.9"));
}

UpdateFixture::~UpdateFixture() {
    m_manager.reset();
    if (m_previousTmp.isNull()) {
        qunsetenv("TMPDIR");
    } else {
        qputenv("TMPDIR", m_previousTmp);
    }
}

AutoUpdateManager::Configuration UpdateFixture::configuration() const {
    AutoUpdateManager::Configuration c;
    c.versionCheckURL = m_server.url(QStringLiteral("/version.json"));
    c.downloadBase = m_server.url(QStringLiteral("/downloads/Ordella"));
    c.productPageURL = m_server.url(QStringLiteral("/"));
    c.executablePath = installed() + QStringLiteral("/bin/ordella");
    c.localVersion = QStringLiteral("1.9.9");
    return c;
}

void UpdateFixture::start(AutoUpdateManager::Configuration configuration) {
    configuration.quit = [this] { m_quitCalled = true; };
    m_manager.reset();
    m_states.clear();
    m_manager = std::make_unique<AutoUpdateManager>(std::move(configuration));
    QObject::connect(m_manager.get(), &AutoUpdateManager::updateStateChanged, m_manager.get(),
                     [this] { m_states << m_manager->updateState(); });
}

bool UpdateFixture::settle() {
    return clock().runUntil(
        [this] { return !busy(m_manager->updateState().kind()) && !realWorkInFlight(*m_manager); });
}

bool UpdateFixture::check(bool showDialog, bool forceShow) {
    manager().checkForUpdates(showDialog, forceShow, false);
    return settle();
}

bool UpdateFixture::waitForStart() {
    m_awaitingStart = true;
    const bool started = clock().runUntil([this] {
        return std::any_of(m_server.requests().begin(), m_server.requests().end(),
                           [](const QString& path) { return path.startsWith(QStringLiteral("/started")); });
    });
    m_awaitingStart = false;
    return started;
}

void UpdateFixture::writeCopy(const QString& folder, const QString& version) {
    QDir().mkpath(folder + QStringLiteral("/bin"));
    QDir().mkpath(folder + QStringLiteral("/share/ordella"));
    QFile program(folder + QStringLiteral("/bin/ordella"));
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write("#!/bin/bash\nexec 3<>/dev/tcp/127.0.0.1/" + m_server.url({}).section(u':', 2).toLatin1() +
                  "\nprintf 'GET /started?version=" + version.toLatin1() +
                  "&replaces=%s HTTP/1.0\\r\\n\\r\\n' \"$ORDELLA_REPLACES_PID\" >&3\n");
    program.setPermissions(program.permissions() | QFile::ExeOwner);
    program.close();
    QFile info(folder + QStringLiteral("/share/ordella/install.json"));
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write("{\"version\": \"" + version.toUtf8() + "\", \"files\": [\"bin/ordella\"]}\n");
}

QByteArray UpdateFixture::archive(const QStringList& arguments) {
    const QString file = m_staging.filePath(QStringLiteral("out.tar.gz"));
    QProcess tar;
    tar.setWorkingDirectory(m_staging.path());
    tar.start(QStringLiteral("tar"), QStringList{QStringLiteral("--create"), QStringLiteral("--gzip"),
                                                 QStringLiteral("--file=") + file} +
                                         arguments);
    tar.waitForFinished();
    EXPECT_EQ(tar.exitCode(), 0) << tar.readAllStandardError().toStdString();
    QFile out(file);
    out.open(QIODevice::ReadOnly);
    const QByteArray bytes = out.readAll();
    out.remove();
    return bytes;
}

void UpdateFixture::serveArchive(const QString& version, const QByteArray& body) {
    m_server.route(QStringLiteral("/downloads/Ordella") + version + QStringLiteral(".tar.gz"), body);
}
