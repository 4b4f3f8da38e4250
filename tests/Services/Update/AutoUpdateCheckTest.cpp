#include "Services/Storage/JsonSettingsFormat.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/StreamingHttpServer.h"
#include "UpdateFixture.h"

#include <QTcpServer>

namespace {

using Response = TestHttpServer::Response;
using namespace std::chrono_literals;

// A version document naming 2.0.0 that is exactly size bytes long.
QByteArray versionDocumentOfSize(qsizetype size) {
    const QByteArray start = R"({"version": "2.0.0", "notes": ")";
    return start + QByteArray(size - start.size() - 2, 'x') + "\"}";
}

TEST(AutoUpdateVersions, ComparesExactlyThreeNumbers) {
    struct Row {
        std::optional<QString> local;
        QString remote;
        bool newer;
        // An unreadable version is said so.
        bool logged = false;
    };
    const QList<Row> rows = {
        {"1.9.9", "2.0.0", true},
        {"2.0.0", "2.0.0", false},
        {"2.0.1", "2.0.0", false},
        {"2.0.0", "2.0", false, true},
        {"2.0.0", "2.0.0.1", false, true},
        {"1.0.0", "2.0.0-beta", false, true},
        // A piece that is not a whole number, an empty piece or one that overflows makes the
        // version unreadable: it is not newer.
        {"1.9.9", "2.x.0.1", false, true},
        {"2.0.0", "2.x.0.1", false, true},
        {"2.0.2", "2.x.0.1", false, true},
        {"1.9.9", "..2...0..0.", false, true},
        {"0.1.0", "x.1.2.3", false, true},
        {"0.1.0", "1..2...3", false, true},
        {"0.1.0", "99999999999999999999.1.2.3", false, true},
        {"0.1.0", "1.2.99999999999999999999", false, true},
        {"0.1.0", "1.2.3.", false, true},
        {"0.1.x", "1.2.3", false, true},
        {"1.9.9", "+2.0.0", true},
        {"1.9.9", "2.0. 0", false, true},
        {std::nullopt, "9.9.9", false},
        {"1.0", "2.0.0", false, true},
        {"1.9.9", "99999999999999999999.0.0", false, true},
        {"1.9.9", "9223372036854775807.0.0", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.local.value_or("(none)").toStdString() + " vs " + row.remote.toStdString());
        DiagnosticsCapture diagnostics;
        EXPECT_EQ(AutoUpdateManager::isRemoteVersionNewer(row.local, row.remote), row.newer);
        EXPECT_EQ(diagnostics.lines().size(), row.logged ? 1 : 0);
    }
}

TEST(AutoUpdateVersions, OnlySecureOrLoopbackAddresses) {
    for (const char* ok :
         {"https://updates.ordella.app/version.json", "http://127.0.0.1:8080/v", "http://[::1]/v"}) {
        EXPECT_TRUE(AutoUpdateManager::secureUrl(ok).isValid()) << ok;
    }
    for (const char* refused :
         {"http://updates.ordella.app/version.json", "http://localhost/v", "ftp://127.0.0.1/v",
          "file:///etc/passwd", "not a url", "https:///nohost", ""}) {
        EXPECT_TRUE(AutoUpdateManager::secureUrl(refused).isEmpty()) << refused;
    }
}

using AutoUpdateCheck = UpdateFixture;

TEST_F(AutoUpdateCheck, EveryOutcomeOfTheCheck) {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QString refusedUrl =
        QStringLiteral("http://127.0.0.1:") + QString::number(closed.serverPort()) + "/v";
    closed.close();
    // A document without a length, sent as fast as it is taken, is read no further than the bound.
    StreamingHttpServer endless(R"({"version": "2.0.0", "notes": ")", qint64(256) << 20);
    struct Row {
        QString url; // empty: the server's version endpoint
        QList<Response> answer;
        UpdateState expected;
        // Virtual time the check takes.
        std::chrono::milliseconds took{0};
    };
    const UpdateState tooLarge =
        UpdateState::error("Failed to check for updates: The version document is larger than 1 MB");
    const UpdateState tooSlow =
        UpdateState::error("Failed to check for updates: The update server did not answer within 30 s");
    const QList<Row> rows = {
        {"http://updates.ordella.app/version.json", {}, UpdateState::error("Invalid version check URL")},
        {"::", {}, UpdateState::error("Invalid version check URL")},
        {refusedUrl, {}, UpdateState::error("Failed to check for updates: Connection refused")},
        {{}, {Response::dropped()}, UpdateState::error("Failed to check for updates: Connection closed")},
        {{}, {Response::ok("")}, UpdateState::error("No data received from version check")},
        {{},
         {Response::ok(R"({"version": 2})")},
         UpdateState::error(R"(Failed to parse version data: The value of "version" is not a text)")},
        {{},
         {Response::ok("<html>")},
         UpdateState::error("Failed to parse version data: illegal value at offset 1")},
        {{},
         {Response::ok("[]")},
         UpdateState::error("Failed to parse version data: The document is not a JSON object")},
        {{}, {Response::ok(R"({"latest": "2.0.0"})")}, UpdateState::error("Invalid response format")},
        {{}, {Response::ok(R"({"version": "1.9.9", "notes": "x"})")}, UpdateState::noUpdateAvailable()},
        // The status code is not examined: the body counts.
        {{}, {Response::ok(R"({"version": "2.0.0"})", 503)}, UpdateState::updateAvailable("2.0.0")},
        // Redirects are followed only to secure addresses.
        {{},
         {Response::redirect("http://updates.ordella.app/v")},
         UpdateState::error("Failed to check for updates: Redirected to an address that is not secure: "
                            "http://updates.ordella.app/v")},
        {{}, {Response::redirect("/moved")}, UpdateState::updateAvailable("3.0.0")},
        // The document is read to 1 MB at most, whether its length is announced or not.
        {{}, {Response::ok(versionDocumentOfSize(1 << 20))}, UpdateState::updateAvailable("2.0.0")},
        {{},
         {Response::withoutLength(versionDocumentOfSize(1 << 20))},
         UpdateState::updateAvailable("2.0.0")},
        {{}, {Response::ok(versionDocumentOfSize((1 << 20) + 1))}, tooLarge},
        {{}, {Response::withoutLength(versionDocumentOfSize(8 << 20))}, tooLarge},
        {{}, {Response::announcing("{}", qint64(400) << 20)}, tooLarge},
        {endless.url("/version.json"), {}, tooLarge},
        // A server that says nothing, or a byte every 20 s, is given 30 s in all.
        {{}, {Response::held()}, tooSlow, 30s},
        {{}, {Response::trickled(R"({"version": "2.0.0"})", 20s)}, tooSlow, 30s},
        {{}, {Response::trickled(R"({"version": "2.0.0"})", 1s)}, UpdateState::updateAvailable("2.0.0"), 20s},
    };
    server().route("/moved", R"({"version": "3.0.0"})");
    for (const Row& row : rows) {
        AutoUpdateManager::Configuration c = configuration();
        if (!row.url.isEmpty()) {
            c.versionCheckURL = row.url;
        }
        server().route("/version.json", row.answer);
        start(c);
        const auto before = clock().elapsed();
        ASSERT_TRUE(check());
        EXPECT_EQ(states().value(0), UpdateState::checking()) << row.url.toStdString();
        EXPECT_EQ(manager().updateState(), row.expected) << row.answer.value(0).body.left(80).toStdString();
        EXPECT_EQ(clock().elapsed() - before, row.took) << row.answer.value(0).body.left(80).toStdString();
        if (row.expected.kind() == UpdateState::Kind::updateAvailable) {
            EXPECT_EQ(manager().remoteVersion(), row.expected.version());
        }
    }
    // The check stopped near the 1 MB bound, long before the endless body's end.
    EXPECT_EQ(endless.requests(), 1);
    ASSERT_TRUE(endless.waitUntilIdle(std::chrono::seconds(30)));
    EXPECT_LT(endless.sent(), (1 << 20) + StreamingHttpServer::readAhead());
}

// A build without an update address (the default) never checks: no request, no state, no timer.
TEST_F(AutoUpdateCheck, WithoutAnAddressNothingIsChecked) {
    server().route("/version.json", R"({"version": "2.0.0"})");
    AutoUpdateManager::Configuration c = configuration();
    c.versionCheckURL.clear();
    start(c);
    EXPECT_FALSE(manager().updatesEnabled());
    manager().startPeriodicChecks();
    EXPECT_EQ(clock().pendingCount(), 0);
    manager().checkForUpdates(true, true, true);
    manager().downloadAndInstallUpdate();
    ASSERT_TRUE(settle());
    clock().advanceBy(std::chrono::hours(48));
    EXPECT_EQ(manager().updateState(), UpdateState::idle());
    EXPECT_EQ(states(), QList<UpdateState>());
    EXPECT_FALSE(manager().isManualCheck());
    EXPECT_FALSE(manager().showUpdateDialog());
    EXPECT_EQ(server().requests(), QStringList());

    start();
    EXPECT_TRUE(manager().updatesEnabled());
}

TEST_F(AutoUpdateCheck, DismissedVersionsAndForcedChecks) {
    JsonSettingsFormat::userSettings()->setValue("dismissedVersion_2.0.0", true);
    struct Row {
        QString version;
        bool showDialog;
        bool forceShow;
        bool shown;
    };
    const QList<Row> rows = {
        {"2.0.0", true, false, false}, // dismissed: not offered by itself
        {"2.0.0", true, true, true},   // asked for: offered anyway
        {"2.1.0", true, false, true},  // a later version is offered again
        {"2.1.0", false, true, false}, // without the dialog nothing is raised
    };
    for (const Row& row : rows) {
        server().route("/version.json", QByteArray(R"({"version": ")") + row.version.toUtf8() + "\"}");
        start();
        ASSERT_TRUE(check(row.showDialog, row.forceShow));
        EXPECT_EQ(manager().updateState(), UpdateState::updateAvailable(row.version));
        EXPECT_EQ(manager().showUpdateDialog(), row.shown) << row.version.toStdString() << row.forceShow;
    }
    JsonSettingsFormat::userSettings()->remove("dismissedVersion_2.0.0");
}

TEST_F(AutoUpdateCheck, UpToDateShowsForThreeSecondsUnlessTheStateMovesOn) {
    server().route("/version.json", R"({"version": "1.9.9"})");
    start();
    ASSERT_TRUE(check(true, true));
    EXPECT_TRUE(manager().showUpdateDialog());
    clock().advanceBy(std::chrono::milliseconds(2999));
    EXPECT_TRUE(manager().showUpdateDialog());
    clock().advanceBy(std::chrono::milliseconds(1));
    EXPECT_FALSE(manager().showUpdateDialog());

    // A newer version found meanwhile keeps the dialog up.
    ASSERT_TRUE(check(true, true));
    server().route("/version.json", R"({"version": "2.0.0"})");
    ASSERT_TRUE(check(true, false));
    clock().advanceBy(std::chrono::seconds(5));
    EXPECT_TRUE(manager().showUpdateDialog());

    // An automatic check that finds nothing new hides an offer at once.
    server().route("/version.json", R"({"version": "1.0.0"})");
    ASSERT_TRUE(check(true, false));
    EXPECT_FALSE(manager().showUpdateDialog());
}

TEST_F(AutoUpdateCheck, ChecksOnceADayFromTheTimer) {
    server().route("/version.json", R"({"version": "2.0.0"})");
    start();
    manager().checkForUpdates(true, true, true);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(manager().isManualCheck());
    manager().startPeriodicChecks();
    manager().startPeriodicChecks(); // restarting keeps one timer
    clock().advanceBy(std::chrono::seconds(86399));
    EXPECT_EQ(server().count("/version.json"), 1);
    ASSERT_TRUE(clock().runUntil([this] { return server().count("/version.json") == 2; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(manager().updateState(), UpdateState::updateAvailable("2.0.0"));
    EXPECT_FALSE(manager().isManualCheck());
    EXPECT_EQ(clock().elapsed(), std::chrono::seconds(86400));
}

} // namespace
