#pragma once

#include "Platform/Simulated/SimulatedPrompts.h"
#include "Services/Update/AutoUpdateManager.h"
#include "Support/TestHttpServer.h"
#include "Support/TestPlatform.h"
#include "TestSigningKey.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

inline void PrintTo(const UpdateState& state, std::ostream* os) {
    *os << state.description().toStdString();
}

// An updater in virtual time against a local server, with an installed copy of version 1.9.9 in a
// folder of the test's own and a temporary folder ($TMPDIR) of the test's own, checking updates
// with a signing key of the test's own. Network replies and child processes are real: virtual time
// stands still while one is in flight, unless the server holds it back on purpose.
class UpdateFixture : public ::testing::Test {
protected:
    UpdateFixture();
    ~UpdateFixture() override;

    VirtualClock& clock() { return m_platform.clock(); }
    SimulatedPrompts& prompts() { return *m_prompts; }
    TestHttpServer& server() { return m_server; }
    AutoUpdateManager& manager() { return *m_manager; }
    // The folder that holds the installed copy, its path, and $TMPDIR.
    QString place() const { return m_place.path(); }
    QString installed() const { return m_place.filePath(QStringLiteral("Ordella")); }
    QString temporary() const { return m_tmp.path(); }

    // The configuration of the updater: this server, the installed copy, version 1.9.9, the key.
    AutoUpdateManager::Configuration configuration() const;
    // Makes the updater (again) and records every state it publishes.
    void start(AutoUpdateManager::Configuration configuration);
    void start() { start(configuration()); }
    // Drives until the updater rests: no check, download or installation running.
    bool settle();
    // A check of the server's answer, driven until it ends.
    bool check(bool showDialog = true, bool forceShow = false);
    // Drives until the program of a copy has reported its start to the server.
    bool waitForStart();

    // An installed copy of version in folder: a program that reports its start to the server, and
    // the installation info listing it.
    void writeCopy(const QString& folder, const QString& version);
    // A gzip-compressed tar archive made with these arguments, run in the staging folder.
    QByteArray archive(const QStringList& arguments);
    // The staging folder where archives are put together.
    QString staging() const { return m_staging.path(); }
    // Serves body as the archive of version (after the responses of before), and signs it.
    void serveArchive(const QString& version, const QByteArray& body,
                      QList<TestHttpServer::Response> before = {});
    // Serves the version document naming version, with the signature of its archive as served
    // when the document is asked for (none while no archive is served).
    void serveVersion(const QString& version);
    // The signature the version document gives for version's archive, in place of the real one;
    // empty for none.
    void setSignature(const QString& version, const QString& signature) {
        if (signature.isEmpty()) {
            m_signatures.remove(version);
        } else {
            m_signatures[version] = signature;
        }
    }
    const TestSigningKey& key() const { return m_key; }

    const QList<UpdateState>& states() const { return m_states; }
    bool quitCalled() const { return m_quitCalled; }

private:
    TestPlatform m_platform;
    std::shared_ptr<SimulatedPrompts> m_prompts = std::make_shared<SimulatedPrompts>();
    QTemporaryDir m_place;
    QTemporaryDir m_staging;
    QTemporaryDir m_tmp;
    QByteArray m_previousTmp;
    TestHttpServer m_server;
    TestSigningKey m_key;
    QHash<QString, QString> m_signatures;
    std::unique_ptr<AutoUpdateManager> m_manager;
    QList<UpdateState> m_states;
    bool m_quitCalled = false;
    bool m_awaitingStart = false;
};
