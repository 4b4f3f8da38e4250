#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

// The picture of one window of a running application for a thumbnail view: loading until the
// capture answers, then the picture, or none (the view's placeholder). Without the screen-recording
// permission nothing is asked and there is no picture at once. One load per loader: a view that
// comes back makes a new one.
class WindowThumbnailLoader : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY changed)
    Q_PROPERTY(bool hasThumbnail READ hasThumbnail NOTIFY changed)

public:
    using QObject::QObject;

    bool isLoading() const { return m_isLoading; }
    bool hasThumbnail() const { return !m_thumbnail.isNull(); }
    const QImage& thumbnail() const { return m_thumbnail; }

    // Asks for the window at windowIndex among the application's capturable windows, at twice the
    // view's width (sharp on high-density screens). Later calls do nothing.
    void load(qint32 pid, qint64 windowIndex, double size);

signals:
    void changed();

private:
    QCoro::Task<void> fetch(qint32 pid, qint64 windowIndex, double maxSize);
    void finish(const QImage& thumbnail);

    bool m_started = false;
    bool m_isLoading = true;
    QImage m_thumbnail;
};
