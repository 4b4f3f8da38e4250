#pragma once

#include "Services/Coordination/RestoreStatusNotifier.h"

#include <QList>

#include <functional>

// Records every restore status post made while it lives; onPost, when set, sees each one too.
class StatusPostRecorder {
public:
    StatusPostRecorder() {
        m_connection = QObject::connect(&RestoreStatusNotifier::shared(),
                                        &RestoreStatusNotifier::workspaceRestoreStatusChanged,
                                        [this](const WorkspaceRestoreStatus& status) {
                                            posts << status;
                                            if (onPost) {
                                                onPost(status);
                                            }
                                        });
    }
    ~StatusPostRecorder() { QObject::disconnect(m_connection); }
    StatusPostRecorder(const StatusPostRecorder&) = delete;
    StatusPostRecorder& operator=(const StatusPostRecorder&) = delete;

    QList<WorkspaceRestoreStatus> posts;
    std::function<void(const WorkspaceRestoreStatus&)> onPost;

private:
    QMetaObject::Connection m_connection;
};
