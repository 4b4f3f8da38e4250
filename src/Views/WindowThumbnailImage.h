#pragma once

#include "Views/RoundedPaintedItem.h"

class WindowThumbnailLoader;

// The live picture of one window, filling the item (cropped, never letterboxed) and clipped to its
// rounded shape. It asks for the picture once, when it is first shown with its pid and window
// index, at twice the view's width (viewSize); isLoading and hasThumbnail tell the view what to
// show meanwhile.
class WindowThumbnailImage : public RoundedPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int pid MEMBER m_pid NOTIFY sourceChanged)
    Q_PROPERTY(int windowIndex MEMBER m_windowIndex NOTIFY sourceChanged)
    Q_PROPERTY(qreal viewSize MEMBER m_viewSize NOTIFY sourceChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY stateChanged)
    Q_PROPERTY(bool hasThumbnail READ hasThumbnail NOTIFY stateChanged)

public:
    explicit WindowThumbnailImage(QQuickItem* parent = nullptr);

    bool isLoading() const;
    bool hasThumbnail() const;

    void paint(QPainter* painter) override;

signals:
    void sourceChanged();
    void stateChanged();

protected:
    void componentComplete() override;

private:
    int m_pid = 0;
    int m_windowIndex = 0;
    qreal m_viewSize = 0;
    WindowThumbnailLoader* m_loader;
};
