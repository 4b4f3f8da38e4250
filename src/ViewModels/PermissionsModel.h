#pragma once

#include <QObject>

#include <qcoro/qcorotask.h>

// Whether the two permissions Ordella uses are granted: access to other applications' windows
// (required) and screen recording (optional, for thumbnails). The states are read from the
// platform when the model is made and on every refresh, never cached beyond that; while watching,
// the model refreshes each time Ordella becomes the active application, which is how a grant made
// elsewhere shows up when the user comes back.
class PermissionsModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY changed)
    Q_PROPERTY(bool screenRecordingGranted READ screenRecordingGranted NOTIFY changed)

public:
    explicit PermissionsModel(QObject* parent = nullptr);

    bool accessibilityGranted() const { return m_accessibilityGranted; }
    bool screenRecordingGranted() const { return m_screenRecordingGranted; }

    // Reads both permissions again; neither read asks the user anything.
    Q_INVOKABLE void refresh();
    // Follows application activation while true (the view is on screen).
    void setWatching(bool watching);
    bool isWatching() const { return m_watching; }
    // Ordella became the active application.
    void applicationBecameActive();

    // The Grant actions. Window access cannot be granted from here on this desktop: the help page
    // says what the desktop must offer. Screen recording asks the platform for access.
    Q_INVOKABLE void grantAccessibility();
    Q_INVOKABLE void grantScreenRecording();
    QCoro::Task<void> requestScreenRecording();

signals:
    void changed();

private:
    bool m_accessibilityGranted = false;
    bool m_screenRecordingGranted = false;
    bool m_watching = false;
};
