#include "Services/Update/AutoUpdateManager.h"

#include "Extensions/AtomicFileWriter.h"
#include "Extensions/DetachedTask.h"
#include "Platform/Diagnostics.h"
#include "Platform/Platform.h"
#include "Platform/Prompts.h"
#include "Platform/SystemInfo.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Services/Update/InstallSwap.h"
#include "Services/Update/InstalledCopy.h"
#include "Services/Update/UpdateArchive.h"
#include "Services/Update/UpdateSignature.h"
#include "Services/Update/VersionDocument.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>

#include <qcoro/qcoronetworkreply.h>

#include <utility>

namespace {

// A stalled transfer is given up after a minute without data, as the system's URL loading does.
constexpr int kTransferTimeoutMs = 60'000;
constexpr double kUpToDateSeconds = 3.0;
constexpr double kRetryDelaySeconds = 1.0;
// What a reply may hold that was not read yet.
constexpr qint64 kReadBufferBytes = 64 * 1024;
// Why Ordella itself stopped a request, for the failure it is reported as.
const char* const kStopReason = "ordellaStopReason";

// The deadline of one request: owned by the reply, so it goes with it.
class ReplyDeadline : public QObject {
public:
    using QObject::QObject;
    ClockTimer timer;
};

void stop(QNetworkReply* reply, const QString& reason) {
    if (!reply->property(kStopReason).isValid()) {
        reply->setProperty(kStopReason, reason);
    }
    reply->abort();
}

// "1 MB" for whole mebibytes, bytes otherwise.
QString sizeText(qint64 bytes) {
    return bytes > 0 && bytes % (qint64(1) << 20) == 0 ? QString::number(bytes >> 20) + QStringLiteral(" MB")
                                                       : QString::number(bytes) + QStringLiteral(" bytes");
}

QString secondsText(std::chrono::milliseconds d) {
    return QString::number(static_cast<double>(d.count()) / 1000.0) + QStringLiteral(" s");
}

// Whether the reply failed before a server answered. An answer with an HTTP error status still
// carries a body, which is examined like any other: the status code itself is not.
bool isTransportFailure(const QNetworkReply* reply) {
    const int code = static_cast<int>(reply->error());
    return code != QNetworkReply::NoError && !(code >= 201 && code <= 299) && !(code >= 401 && code <= 499);
}

QString failureDescription(const QNetworkReply* reply) {
    const QVariant reason = reply->property(kStopReason);
    return reason.isValid() ? reason.toString() : reply->errorString();
}

} // namespace

AutoUpdateManager::Configuration AutoUpdateManager::Configuration::defaults() {
    Configuration c;
    c.versionCheckURL = QStringLiteral(ORDELLA_UPDATE_VERSION_URL);
    c.downloadBase = QStringLiteral(ORDELLA_UPDATE_DOWNLOAD_BASE);
    c.productPageURL = QStringLiteral(ORDELLA_PRODUCT_PAGE_URL);
    c.publicKey = QStringLiteral(ORDELLA_UPDATE_PUBLIC_KEY);
    c.executablePath = QCoreApplication::applicationFilePath();
    const std::shared_ptr<SystemInfo> info = Platform::current().systemInfo;
    c.localVersion = info ? info->appVersion() : std::optional<QString>(QStringLiteral(ORDELLA_VERSION));
    c.quit = [] { QCoreApplication::quit(); };
    return c;
}

bool AutoUpdateManager::wasVersionDismissed(const QString& version) {
    return JsonSettingsFormat::userSettings()->value(QStringLiteral("dismissedVersion_") + version).toBool();
}

void AutoUpdateManager::rememberDismissedVersion(const QString& version) {
    JsonSettingsFormat::userSettings()->setValue(QStringLiteral("dismissedVersion_") + version, true);
}

QString AutoUpdateManager::downloadFileName() {
    return QStringLiteral("Ordella-Update.tar.gz");
}

AutoUpdateManager::AutoUpdateManager(Configuration configuration, QObject* parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
    , m_network(new QNetworkAccessManager(this)) {
    m_network->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
    m_network->setTransferTimeout(kTransferTimeoutMs);
}

AutoUpdateManager::~AutoUpdateManager() = default;

AutoUpdateManager& AutoUpdateManager::shared() {
    static AutoUpdateManager* instance = new AutoUpdateManager();
    return *instance;
}

QVariant AutoUpdateManager::remoteVersionValue() const {
    return m_remoteVersion ? QVariant(*m_remoteVersion) : QVariant();
}

void AutoUpdateManager::setUpdateState(const UpdateState& state) {
    if (m_updateState != state) {
        m_updateState = state;
        emit updateStateChanged();
    }
}

void AutoUpdateManager::setRemoteVersion(const QString& version) {
    if (m_remoteVersion != version) {
        m_remoteVersion = version;
        emit remoteVersionChanged();
    }
}

void AutoUpdateManager::setShowUpdateDialog(bool show) {
    if (m_showUpdateDialog != show) {
        m_showUpdateDialog = show;
        emit showUpdateDialogChanged();
    }
}

QString AutoUpdateManager::downloadURL() const {
    if (!m_remoteVersion) {
        return m_configuration.productPageURL;
    }
    // The version comes from the server: encoded, it stays one piece of the path.
    return m_configuration.downloadBase + QString::fromLatin1(QUrl::toPercentEncoding(*m_remoteVersion)) +
           QStringLiteral(".tar.gz");
}

QUrl AutoUpdateManager::secureUrl(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        return {};
    }
    const bool secure = url.scheme() == QStringLiteral("https") ||
                        (url.scheme() == QStringLiteral("http") && QHostAddress(url.host()).isLoopback());
    return secure ? url : QUrl();
}

bool AutoUpdateManager::isRemoteVersionNewer(const std::optional<QString>& local, const QString& remote) {
    return VersionDocument::isNewer(local, remote);
}

void AutoUpdateManager::startPeriodicChecks() {
    m_periodicCheckTimer.cancel();
    if (!updatesEnabled()) {
        return;
    }
    QPointer<AutoUpdateManager> self(this);
    m_periodicCheckTimer =
        Platform::current().clock->startTimer(Clock::seconds(checkIntervalSeconds), true, [self] {
            if (self) {
                self->checkForUpdates(true, false, false);
            }
        });
}

QNetworkReply* AutoUpdateManager::get(const QUrl& url, std::chrono::milliseconds deadline,
                                      const QString& tooSlow) {
    QNetworkRequest request(url);
    // HTTP/1.1, whose reading holds the server back: Qt's HTTP/2 lets the server send on as data
    // arrives, however little of it was read.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    QNetworkReply* reply = m_network->get(request);
    // Without a bound, Qt's network thread reads whatever the server sends into memory while this
    // thread gets to look at it: a bound of its own is checked only as fast as data is read here.
    reply->setReadBufferSize(kReadBufferBytes);
    connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl& target) {
        if (secureUrl(target.toString()).isValid()) {
            emit reply->redirectAllowed();
        } else {
            stop(reply, QStringLiteral("Redirected to an address that is not secure: ") + target.toString());
        }
    });
    // The transfer time-out only covers silence: a server that sends a byte now and then would
    // keep the request going for ever without a deadline for the whole of it.
    auto* holder = new ReplyDeadline(reply);
    holder->timer =
        Platform::current().clock->startTimer(deadline, false, [reply, tooSlow] { stop(reply, tooSlow); });
    connect(reply, &QNetworkReply::finished, holder, [holder] { holder->timer.cancel(); });
    return reply;
}

void AutoUpdateManager::checkForUpdates(bool showDialog, bool forceShow, bool isManualCheck) {
    if (!updatesEnabled()) {
        return;
    }
    if (m_isManualCheck != isManualCheck) {
        m_isManualCheck = isManualCheck;
        emit isManualCheckChanged();
    }
    setUpdateState(UpdateState::checking());
    const QUrl url = secureUrl(m_configuration.versionCheckURL);
    if (url.isEmpty()) {
        setUpdateState(UpdateState::error(QStringLiteral("Invalid version check URL")));
        return;
    }
    DetachedTask::start(QStringLiteral("AutoUpdateManager"), QStringLiteral("The update check"),
                        runCheck(url, showDialog, forceShow));
}

QCoro::Task<void> AutoUpdateManager::runCheck(QUrl url, bool showDialog, bool forceShow) {
    QPointer<AutoUpdateManager> self(this);
    const UpdateLimits& limits = m_configuration.limits;
    QNetworkReply* reply =
        get(url, limits.checkTimeout,
            QStringLiteral("The update server did not answer within ") + secondsText(limits.checkTimeout));
    // The document is small: a longer one (announced, or counted as it arrives) is not read on.
    const qint64 maxBytes = limits.maxVersionDocumentBytes;
    const auto data = std::make_shared<QByteArray>();
    const auto readOrStop = [reply, maxBytes, data] {
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        if (announced.isValid() && announced.toLongLong() > maxBytes) {
            stop(reply, QStringLiteral("The version document is larger than ") + sizeText(maxBytes));
            return;
        }
        if (reply->isOpen()) {
            data->append(reply->read(maxBytes + 1 - data->size()));
        }
        if (data->size() > maxBytes) {
            stop(reply, QStringLiteral("The version document is larger than ") + sizeText(maxBytes));
        }
    };
    connect(reply, &QNetworkReply::metaDataChanged, reply, readOrStop);
    connect(reply, &QIODevice::readyRead, reply, readOrStop);
    co_await reply;
    if (!self) {
        co_return;
    }
    reply->deleteLater();
    if (!isTransportFailure(reply)) {
        readOrStop(); // what came with the end
    }
    if (isTransportFailure(reply) || reply->property(kStopReason).isValid()) {
        setUpdateState(
            UpdateState::error(QStringLiteral("Failed to check for updates: ") + failureDescription(reply)));
        co_return;
    }
    if (data->isEmpty()) {
        setUpdateState(UpdateState::error(QStringLiteral("No data received from version check")));
        co_return;
    }
    const auto [problem, document] = VersionDocument::read(*data);
    if (!problem.isEmpty()) {
        setUpdateState(UpdateState::error(QStringLiteral("Failed to parse version data: ") + problem));
        co_return;
    }
    if (!document.contains(QStringLiteral("version"))) {
        setUpdateState(UpdateState::error(QStringLiteral("Invalid response format")));
        co_return;
    }
    const QString version = document.value(QStringLiteral("version")).toString();
    m_remoteSignature = document.value(QStringLiteral("signature")).toString();
    setRemoteVersion(version);
    if (isRemoteVersionNewer(m_configuration.localVersion, version)) {
        setUpdateState(UpdateState::updateAvailable(version));
        if (showDialog && (forceShow || !wasVersionDismissed(version))) {
            setShowUpdateDialog(true);
        }
        co_return;
    }
    setUpdateState(UpdateState::noUpdateAvailable());
    if (showDialog && forceShow) {
        setShowUpdateDialog(true);
        DetachedTask::start(QStringLiteral("AutoUpdateManager"),
                            QStringLiteral("Hiding the up-to-date dialog"), hideUpToDateLater());
    } else {
        setShowUpdateDialog(false);
    }
}

QCoro::Task<void> AutoUpdateManager::hideUpToDateLater() {
    QPointer<AutoUpdateManager> self(this);
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    co_await clock->sleep(Clock::seconds(kUpToDateSeconds));
    if (self && m_updateState == UpdateState::noUpdateAvailable()) {
        setShowUpdateDialog(false);
    }
}

void AutoUpdateManager::downloadAndInstallUpdate() {
    if (m_updateState.kind() != UpdateState::Kind::updateAvailable || m_installRunning) {
        return;
    }
    startDownload(true);
}

void AutoUpdateManager::retryDownload() {
    startDownload(false);
}

void AutoUpdateManager::startDownload(bool resetAttempts) {
    const QUrl url = secureUrl(downloadURL());
    if (url.isEmpty()) {
        setUpdateState(UpdateState::error(QStringLiteral("Invalid download URL")));
        return;
    }
    if (resetAttempts) {
        m_updateAttempts = 0;
    }
    setUpdateState(UpdateState::downloading(0));
    // One download at a time: an earlier one that is still running is dropped, and its end ignored.
    if (const QPointer<QNetworkReply> earlier = std::exchange(m_downloadTask, nullptr)) {
        earlier->abort();
    }
    m_downloadVersion = m_remoteVersion.value_or(QString());
    m_downloadSignature = m_remoteSignature;
    DetachedTask::start(QStringLiteral("AutoUpdateManager"), QStringLiteral("The update download"),
                        runDownload(url));
}

QString AutoUpdateManager::downloadTarget() {
    // A folder of this user's own (made with owner-only access under a random name), so nobody
    // else can plant a file or a link where the download is written.
    if (!m_downloadFolder || !m_downloadFolder->isValid()) {
        m_downloadFolder =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/ordella-update-XXXXXX"));
    }
    return m_downloadFolder->isValid() ? m_downloadFolder->filePath(downloadFileName()) : QString();
}

void AutoUpdateManager::dropDownload() {
    m_downloadedFilePath.clear();
    if (m_downloadFolder) {
        m_downloadFolder->remove();
        m_downloadFolder.reset();
    }
}

QCoro::Task<void> AutoUpdateManager::runDownload(QUrl url) {
    QPointer<AutoUpdateManager> self(this);
    const QString target = downloadTarget();
    // Whole or not at all: a download cut short by a full disk is never taken for the update.
    auto file = std::make_shared<AtomicFileWriter>(target);
    if (target.isEmpty() || !file->open()) {
        const QString reason =
            target.isEmpty() ? QStringLiteral("No private temporary folder") : file->errorString();
        setUpdateState(UpdateState::error(QStringLiteral("Failed to save download: ") + reason));
        co_return;
    }
    const std::chrono::milliseconds deadline = m_configuration.limits.downloadTimeout;
    QNetworkReply* reply =
        get(url, deadline, QStringLiteral("The download took longer than ") + secondsText(deadline));
    m_downloadTask = reply;
    // A download larger than the bound (announced or real) is stopped and counts as a failure.
    const qint64 maxBytes = m_configuration.limits.maxDownloadBytes;
    const auto tooLarge = std::make_shared<bool>(false);
    const auto stopIfTooLarge = [reply, tooLarge, maxBytes](qint64 received, qint64 announced) {
        if (!*tooLarge && (received > maxBytes || announced > maxBytes)) {
            *tooLarge = true;
            reply->abort();
        }
    };
    // The writer lives as long as this handler and the task: a download that does not end well
    // leaves no file behind.
    const auto received = std::make_shared<qint64>(0);
    connect(reply, &QIODevice::readyRead, reply, [reply, file, received, tooLarge, stopIfTooLarge] {
        if (!*tooLarge && !file->failed()) {
            const QByteArray chunk = reply->readAll();
            *received += chunk.size();
            // A write that failed (a full disk) ends the download: nothing more can be kept.
            if (!file->write(chunk)) {
                reply->abort();
                return;
            }
            stopIfTooLarge(*received, -1);
        }
    });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply, tooLarge, stopIfTooLarge](qint64 written, qint64 expected) {
                stopIfTooLarge(written, expected);
                // Without a length the expected size reads -1, and so does the fraction's sign.
                if (reply == m_downloadTask && expected != 0 && !*tooLarge) {
                    setUpdateState(UpdateState::downloading(static_cast<double>(written) /
                                                            static_cast<double>(expected)));
                }
            });
    co_await reply;
    if (!self) {
        co_return;
    }
    reply->deleteLater();
    if (reply != m_downloadTask) {
        co_return; // replaced by a newer download
    }
    m_downloadTask = nullptr;
    if (*tooLarge) {
        Diagnostics::print(QStringLiteral("[AutoUpdateManager.download] The update is larger than ") +
                           QString::number(maxBytes) + QStringLiteral(" bytes; the download was stopped"));
    } else if (reply->property(kStopReason).isValid()) {
        Diagnostics::print(QStringLiteral("[AutoUpdateManager.download] ") + failureDescription(reply));
    }
    if (file->failed()) {
        dropDownload(); // nothing of a download that could not be saved stays behind
        setUpdateState(UpdateState::error(QStringLiteral("Failed to save download: ") + file->errorString()));
        co_return;
    }
    if (*tooLarge || isTransportFailure(reply)) {
        DetachedTask::start(QStringLiteral("AutoUpdateManager"),
                            QStringLiteral("The download's failure handling"), handleFailure(false));
        co_return;
    }
    if (!file->write(reply->readAll()) || !file->commit()) {
        dropDownload();
        setUpdateState(UpdateState::error(QStringLiteral("Failed to save download: ") + file->errorString()));
        co_return;
    }
    m_downloadedFilePath = target;
    co_await installUpdate(target);
}

QCoro::Task<void> AutoUpdateManager::handleFailure(bool installFailed) {
    QPointer<AutoUpdateManager> self(this);
    ++m_updateAttempts;
    if (m_updateAttempts >= maxUpdateAttempts) {
        // Given up: nothing of the failed update stays on disk.
        dropDownload();
        setUpdateState(UpdateState::failedAfterRetry(downloadURL()));
        co_return;
    }
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    co_await clock->sleep(Clock::seconds(kRetryDelaySeconds));
    if (!self) {
        co_return;
    }
    if (installFailed && !m_downloadedFilePath.isEmpty()) {
        co_await installUpdate(m_downloadedFilePath);
    } else {
        retryDownload();
    }
}

QCoro::Task<void> AutoUpdateManager::installUpdate(QString archive) {
    QPointer<AutoUpdateManager> self(this);
    setUpdateState(UpdateState::installing());
    m_installRunning = true;
    const std::optional<UpdateError> failure = co_await performInstall(archive, m_downloadVersion);
    if (!self) {
        co_return;
    }
    m_installRunning = false;
    if (failure) {
        Diagnostics::print(QStringLiteral("[AutoUpdateManager.installUpdate] ") + failure->text());
        DetachedTask::start(QStringLiteral("AutoUpdateManager"),
                            QStringLiteral("The install's failure handling"), handleFailure(true));
        co_return;
    }
    QFile::remove(archive);
    dropDownload();
    setUpdateState(UpdateState::readyToInstall());
    co_await showRestartAlert();
}

QCoro::Task<std::optional<UpdateError>> AutoUpdateManager::performInstall(QString archive, QString version) {
    QPointer<AutoUpdateManager> self(this);
    // Nothing of an archive is looked at, let alone unpacked, before its signature verifies.
    if (std::optional<UpdateError> refused =
            UpdateSignature::verify(archive, m_downloadSignature, m_configuration.publicKey)) {
        co_return refused;
    }
    const InstalledCopy::Location installed = InstalledCopy::locate(m_configuration.executablePath);
    if (installed.folder.isEmpty()) {
        co_return UpdateError::autoUpdate(UpdateError::notAnInstalledCopy, installed.problem);
    }
    // Unpacked beside the installed copy, so that putting it in place is a rename. The folder is
    // removed again whatever happens ("unmounted").
    QTemporaryDir volume(QFileInfo(installed.folder).absolutePath() +
                         QStringLiteral("/.Ordella-update-XXXXXX"));
    if (!volume.isValid()) {
        co_return UpdateError::autoUpdate(UpdateError::mountPointMissing,
                                          QStringLiteral("Could not find mount point"));
    }
    const UpdateResult<QStringList> unpacked =
        co_await UpdateArchive::unpack(archive, volume.path(), this, m_configuration.limits);
    if (!self) {
        co_return UpdateError::autoUpdate(UpdateError::mountFailed, QStringLiteral("Failed to mount DMG"));
    }
    if (!unpacked.ok()) {
        co_return unpacked.error();
    }
    QString app;
    for (const QString& name : unpacked.value()) {
        if (InstalledCopy::holdsProgram(volume.filePath(name))) {
            app = volume.filePath(name);
            break;
        }
    }
    if (app.isEmpty()) {
        co_return UpdateError::autoUpdate(UpdateError::appNotFound,
                                          QStringLiteral("Could not find app in DMG"));
    }
    const std::optional<QString> found = InstalledCopy::version(app);
    if (found != version) {
        co_return UpdateError::autoUpdate(UpdateError::wrongVersion,
                                          QStringLiteral("The update reports version \"") +
                                              found.value_or(QString()) + QStringLiteral("\" instead of \"") +
                                              version + u'"');
    }
    InstallSwap swap(installed.folder);
    if (!swap.replace(app)) {
        co_return UpdateError::autoUpdate(UpdateError::replaceFailed,
                                          QStringLiteral("Could not replace the installed copy: ") +
                                              installed.folder);
    }
    if (!volume.remove()) {
        swap.rollback();
        co_return UpdateError::autoUpdate(UpdateError::unmountFailed,
                                          QStringLiteral("Failed to unmount DMG"));
    }
    swap.commit();
    m_installedProgram = QDir(installed.folder).filePath(InstalledCopy::programPath());
    co_return std::nullopt;
}

QCoro::Task<void> AutoUpdateManager::showRestartAlert() {
    QPointer<AutoUpdateManager> self(this);
    const std::shared_ptr<Prompts> prompts = Platform::current().prompts;
    if (!prompts) {
        co_return;
    }
    AlertRequest alert;
    alert.style = AlertRequest::Style::Informational;
    alert.messageText = QStringLiteral("Update Complete");
    alert.informativeText =
        QStringLiteral("The update has been installed successfully. The app will now restart.");
    alert.buttons = {QStringLiteral("Restart Now")};
    const int answer = co_await prompts->showAlert(alert);
    if (self && answer == 0) {
        restartApp();
    }
}

void AutoUpdateManager::restartIntoUpdate() {
    if (m_updateState.kind() == UpdateState::Kind::readyToInstall) {
        restartApp();
    }
}

void AutoUpdateManager::restartApp() {
    QProcess process;
    process.setProgram(m_installedProgram);
    process.setArguments({});
    // The new copy starts while this one is still quitting: it is told whom it replaces, so that
    // it does not hand over to this process as to an instance that is already running.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORDELLA_REPLACES_PID"),
                       QString::number(QCoreApplication::applicationPid()));
    process.setProcessEnvironment(environment);
    if (!m_installedProgram.isEmpty() && process.startDetached() && m_configuration.quit) {
        m_configuration.quit();
    }
}
