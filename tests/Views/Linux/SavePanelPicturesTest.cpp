// The save panel on the real X11 desktop: the pictures of real windows (an xterm, an xclock) look
// like the windows in both themes. Rendered to build/screenshots/ for a person to look at.
#include "Support/Views/ViewHarness.h"
#include "Support/X11DesktopTest.h"
#include "ViewModels/SaveWorkspacePanelModel.h"
#include "ViewModels/SelectionRowModel.h"
#include "ViewModels/ThumbnailQueue.h"
#include "Views/Theme.h"

#include <QQuickItem>

namespace {

QQuickItem* descendant(QQuickItem* item, const QString& objectName) {
    QList<QQuickItem*> pending{item};
    while (!pending.isEmpty()) {
        QQuickItem* next = pending.takeFirst();
        if (next != item && next->objectName() == objectName) {
            return next;
        }
        pending = next->childItems() + pending;
    }
    return nullptr;
}

using SavePanelPicturesTest = X11DesktopTest;

TEST_F(SavePanelPicturesTest, PicturesOfRealWindowsLookLikeTheWindowsInBothThemes) {
    ASSERT_TRUE(installProductionPlatform());
    // White areas and black ticks: what went wrong before.
    const qint32 xterm =
        start(QStringLiteral("xterm"), {"-geometry", "70x16+40+40", "-bg", "white", "-fg", "black", "-e",
                                        "sh", "-c", "printf 'Pictures of windows\\n'; exec sleep 600"});
    const qint32 xclock = start(QStringLiteral("xclock"), {"-geometry", "220x220+760+40"});
    waitForWindows(xterm);
    waitForWindows(xclock);

    ViewHarness ui;
    SaveWorkspacePanelModel panel;
    ui.show("SaveWorkspaceInlineView", {{"panel", QVariant::fromValue(&panel)}}, 410);
    panel.appeared();
    ASSERT_TRUE(waitUntil([&] { return !panel.showsLoading(); }, 20000));
    // As high as in the window, where the panel has its height less the margins.
    ui.root()->setImplicitHeight(560);
    ui.settle();

    // The picture of each window's row, once it has arrived.
    const auto picture = [&](const QString& appName) -> QQuickItem* {
        for (QQuickItem* row : ui.items(QStringLiteral("appPreviewRow"))) {
            QQuickItem* name = descendant(row, QStringLiteral("appName"));
            if (name && name->property("text").toString() == appName) {
                return descendant(row, QStringLiteral("thumbnailPicture"));
            }
        }
        return nullptr;
    };
    // Both pictures shown; a change of theme may lay the rows out again and take them anew.
    const auto bothShown = [&] {
        return waitUntil(
            [&] {
                ui.settle();
                QQuickItem* a = picture(QStringLiteral("XTerm"));
                QQuickItem* b = picture(QStringLiteral("XClock"));
                return a && b && a->property("hasThumbnail").toBool() &&
                       b->property("hasThumbnail").toBool() && ThumbnailQueue::pending() == 0;
            },
            20000);
    };
    ASSERT_TRUE(bothShown());
    ui.screenshots(QStringLiteral("SaveWorkspacePanel-x11"));

    // The xterm's white page shows white, in the light theme and in the dark one.
    for (const AppTheme theme : {AppTheme::light, AppTheme::dark}) {
        ViewHarness::setTheme(theme);
        ASSERT_TRUE(bothShown());
        QQuickItem* page = picture(QStringLiteral("XTerm"));
        const QImage shown = ui.grab();
        const qreal scale = shown.width() / ui.window()->width();
        const QRectF area = page->mapRectToScene(QRectF(0, 0, page->width(), page->height()));
        int white = 0;
        int samples = 0;
        for (int i = 2; i < 9; ++i) {
            const QPointF at(area.left() + area.width() * i / 10, area.top() + area.height() * 0.7);
            const QColor c = shown.pixelColor((at * scale).toPoint());
            white += c.lightness() > 230 ? 1 : 0;
            ++samples;
        }
        EXPECT_GE(white, samples - 2) << (theme == AppTheme::dark ? "dark" : "light");
    }
    ViewHarness::setTheme(AppTheme::light);
}

} // namespace
