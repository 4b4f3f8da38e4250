#include "ViewModels/PermissionsModel.h"

#include "Services/Desktop/PermissionManager.h"
#include "ViewModels/PermissionGrants.h"

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
    const PermissionGrants grants = PermissionGrants::read();
    if (grants.accessibility != m_accessibilityGranted ||
        grants.screenRecording != m_screenRecordingGranted) {
        m_accessibilityGranted = grants.accessibility;
        m_screenRecordingGranted = grants.screenRecording;
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
    co_await PermissionGrants::requestScreenRecording();
    if (self) {
        self->refresh();
    }
}
