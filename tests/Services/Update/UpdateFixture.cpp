#include "UpdateFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>

namespace {

bool requestInFlight(const QObject& root) {
    const QList<QNetworkReply*> replies = root.findChildren<QNetworkReply*>();
    return std::any_of(replies.begin(), replies.end(),
                       [](const QNetworkReply* r) { return !r->isFinished(); });
}

bool processRunning(const QObject& root) {
    const QList<QProcess*> processes = root.findChildren<QProcess*>();
    return std::any_of(processes.begin(), processes.end(),
                       [](const QProcess* p) { return p->state() != QProcess::NotRunning; });
}

bool realWorkInFlight(const QObject& root) {
    return requestInFlight(root) || processRunning(root);
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
    // A reply the server holds back waits on virtual time, like the updater's own deadline. Once
    // the updater has given up on its requests, the server lets go of them too, so that a request
    // held back earlier is never taken for the one in flight now.
    clock().setRealWorkPending([this] {
        if (m_awaitingStart) {
            return true;
        }
        if (!m_manager) {
            return false;
        }
        const bool requesting = requestInFlight(*m_manager);
        if (!requesting) {
            m_server.closeWaiting();
        }
        return processRunning(*m_manager) || (requesting && m_server.waiting() == 0);
    });
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
    c.publicKey = m_key.publicKey();
    return c;
}

void UpdateFixture::start(AutoUpdateManager::Configuration configuration) {
    configuration.quit = [this] { m_quitCalled = true; };
    m_manager.reset();
    // What an earlier updater left waiting at the server no longer counts.
    m_server.closeWaiting();
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

void UpdateFixture::serveArchive(const QString& version, const QByteArray& body,
                                 QList<TestHttpServer::Response> before) {
    m_server.route(QStringLiteral("/downloads/Ordella") + version + QStringLiteral(".tar.gz"),
                   before << TestHttpServer::Response::ok(body));
    m_signatures[version] = m_key.sign(body);
}

void UpdateFixture::serveVersion(const QString& version) {
    m_server.route(QStringLiteral("/version.json"), [this, version](const QString&) {
        QJsonObject document{{QStringLiteral("version"), version}};
        if (m_signatures.contains(version)) {
            document.insert(QStringLiteral("signature"), m_signatures.value(version));
        }
        return TestHttpServer::Response::ok(QJsonDocument(document).toJson());
    });
}
