#include "ViewModels/UpdateBannerModel.h"

#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Services/Update/AutoUpdateManager.h"

using Kind = UpdateState::Kind;

UpdateBannerModel::UpdateBannerModel(AutoUpdateManager& updater, QObject* parent)
    : QObject(parent)
    , m_updater(&updater) {
    connect(&updater, &AutoUpdateManager::updateStateChanged, this, &UpdateBannerModel::stateChanged);
    connect(&updater, &AutoUpdateManager::remoteVersionChanged, this, &UpdateBannerModel::changed);
}

UpdateBannerModel::Control UpdateBannerModel::controlFor(Kind state) {
    switch (state) {
    case Kind::updateAvailable:
    case Kind::idle:
    case Kind::noUpdateAvailable:
    case Kind::readyToInstall:
        return Control::button;
    case Kind::downloading:
    case Kind::installing:
        return Control::progress;
    case Kind::error:
        return Control::errorWithButton;
    case Kind::checking:
    case Kind::failedAfterRetry:
        break;
    }
    return Control::none;
}

QString UpdateBannerModel::buttonTitleFor(Kind state) {
    switch (controlFor(state)) {
    case Control::button:
    case Control::errorWithButton:
        break;
    case Control::none:
    case Control::progress:
        return {};
    }
    if (state == Kind::updateAvailable) {
        return QStringLiteral("Download");
    }
    if (state == Kind::readyToInstall) {
        return QStringLiteral("Install Update");
    }
    return QStringLiteral("Check for Updates");
}

QString UpdateBannerModel::progressTextFor(Kind state) {
    if (state == Kind::downloading) {
        return QStringLiteral("Downloading...");
    }
    if (state == Kind::installing) {
        return QStringLiteral("Installing...");
    }
    return {};
}

QString UpdateBannerModel::versionLine() const {
    const std::optional<QString> version = m_updater ? m_updater->remoteVersion() : std::nullopt;
    return version ? QStringLiteral("Latest Version: ") + *version : QString();
}

UpdateBannerModel::Control UpdateBannerModel::control() const {
    return m_updater ? controlFor(m_updater->updateState().kind()) : Control::none;
}

QString UpdateBannerModel::buttonTitle() const {
    return m_updater ? buttonTitleFor(m_updater->updateState().kind()) : QString();
}

QString UpdateBannerModel::progressText() const {
    return m_updater ? progressTextFor(m_updater->updateState().kind()) : QString();
}

QString UpdateBannerModel::errorMessage() const {
    return m_updater ? m_updater->updateState().message() : QString();
}

void UpdateBannerModel::performButtonAction() {
    if (!m_updater) {
        return;
    }
    switch (m_updater->updateState().kind()) {
    case Kind::updateAvailable:
        m_updater->downloadAndInstallUpdate();
        break;
    case Kind::idle:
    case Kind::noUpdateAvailable:
    case Kind::error:
        // Not a manual check: its outcome may raise the banner again.
        m_updater->checkForUpdates(true, true, false);
        break;
    case Kind::readyToInstall:
        // The updater offers the restart itself once the update is in place.
    case Kind::checking:
    case Kind::downloading:
    case Kind::installing:
    case Kind::failedAfterRetry:
        break;
    }
}

void UpdateBannerModel::dismiss() {
    if (m_updater) {
        if (const std::optional<QString> version = m_updater->remoteVersion()) {
            AutoUpdateManager::rememberDismissedVersion(*version);
        }
    }
    setShown(false);
}

void UpdateBannerModel::windowAppeared() {
    if (m_updater && raises(m_updater->updateState().kind(), false)) {
        setShown(true);
    }
}

void UpdateBannerModel::stateChanged() {
    emit changed();
    const Kind kind = m_updater->updateState().kind();
    if (kind == Kind::updateAvailable || kind == Kind::error) {
        raiseLater(kind);
    }
}

QCoro::Task<void> UpdateBannerModel::raiseLater(Kind kind) {
    QPointer<UpdateBannerModel> self(this);
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    co_await clock->sleep(Clock::seconds(raiseDelaySeconds));
    // Decided with the values of this moment, for the kind of state that was reached.
    if (self && self->raises(kind, true)) {
        self->setShown(true);
    }
}

bool UpdateBannerModel::raises(Kind kind, bool honourManualCheck) const {
    if (!m_updater || (honourManualCheck && m_updater->isManualCheck())) {
        return false;
    }
    if (kind == Kind::error) {
        return true;
    }
    const std::optional<QString> version = m_updater->remoteVersion();
    return kind == Kind::updateAvailable && version && !AutoUpdateManager::wasVersionDismissed(*version);
}

void UpdateBannerModel::setShown(bool shown) {
    if (m_isShown != shown) {
        m_isShown = shown;
        emit isShownChanged();
    }
}
