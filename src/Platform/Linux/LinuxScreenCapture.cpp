#include "Platform/Linux/LinuxScreenCapture.h"

#include "Platform/Linux/LinuxRunningApplications.h"

#include <xcb/composite.h>

LinuxScreenCapture::LinuxScreenCapture(std::shared_ptr<X11Windows> windows,
                                       std::shared_ptr<X11Monitors> monitors, std::shared_ptr<Clock> clock,
                                       std::shared_ptr<LinuxRunningApplications> applications)
    : m_windows(std::move(windows))
    , m_monitors(std::move(monitors))
    , m_clock(std::move(clock))
    , m_applications(std::move(applications)) {
    xcb_connection_t* c = m_windows->connection().xcb();
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_composite_id);
    if (ext && ext->present) {
        // Naming a window's pixmap came with version 0.2.
        const auto version = m_windows->connection().reply(xcb_composite_query_version_reply,
                                                           xcb_composite_query_version(c, 0, 4));
        m_hasComposite = version && (version->major_version > 0 || version->minor_version >= 2);
    }
}

void LinuxScreenCapture::redirectWindows() {
    if (m_redirectedAt || !m_hasComposite) {
        return;
    }
    X11Connection& x = m_windows->connection();
    // Every child of the root (the managers' frames), now and later. This fails harmlessly when a
    // compositing manager holds them already: they have pixmaps of their own then.
    x.discard(xcb_composite_redirect_subwindows_checked(x.xcb(), x.root(), XCB_COMPOSITE_REDIRECT_AUTOMATIC));
    x.flush();
    m_redirectedAt = m_clock->now();
}

QCoro::Task<bool> LinuxScreenCapture::requestAccess() {
    co_return m_hasComposite;
}

QCoro::Task<ShareableContent> LinuxScreenCapture::shareableContent(bool excludeDesktopWindows,
                                                                   bool onScreenWindowsOnly) {
    ShareableContent content;
    if (!m_hasComposite) {
        content.error = QStringLiteral("The X server does not offer the Composite extension.");
        co_return content;
    }
    redirectWindows();
    const QPoint origin = m_monitors->primaryOrigin();
    const std::optional<quint32> desktop = m_windows->currentDesktop();
    const QList<X11Client> windows = m_windows->stackedClients();
    const QHash<qint32, qint32> owners =
        m_applications ? m_applications->applicationPids(windows) : QHash<qint32, qint32>();
    for (const X11Client& window : windows) {
        if (onScreenWindowsOnly && !window.isOnScreen(desktop)) {
            continue;
        }
        if (excludeDesktopWindows && window.type == X11Client::Type::Desktop) {
            continue;
        }
        std::optional<qint32> owner = window.pid;
        if (owner) {
            owner = owners.value(*owner, *owner);
        }
        content.windows.append(
            ShareableWindow{window.window, owner, QRectF(window.frameRect().translated(-origin))});
    }
    co_return content;
}

QCoro::Task<WindowCapture> LinuxScreenCapture::captureWindow(quint32 windowNumber, QSize pixelSize,
                                                             bool scalesToFit) {
    redirectWindows();
    // Held across the wait: the clock must outlive it.
    const std::shared_ptr<Clock> clock = m_clock;
    if (m_redirectedAt && clock->now() - *m_redirectedAt < SettleTime) {
        co_await clock->sleep(
            std::chrono::duration_cast<Clock::Duration>(SettleTime - (clock->now() - *m_redirectedAt)));
    }
    co_return capture(windowNumber, pixelSize, scalesToFit);
}

WindowCapture LinuxScreenCapture::capture(quint32 windowNumber, QSize pixelSize, bool scalesToFit) {
    WindowCapture result;
    const std::optional<X11Client> window = m_windows->client(windowNumber);
    if (!m_hasComposite) {
        result.error = QStringLiteral("The X server does not offer the Composite extension.");
    } else if (!window) {
        result.error = QStringLiteral("The window is no longer available.");
    } else if (window->minimized || !window->viewable) {
        result.error = QStringLiteral("The window is not on screen.");
    } else if (pixelSize.isEmpty()) {
        result.error = QStringLiteral("The capture size is empty.");
    }
    if (result.error) {
        return result;
    }
    X11Connection& x = m_windows->connection();
    xcb_connection_t* c = x.xcb();
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_generic_error_t* nameError =
        xcb_request_check(c, xcb_composite_name_window_pixmap_checked(c, window->frame, pixmap));
    if (nameError) {
        std::free(nameError);
        result.error = QStringLiteral("The window cannot be captured.");
        return result;
    }
    QString error;
    QImage image = pixmapImage(pixmap, error);
    x.discard(xcb_free_pixmap_checked(c, pixmap));
    x.flush();
    if (image.isNull()) {
        result.error = error;
        return result;
    }
    // Some managers' frame windows are larger than the frame drawn (mutter keeps invisible resize
    // borders around it): the picture is what the user sees as the window.
    const QRect visible = visibleArea(*window, image.size());
    if (visible != image.rect()) {
        image = image.copy(visible);
    }
    if (image.size() != pixelSize) {
        image = image.scaled(pixelSize, scalesToFit ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }
    result.image = image;
    return result;
}

QRect LinuxScreenCapture::visibleArea(const X11Client& window, const QSize& pixmapSize) {
    X11Connection& x = m_windows->connection();
    const auto origin = x.reply(xcb_translate_coordinates_reply,
                                xcb_translate_coordinates(x.xcb(), window.frame, x.root(), 0, 0));
    const auto geometry = x.reply(xcb_get_geometry_reply, xcb_get_geometry(x.xcb(), window.frame));
    const QRect all(QPoint(0, 0), pixmapSize);
    if (!origin || !geometry) {
        return all;
    }
    // A window's pixmap holds its border too.
    const QPoint pixmapOrigin(origin->dst_x - geometry->border_width, origin->dst_y - geometry->border_width);
    const QRect visible = window.frameRect().translated(-pixmapOrigin).intersected(all);
    return visible.isEmpty() ? all : visible;
}

QImage LinuxScreenCapture::pixmapImage(xcb_pixmap_t pixmap, QString& error) {
    xcb_connection_t* c = m_windows->connection().xcb();
    const auto geometry = m_windows->connection().reply(xcb_get_geometry_reply, xcb_get_geometry(c, pixmap));
    if (!geometry || geometry->width == 0 || geometry->height == 0) {
        error = QStringLiteral("The window cannot be captured.");
        return QImage();
    }
    const auto reply = m_windows->connection().reply(
        xcb_get_image_reply,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, 0, geometry->width, geometry->height, ~0u));
    const int width = geometry->width;
    const int height = geometry->height;
    // True colour at 32 bits a pixel, least significant byte first, is what servers use today.
    const bool lsbFirst = xcb_get_setup(c)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    if (!reply || (reply->depth != 24 && reply->depth != 32) || !lsbFirst ||
        xcb_get_image_data_length(reply.get()) < qint64(width) * height * 4) {
        error = QStringLiteral("The window's pixels are in a format that cannot be read.");
        return QImage();
    }
    const uchar* data = xcb_get_image_data(reply.get());
    if (reply->depth == 32) {
        // A window with an alpha channel (an ARGB visual) holds premultiplied pixels.
        return QImage(data, width, height, width * 4, QImage::Format_ARGB32_Premultiplied).copy();
    }
    // At depth 24 the fourth byte of each pixel is padding that the server leaves as it was -
    // mostly 0, some bytes where anti-aliased drawing passed. Qt reads that byte of an RGB32 image
    // as opaque 0xFF in some paths and as alpha in others (scaling, drawing into an image with
    // alpha), which showed white as transparent: the window has no alpha, every pixel is opaque.
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const auto* from = reinterpret_cast<const quint32*>(data + qsizetype(y) * width * 4);
        auto* to = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            to[x] = from[x] | 0xFF000000u;
        }
    }
    return image;
}
