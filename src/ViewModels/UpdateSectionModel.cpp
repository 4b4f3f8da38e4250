#include "ViewModels/UpdateSectionModel.h"

#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Services/Update/AutoUpdateManager.h"

#include <QPointer>

using Kind = UpdateState::Kind;

UpdateSectionModel::UpdateSectionModel(AutoUpdateManager& updater, QObject* parent)
    : QObject(parent)
    , m_updater(updater) {
    connect(&m_updater, &AutoUpdateManager::updateStateChanged, this, &UpdateSectionModel::stateChanged);
}

UpdateState::Kind UpdateSectionModel::state() const {
    return m_updater.updateState().kind();
}

bool UpdateSectionModel::updatesEnabled() const {
    return m_updater.updatesEnabled();
}

QString UpdateSectionModel::title() const {
    return updatesEnabled() ? QStringLiteral("Check for Updates") : noUpdatesTitle;
}

QString UpdateSectionModel::subtitle() const {
    return updatesEnabled() ? subtitleFor(state(), m_showNoUpdateMessage) : noUpdatesSubtitle;
}

UpdateSectionModel::Control UpdateSectionModel::control() const {
    return updatesEnabled() ? controlFor(state()) : Control::none;
}

QString UpdateSectionModel::subtitleFor(Kind state, bool showNoUpdateMessage) {
    switch (state) {
    case Kind::updateAvailable:
        return QStringLiteral("Update Available");
    case Kind::downloading:
        return QStringLiteral("Downloading...");
    case Kind::installing:
        return QStringLiteral("Installing...");
    default:
        return showNoUpdateMessage ? QStringLiteral("You're up to date!") : QString();
    }
}

UpdateSectionModel::Control UpdateSectionModel::controlFor(Kind state) {
    switch (state) {
    case Kind::checking:
    case Kind::downloading:
        return Control::progressRow;
    case Kind::installing:
        return Control::spinner;
    default:
        return Control::actionButton;
    }
}

QString UpdateSectionModel::actionTitleFor(Kind state) {
    switch (state) {
    case Kind::updateAvailable:
        return QStringLiteral("Download");
    case Kind::readyToInstall:
        return QStringLiteral("Install Update");
    default:
        return QStringLiteral("Check for Updates");
    }
}

QString UpdateSectionModel::progressTextFor(Kind state) {
    switch (state) {
    case Kind::checking:
        return QStringLiteral("Checking for updates...");
    case Kind::downloading:
        return QStringLiteral("Downloading...");
    default:
        return QString();
    }
}

bool UpdateSectionModel::showsReadyRow() const {
    return state() == Kind::readyToInstall;
}

bool UpdateSectionModel::showsErrorRow() const {
    return state() == Kind::error;
}

QString UpdateSectionModel::errorMessage() const {
    return m_updater.updateState().message();
}

void UpdateSectionModel::performAction() {
    switch (state()) {
    case Kind::updateAvailable:
        m_updater.downloadAndInstallUpdate();
        break;
    case Kind::readyToInstall:
        installUpdate();
        break;
    case Kind::checking:
    case Kind::downloading:
    case Kind::installing:
        // No button is shown in these states.
        break;
    default:
        checkForUpdates();
        break;
    }
}

void UpdateSectionModel::checkForUpdates() {
    m_updater.checkForUpdates(true, true, true);
}

void UpdateSectionModel::installUpdate() {
    m_updater.restartIntoUpdate();
}

void UpdateSectionModel::reset() {
    ++m_generation;
    m_showNoUpdateMessage = false;
    emit changed();
}

void UpdateSectionModel::stateChanged() {
    if (state() == Kind::noUpdateAvailable) {
        m_showNoUpdateMessage = true;
        // Every result of no update schedules a reset of its own; none is cancelled.
        hideNoUpdateMessageLater(m_generation);
    }
    emit changed();
}

QCoro::Task<void> UpdateSectionModel::hideNoUpdateMessageLater(int generation) {
    QPointer<UpdateSectionModel> self(this);
    // Held for the whole wait, so the clock outlives the sleep.
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    co_await clock->sleep(Clock::seconds(noUpdateMessageSeconds));
    if (self && self->m_generation == generation && self->m_showNoUpdateMessage) {
        self->m_showNoUpdateMessage = false;
        emit self->changed();
    }
}
