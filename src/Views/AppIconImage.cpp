#include "Views/AppIconImage.h"

#include "Platform/Platform.h"
#include "Platform/RunningApplications.h"

QImage AppIconImage::iconFor(const QString& bundleIdentifier) {
    const std::shared_ptr<RunningApplications> apps = Platform::current().runningApplications;
    if (!apps || bundleIdentifier.isEmpty() || !apps->urlForApplication(bundleIdentifier)) {
        return QImage();
    }
    return apps->icon(bundleIdentifier);
}

void AppIconImage::setBundleIdentifier(const QString& bundleIdentifier) {
    if (bundleIdentifier == m_bundleIdentifier) {
        return;
    }
    m_bundleIdentifier = bundleIdentifier;
    m_icon = iconFor(bundleIdentifier);
    emit bundleIdentifierChanged();
    update();
}

void AppIconImage::paint(QPainter* painter) {
    paintFilling(painter, m_icon);
}
