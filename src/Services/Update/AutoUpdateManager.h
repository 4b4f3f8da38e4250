#pragma once

#include "Platform/Clock.h"
#include "Services/Update/UpdateError.h"
#include "Services/Update/UpdateLimits.h"
#include "Services/Update/UpdateState.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTemporaryDir>
#include <QVariant>

#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

// Keeps Ordella up to date from its update server: a version check at start-up and once a day,
// and on request the download of the offered version's archive (tried once more after a failure),
// its installation over the running copy and a restart. Every outcome is published through
// updateState; failures never leave the object as errors. Main thread only.
//
// Updates are fetched over https only; plain http is accepted for loopback addresses alone, so a
// local test server can stand in for the real one. An archive is installed only when the signature
// the version document gives for it verifies with the build's public key. Without a version
// address (the default build) there are no updates at all: nothing is checked or downloaded, and
// Ordella is updated by whatever installed it.
class AutoUpdateManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(UpdateState updateState READ updateState NOTIFY updateStateChanged)
    // The version the server named last; undefined before the first successful check.
    Q_PROPERTY(QVariant remoteVersion READ remoteVersionValue NOTIFY remoteVersionChanged)
    Q_PROPERTY(
        bool showUpdateDialog READ showUpdateDialog WRITE setShowUpdateDialog NOTIFY showUpdateDialogChanged)
    Q_PROPERTY(bool isManualCheck READ isManualCheck NOTIFY isManualCheckChanged)
    // Whether this build checks for updates at all (it names an update server).
    Q_PROPERTY(bool updatesEnabled READ updatesEnabled CONSTANT)
public:
    // Where the updater looks and what it acts on.
    struct Configuration {
        // The version endpoint: a JSON object whose "version" names the newest version and whose
        // "signature" holds that version archive's signature. Empty: no updates.
        QString versionCheckURL;
        // The address to which a version and ".tar.gz" are appended to fetch its archive.
        QString downloadBase;
        // The product's web page: the download address while no version is known.
        QString productPageURL;
        // The Ed25519 public key that update archives are signed with: 32 bytes in base64.
        QString publicKey;
        // The running program, from which the installed copy is found.
        QString executablePath;
        // The running version; none makes every check find nothing newer.
        std::optional<QString> localVersion;
        // Ends the application once the new copy has been started.
        std::function<void()> quit;
        // How big and how slow an update may be.
        UpdateLimits limits;

        // The addresses Ordella was built with, this process's program and version, and the
        // application's own quit.
        static Configuration defaults();
    };

    static constexpr int maxUpdateAttempts = 2;
    static constexpr double checkIntervalSeconds = 86400;
    // Whether the user turned down the offer of this version for good (the update banner's dismiss
    // button), and remembering that they did. Kept in the user settings, never forgotten.
    static bool wasVersionDismissed(const QString& version);
    static void rememberDismissedVersion(const QString& version);
    // The downloaded archive's name in the updater's private temporary folder.
    static QString downloadFileName();

    explicit AutoUpdateManager(Configuration configuration = Configuration::defaults(),
                               QObject* parent = nullptr);
    ~AutoUpdateManager() override;

    // The process-wide instance, made on first use.
    static AutoUpdateManager& shared();

    UpdateState updateState() const { return m_updateState; }
    std::optional<QString> remoteVersion() const { return m_remoteVersion; }
    bool showUpdateDialog() const { return m_showUpdateDialog; }
    void setShowUpdateDialog(bool show);
    bool isManualCheck() const { return m_isManualCheck; }
    const QString& versionCheckURL() const { return m_configuration.versionCheckURL; }
    bool updatesEnabled() const { return !m_configuration.versionCheckURL.isEmpty(); }
    // Download and installation failures since the last download request.
    int updateAttempts() const { return m_updateAttempts; }
    // The archive waiting to be installed; empty when there is none.
    const QString& downloadedFilePath() const { return m_downloadedFilePath; }
    // The offered version's archive, or the product page while no version is known.
    QString downloadURL() const;

    // Starts (or restarts) the daily check; its first check comes one interval from now. Does
    // nothing without updates.
    void startPeriodicChecks();
    // Asks the server for the newest version; the outcome arrives in the published state. Does
    // nothing without updates.
    Q_INVOKABLE void checkForUpdates(bool showDialog, bool forceShow, bool isManualCheck);
    // Downloads, installs and offers to restart into the offered version; does nothing unless an
    // update is available (or while an installation is running).
    Q_INVOKABLE void downloadAndInstallUpdate();
    // Once an update is installed (readyToInstall), starts the new copy and quits, as the restart
    // alert's button does; for when that alert was dismissed. Does nothing in any other state.
    Q_INVOKABLE void restartIntoUpdate();

    // Whether remote names a later version than local: both must read as exactly three numbers.
    static bool isRemoteVersionNewer(const std::optional<QString>& local, const QString& remote);
    // The address as a URL when updates may be fetched from it: https, or http on a loopback
    // address; an empty URL otherwise.
    static QUrl secureUrl(const QString& address);

signals:
    void updateStateChanged();
    void remoteVersionChanged();
    void showUpdateDialogChanged();
    void isManualCheckChanged();

private:
    QVariant remoteVersionValue() const;
    void setUpdateState(const UpdateState& state);
    void setRemoteVersion(const QString& version);

    // Starts a request that ends, at the latest, after deadline.
    QNetworkReply* get(const QUrl& url, std::chrono::milliseconds deadline, const QString& tooSlow);
    QCoro::Task<void> runCheck(QUrl url, bool showDialog, bool forceShow);
    QCoro::Task<void> hideUpToDateLater();
    void retryDownload();
    void startDownload(bool resetAttempts);
    QCoro::Task<void> runDownload(QUrl url);
    QString downloadTarget();
    // Removes the private download folder with whatever is left in it.
    void dropDownload();
    QCoro::Task<void> installUpdate(QString archive);
    QCoro::Task<std::optional<UpdateError>> performInstall(QString archive, QString version);
    QCoro::Task<void> handleFailure(bool installFailed);
    QCoro::Task<void> showRestartAlert();
    void restartApp();

    Configuration m_configuration;
    UpdateState m_updateState;
    std::optional<QString> m_remoteVersion;
    // The signature the server gave with the version it named last.
    QString m_remoteSignature;
    bool m_showUpdateDialog = false;
    bool m_isManualCheck = false;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_downloadTask;
    // The version whose archive is being downloaded or installed, and its signature.
    QString m_downloadVersion;
    QString m_downloadSignature;
    QString m_downloadedFilePath;
    std::unique_ptr<QTemporaryDir> m_downloadFolder;
    int m_updateAttempts = 0;
    bool m_installRunning = false;
    // The program of the copy installed last, started by the restart.
    QString m_installedProgram;
    ClockTimer m_periodicCheckTimer;
};
