#include "Views/UiSetup.h"

#include "Views/Theme.h"

#include <QFont>
#include <QGuiApplication>
#include <QQuickStyle>
#include <QQuickWindow>

void UiSetup::prepare() {
    static bool prepared = false;
    if (prepared) {
        return;
    }
    prepared = true;
    // Ordella's windows are small and mostly still: Qt Quick's software renderer draws them in a
    // few milliseconds, and keeps a graphics driver (tens of megabytes in every process that
    // uses one, more where the desktop renders without a GPU) out of a program that stays in
    // the tray all day. A renderer asked for by name in the environment still wins.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") && qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND")) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    // Small texts stay crisp with the platform's glyph rendering.
    QQuickWindow::setTextRenderType(QQuickWindow::NativeTextRendering);
    // Emoji (in workspace names, titles) come from the colour emoji font, whatever the interface
    // font's own fallbacks would pick.
    QFont::insertSubstitution(Theme::shared().fontFamily(), Theme::emojiFamily());
    QFont font = QGuiApplication::font();
    font.setFamily(Theme::shared().fontFamily());
    font.setPixelSize(13);
    QGuiApplication::setFont(font);
}
