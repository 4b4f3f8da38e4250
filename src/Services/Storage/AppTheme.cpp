#include "Services/Storage/AppTheme.h"

#include <QColor>
#include <QGuiApplication>

namespace {

struct Colours {
    QColor window, text, base, alternateBase, button, highlight, highlightedText, link, toolTipBase,
        disabledText, placeholder;
};

QPalette makePalette(const Colours& c) {
    QPalette p;
    p.setColor(QPalette::Window, c.window);
    p.setColor(QPalette::WindowText, c.text);
    p.setColor(QPalette::Base, c.base);
    p.setColor(QPalette::AlternateBase, c.alternateBase);
    p.setColor(QPalette::ToolTipBase, c.toolTipBase);
    p.setColor(QPalette::ToolTipText, c.text);
    p.setColor(QPalette::PlaceholderText, c.placeholder);
    p.setColor(QPalette::Text, c.text);
    p.setColor(QPalette::Button, c.button);
    p.setColor(QPalette::ButtonText, c.text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Link, c.link);
    p.setColor(QPalette::Highlight, c.highlight);
    p.setColor(QPalette::HighlightedText, c.highlightedText);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, c.disabledText);
    }
    return p;
}

} // namespace

QList<AppTheme> AppThemes::allCases() {
    return {AppTheme::system, AppTheme::light, AppTheme::dark};
}

QString AppThemes::rawValue(AppTheme theme) {
    switch (theme) {
    case AppTheme::light:
        return QStringLiteral("light");
    case AppTheme::dark:
        return QStringLiteral("dark");
    case AppTheme::system:
        break;
    }
    return QStringLiteral("system");
}

std::optional<AppTheme> AppThemes::fromRawValue(const QString& raw) {
    for (const AppTheme theme : allCases()) {
        if (rawValue(theme) == raw) {
            return theme;
        }
    }
    return std::nullopt;
}

QPalette AppThemes::palette(AppTheme theme) {
    switch (theme) {
    case AppTheme::light:
        return makePalette({QColor(0xef, 0xef, 0xef), Qt::black, Qt::white, QColor(0xf7, 0xf7, 0xf7),
                            QColor(0xef, 0xef, 0xef), QColor(0x30, 0x8c, 0xc6), Qt::white,
                            QColor(0x00, 0x57, 0xae), QColor(0xff, 0xff, 0xdc), QColor(0xbe, 0xbe, 0xbe),
                            QColor(0x7f, 0x7f, 0x7f)});
    case AppTheme::dark:
        return makePalette({QColor(0x35, 0x35, 0x35), Qt::white, QColor(0x2a, 0x2a, 0x2a),
                            QColor(0x42, 0x42, 0x42), QColor(0x35, 0x35, 0x35), QColor(0x2a, 0x82, 0xda),
                            Qt::white, QColor(0x4a, 0x9e, 0xf0), QColor(0x35, 0x35, 0x35),
                            QColor(0x7f, 0x7f, 0x7f), QColor(0x8a, 0x8a, 0x8a)});
    case AppTheme::system:
        break;
    }
    return QPalette();
}

void AppThemes::apply(AppTheme theme) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return;
    }
    QGuiApplication::setPalette(palette(theme));
}
