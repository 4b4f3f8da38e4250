#include "Platform/Simulated/SimulatedScreenCapture.h"

#include "Platform/Platform.h"
#include "Platform/Simulated/SimulatedDesktop.h"

#include <QGuiApplication>
#include <QPainter>

SimulatedScreenCapture::SimulatedScreenCapture(SimulatedDesktop& desktop)
    : m_desktop(desktop) {
}

void SimulatedScreenCapture::installInto(Platform& platform) {
    platform.screenCapture = std::shared_ptr<ScreenCapture>(this, [](ScreenCapture*) {});
}

QCoro::Task<bool> SimulatedScreenCapture::requestAccess() {
    ++m_requests;
    co_return m_granted;
}

QCoro::Task<ShareableContent> SimulatedScreenCapture::shareableContent(bool excludeDesktopWindows,
                                                                       bool onScreenWindowsOnly) {
    Q_UNUSED(excludeDesktopWindows); // the simulated desktop draws no desktop elements
    ShareableContent content;
    if (!m_granted) {
        content.error = QStringLiteral("The user declined screen recording access.");
        co_return content;
    }
    for (quint32 number : m_desktop.stackingOrder()) {
        const SimulatedDesktop::Window* window = m_desktop.window(number);
        if (!window || (onScreenWindowsOnly && !m_desktop.isVisible(*window))) {
            continue;
        }
        content.windows.append(ShareableWindow{number, window->ownerPid, window->frame});
    }
    co_return content;
}

QColor SimulatedScreenCapture::colourFor(quint32 windowNumber) {
    return QColor::fromHsv(static_cast<int>((windowNumber * 47) % 360), 140, 230);
}

QCoro::Task<WindowCapture> SimulatedScreenCapture::captureWindow(quint32 windowNumber, QSize pixelSize,
                                                                 bool scalesToFit) {
    Q_UNUSED(scalesToFit); // every picture is drawn at the size asked for
    WindowCapture capture;
    const auto failure = m_failures.constFind(windowNumber);
    const auto anyFailure = m_failures.constFind(0);
    const SimulatedDesktop::Window* window = m_desktop.window(windowNumber);
    if (failure != m_failures.cend() || anyFailure != m_failures.cend()) {
        capture.error = failure != m_failures.cend() ? *failure : *anyFailure;
    } else if (!m_granted) {
        capture.error = QStringLiteral("The user declined screen recording access.");
    } else if (!window) {
        capture.error = QStringLiteral("The window is no longer available.");
    } else if (pixelSize.isEmpty()) {
        capture.error = QStringLiteral("The capture size is empty.");
    }
    if (capture.error) {
        co_return capture;
    }
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    const QColor colour = colourFor(windowNumber);
    image.fill(colour);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal w = pixelSize.width();
    const qreal h = pixelSize.height();
    const int bar = std::min(pixelSize.height() / 4, 28);
    painter.fillRect(QRect(0, 0, pixelSize.width(), bar), colour.darker(160));
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && window->title) {
        painter.setPen(Qt::white);
        painter.drawText(QRect(8, 0, pixelSize.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft,
                         *window->title);
    }
    // A page of text lines in the middle, so that a picture cropped to any shape still reads as a
    // window; the window's colour stays around it.
    const QRectF page(w * 0.08, std::max<qreal>(bar, h * 0.2), w * 0.84,
                      h * 0.66 - std::max<qreal>(0, bar - h * 0.2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 225));
    painter.drawRoundedRect(page, std::min(w, h) * 0.02, std::min(w, h) * 0.02);
    painter.setBrush(colour.darker(130));
    const qreal line = page.height() / 9;
    for (int i = 0; i < 6; ++i) {
        const qreal width = page.width() * (i % 3 == 2 ? 0.45 : 0.8 - 0.08 * (i % 2));
        painter.drawRoundedRect(
            QRectF(page.left() + page.width() * 0.08, page.top() + line * (1.2 + 1.2 * i), width, line * 0.5),
            line * 0.25, line * 0.25);
    }
    painter.end();
    capture.image = image;
    co_return capture;
}
