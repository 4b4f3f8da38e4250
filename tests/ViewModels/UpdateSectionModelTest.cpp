#include "ViewModels/UpdateSectionModel.h"
#include "Services/Update/AutoUpdateManager.h"

#include "Support/TestPlatform.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace {

using Kind = UpdateState::Kind;
using Control = UpdateSectionModel::Control;

TEST(UpdateSectionRules, EveryStateHasItsSubtitleAndControl) {
    struct Row {
        Kind state;
        QString subtitle;
        Control control;
        QString text; // the button's title, or the progress row's text
    };
    const QString check = "Check for Updates";
    const QList<Row> rows = {
        {Kind::idle, "", Control::actionButton, check},
        {Kind::checking, "", Control::progressRow, "Checking for updates..."},
        {Kind::noUpdateAvailable, "", Control::actionButton, check},
        {Kind::updateAvailable, "Update Available", Control::actionButton, "Download"},
        {Kind::downloading, "Downloading...", Control::progressRow, "Downloading..."},
        {Kind::installing, "Installing...", Control::spinner, ""},
        {Kind::readyToInstall, "", Control::actionButton, "Install Update"},
        {Kind::error, "", Control::actionButton, check},
        {Kind::failedAfterRetry, "", Control::actionButton, check},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(UpdateSectionModel::subtitleFor(row.state, false), row.subtitle) << int(row.state);
        EXPECT_EQ(UpdateSectionModel::controlFor(row.state), row.control) << int(row.state);
        const QString text = row.control == Control::progressRow
                                 ? UpdateSectionModel::progressTextFor(row.state)
                                 : UpdateSectionModel::actionTitleFor(row.state);
        EXPECT_EQ(row.control == Control::spinner ? "" : text, row.text) << int(row.state);
        // The up-to-date message shows only where the state has no subtitle of its own.
        const QString withMessage = UpdateSectionModel::subtitleFor(row.state, true);
        EXPECT_EQ(withMessage, row.subtitle.isEmpty() ? "You're up to date!" : row.subtitle);
    }
}

// A version endpoint on 127.0.0.1 that answers every request with one version.
class VersionServer {
public:
    explicit VersionServer(QByteArray version)
        : m_body("{\"version\": \"" + version + "\"}") {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            QTcpSocket* socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                              "Content-Length: " +
                              QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body);
                socket->disconnectFromHost();
            });
        });
    }
    QString url() const { return "http://127.0.0.1:" + QString::number(m_server.serverPort()) + "/version"; }

private:
    QByteArray m_body;
    QTcpServer m_server;
};

class UpdateSectionModelTest : public ::testing::Test {
protected:
    UpdateSectionModelTest() {
        AutoUpdateManager::Configuration configuration;
        configuration.versionCheckURL = server.url();
        configuration.localVersion = "1.0.0";
        updater = std::make_unique<AutoUpdateManager>(configuration);
        section = std::make_unique<UpdateSectionModel>(*updater);
    }
    // A check from the section, run until the updater has its answer.
    void check() {
        section->performAction();
        EXPECT_EQ(section->control(), Control::progressRow);
        EXPECT_TRUE(
            platform.clock().runUntil([this] { return updater->updateState().kind() != Kind::checking; }));
    }

    TestPlatform platform;
    VersionServer server{"1.0.0"};
    std::unique_ptr<AutoUpdateManager> updater;
    std::unique_ptr<UpdateSectionModel> section;
};

TEST_F(UpdateSectionModelTest, UpToDateShowsForFiveSecondsAfterEachResult) {
    platform.clock().setRealWorkPending([this] { return updater->updateState().kind() == Kind::checking; });
    check();
    EXPECT_TRUE(updater->isManualCheck());
    EXPECT_TRUE(updater->showUpdateDialog());
    EXPECT_EQ(section->subtitle(), "You're up to date!");
    EXPECT_EQ(section->actionTitle(), "Check for Updates");
    EXPECT_EQ(section->title(), "Check for Updates");
    platform.clock().advanceBy(std::chrono::seconds(3));
    check();
    // The first result's reset ends the message, 2 seconds after the second result.
    platform.clock().advanceBy(std::chrono::seconds(2));
    EXPECT_EQ(section->subtitle(), "");
    check();
    section->reset();
    EXPECT_EQ(section->subtitle(), "");
}

TEST_F(UpdateSectionModelTest, ErrorsShowTheirMessageBesideANewCheck) {
    AutoUpdateManager::Configuration configuration;
    configuration.versionCheckURL = "http://example.org/plain";
    AutoUpdateManager refused(configuration);
    UpdateSectionModel errors(refused);
    errors.checkForUpdates();
    EXPECT_TRUE(errors.showsErrorRow());
    EXPECT_EQ(errors.errorMessage(), "Invalid version check URL");
    EXPECT_FALSE(errors.showsReadyRow());
    EXPECT_EQ(errors.actionTitle(), "Check for Updates");
    // Restarting into an update that is not installed does nothing.
    errors.installUpdate();
    EXPECT_TRUE(errors.showsErrorRow());
}

// A build without an update address: the card says where updates come from and offers nothing.
TEST(UpdateSectionWithoutUpdates, SaysWhereUpdatesComeFromAndOffersNoControl) {
    TestPlatform platform;
    AutoUpdateManager::Configuration configuration;
    configuration.localVersion = "1.0.0";
    AutoUpdateManager updater(configuration);
    UpdateSectionModel section(updater);
    section.performAction();
    section.checkForUpdates();
    section.installUpdate();
    EXPECT_FALSE(section.updatesEnabled());
    EXPECT_EQ(section.title(), "Where Updates Come From");
    EXPECT_EQ(section.subtitle(),
              "Updates come from where you installed Ordella, such as your package manager.");
    EXPECT_EQ(section.control(), Control::none);
    EXPECT_FALSE(section.showsActionButton() || section.showsProgressRow() || section.showsSpinner());
    EXPECT_FALSE(section.showsErrorRow() || section.showsReadyRow());
    EXPECT_EQ(updater.updateState(), UpdateState::idle());
}

} // namespace
