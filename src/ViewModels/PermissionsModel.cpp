#include "ViewModels/PermissionsModel.h"

#include "Platform/Accessibility.h"
#include "Platform/Platform.h"
#include "Platform/ScreenCapture.h"
#include "Services/Desktop/PermissionManager.h"

#include <QGuiApplication>
#include <QPointer>

PermissionsModel::PermissionsModel(QObject* parent)
    : QObject(parent) {
    refresh();
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive) {
                applicationBecameActive();
            }
        });
    }
}

void PermissionsModel::refresh() {
    const Platform& platform = Platform::current();
    const bool accessibility = platform.accessibility && platform.accessibility->isProcessTrusted();
    const bool screenRecording = platform.screenCapture && platform.screenCapture->preflightAccess();
    if (accessibility != m_accessibilityGranted || screenRecording != m_screenRecordingGranted) {
        m_accessibilityGranted = accessibility;
        m_screenRecordingGranted = screenRecording;
        emit changed();
    }
}

void PermissionsModel::setWatching(bool watching) {
    m_watching = watching;
}

void PermissionsModel::applicationBecameActive() {
    if (m_watching) {
        refresh();
    }
}

void PermissionsModel::grantAccessibility() {
    PermissionManager::openAccessibilityHelp();
}

void PermissionsModel::grantScreenRecording() {
    requestScreenRecording();
}

QCoro::Task<void> PermissionsModel::requestScreenRecording() {
    QPointer<PermissionsModel> self(this);
    // Held for the whole wait, so the service outlives the answer.
    const std::shared_ptr<ScreenCapture> capture = Platform::current().screenCapture;
    if (!capture) {
        co_return;
    }
    co_await capture->requestAccess();
    if (self) {
        self->refresh();
    }
}
