#pragma once

#include "Services/Storage/AppTheme.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

class DesktopColorScheme;
class QJSEngine;
class QQmlEngine;

// The look of every Ordella window: light or dark as the settings' theme says ("system" follows
// the desktop's colour scheme), the label colours of the four hierarchy levels, the accent and
// the named colours, the fonts and the timing of hover animations. Views take every colour and
// font from here and never hard-code one.
class Theme : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ dark NOTIFY changed)
    Q_PROPERTY(QColor primary READ primary NOTIFY changed)
    Q_PROPERTY(QColor secondary READ secondary NOTIFY changed)
    Q_PROPERTY(QColor tertiary READ tertiary NOTIFY changed)
    Q_PROPERTY(QColor quaternary READ quaternary NOTIFY changed)
    Q_PROPERTY(QColor accent READ accent NOTIFY changed)
    Q_PROPERTY(QColor windowBackground READ windowBackground NOTIFY changed)
    Q_PROPERTY(qreal windowOpacity READ windowOpacity NOTIFY changed)
    Q_PROPERTY(QColor windowFill READ windowFill NOTIFY changed)
    Q_PROPERTY(QColor shadow READ shadow NOTIFY changed)
    Q_PROPERTY(QColor popoverBackground READ popoverBackground NOTIFY changed)
    Q_PROPERTY(QColor controlBackground READ controlBackground NOTIFY changed)
    Q_PROPERTY(QColor cardBackground READ cardBackground NOTIFY changed)
    Q_PROPERTY(QColor red READ red CONSTANT)
    Q_PROPERTY(QColor orange READ orange CONSTANT)
    Q_PROPERTY(QColor green READ green CONSTANT)
    Q_PROPERTY(QColor blue READ blue CONSTANT)
    Q_PROPERTY(QColor purple READ purple CONSTANT)
    Q_PROPERTY(QColor gray READ gray CONSTANT)
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)
    Q_PROPERTY(QString monospaceFamily READ monospaceFamily CONSTANT)
    Q_PROPERTY(int hoverDuration READ hoverDuration CONSTANT)
    Q_PROPERTY(int springDuration READ springDuration CONSTANT)
    Q_PROPERTY(bool animated READ animated NOTIFY animatedChanged)

public:
    ~Theme() override;

    // The one instance of the process, which QML uses too.
    static Theme* create(QQmlEngine* engine, QJSEngine* scriptEngine);
    static Theme& shared();

    bool dark() const { return m_dark; }
    QColor primary() const;
    QColor secondary() const;
    QColor tertiary() const;
    QColor quaternary() const;
    QColor accent() const;
    QColor windowBackground() const;
    // The window's background lies at this opacity over the desktop.
    qreal windowOpacity() const { return m_dark ? 0.75 : 0.9; }
    // What the menu-bar window's screens lie on: the background at windowOpacity where the desktop
    // composites translucent windows, the opaque background where it does not.
    QColor windowFill() const;
    bool translucent() const { return m_translucent; }
    void setTranslucent(bool translucent);
    QColor shadow() const;
    // Popovers float over the window a shade apart from it.
    QColor popoverBackground() const;
    // Cards and fields stand out from the window on this.
    QColor controlBackground() const;
    // The translucent fill of a settings card, lifted off the window.
    QColor cardBackground() const;
    QColor red() const;
    QColor orange() const;
    QColor green() const;
    QColor blue() const;
    QColor purple() const;
    QColor gray() const;
    QString fontFamily() const;
    // A family that draws every character of a shortcut with the same advance.
    QString monospaceFamily() const;
    // The first of families that draws each character of sample with the same advance, or an empty
    // string.
    static QString monospacedAmong(const QStringList& families, const QString& sample);
    // What shortcuts are written in: the modifier and key names, and the modifier symbols of
    // shortcuts recorded on another system.
    static QString shortcutCharacters() {
        return QStringLiteral("SuperCtrlAltShift+PageDownF12 W.i[;'/]0⌘⌥⌃⇧");
    }
    // The colour emoji font the interface font falls back to.
    static QString emojiFamily() { return QStringLiteral("Noto Color Emoji"); }
    int hoverDuration() const { return 150; }
    int springDuration() const { return 350; }
    // Whether state changes animate; tests that take screenshots switch animations off.
    bool animated() const { return m_animated; }
    void setAnimated(bool animated);

    // color with its alpha multiplied by opacity (0 to 1): the "primary at 4 %" of the designs.
    Q_INVOKABLE static QColor alpha(const QColor& color, qreal opacity);
    // A colour named by a view model: a hierarchy level ("primary" ... "quaternary"), "accent",
    // or a named colour as workspaceColor() knows them.
    Q_INVOKABLE QColor namedColor(const QString& name) const;
    // A workspace colour by its name (gray for an unknown name).
    Q_INVOKABLE static QColor workspaceColor(const QString& name);
    // The start and end colours of one of the 32 workspace colour pairs.
    Q_INVOKABLE static QColor gradientStart(int index);
    Q_INVOKABLE static QColor gradientEnd(int index);

    DesktopColorScheme& desktopColorScheme() { return *m_desktop; }

signals:
    void changed();
    void animatedChanged();

private:
    // Made by shared() alone: QML would build a second theme of its own for a type it can construct,
    // and views would then miss what is set on the shared one (animations switched off, say).
    explicit Theme(QObject* parent = nullptr);
    void update();

    DesktopColorScheme* m_desktop;
    bool m_dark = false;
    bool m_animated = true;
    bool m_translucent = false;
};
