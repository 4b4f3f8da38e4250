#include "Views/UiSetup.h"

#include "Views/Theme.h"

#include <QFont>
#include <QGuiApplication>
#include <QQuickStyle>
#include <QQuickWindow>

void UiSetup::prepare() {
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    // Small texts stay crisp with the platform's glyph rendering.
    QQuickWindow::setTextRenderType(QQuickWindow::NativeTextRendering);
    QFont font = QGuiApplication::font();
    font.setFamily(Theme::shared().fontFamily());
    font.setPixelSize(13);
    QGuiApplication::setFont(font);
}
