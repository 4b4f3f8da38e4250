#include "Views/Theme.h"

#include "Services/Storage/SettingsManager.h"
#include "ViewModels/WorkspaceColors.h"
#include "Views/DesktopColorScheme.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QQmlEngine>

#include <algorithm>
#include <limits>

namespace {

const QColor kInkLight(0x1d, 0x1d, 0x1f);
const QColor kInkDark(0xf5, 0xf5, 0xf7);

QColor ink(bool dark, qreal opacity) {
    return Theme::alpha(dark ? kInkDark : kInkLight, opacity);
}

} // namespace

Theme::Theme(QObject* parent)
    : QObject(parent)
    , m_desktop(new DesktopColorScheme(this)) {
    connect(&SettingsManager::shared(), &SettingsManager::appThemeChanged, this, &Theme::update);
    connect(m_desktop, &DesktopColorScheme::changed, this, &Theme::update);
    update();
}

Theme::~Theme() = default;

Theme& Theme::shared() {
    // Lives for the whole process; QML takes it without owning it.
    static Theme* instance = new Theme(nullptr);
    return *instance;
}

Theme* Theme::create(QQmlEngine* engine, QJSEngine* scriptEngine) {
    Q_UNUSED(scriptEngine)
    Theme* theme = &shared();
    QQmlEngine::setObjectOwnership(theme, QQmlEngine::CppOwnership);
    Q_UNUSED(engine)
    return theme;
}

void Theme::update() {
    bool dark = false;
    switch (SettingsManager::shared().appTheme()) {
    case AppTheme::dark:
        dark = true;
        break;
    case AppTheme::light:
        dark = false;
        break;
    case AppTheme::system:
        dark = m_desktop->prefersDark();
        break;
    }
    if (dark != m_dark) {
        m_dark = dark;
        emit changed();
    }
}

void Theme::setAnimated(bool animated) {
    if (animated != m_animated) {
        m_animated = animated;
        emit animatedChanged();
    }
}

QColor Theme::primary() const {
    return ink(m_dark, 1.0);
}

QColor Theme::secondary() const {
    return ink(m_dark, m_dark ? 0.6 : 0.55);
}

QColor Theme::tertiary() const {
    return ink(m_dark, m_dark ? 0.36 : 0.32);
}

QColor Theme::quaternary() const {
    return ink(m_dark, m_dark ? 0.2 : 0.16);
}

QColor Theme::accent() const {
    return m_dark ? QColor(0x3d, 0x8b, 0xff) : QColor(0x2f, 0x7c, 0xf6);
}

QColor Theme::windowBackground() const {
    return m_dark ? QColor(0x26, 0x26, 0x2a) : QColor(0xf4, 0xf4, 0xf6);
}

QColor Theme::windowFill() const {
    return m_translucent ? alpha(windowBackground(), windowOpacity()) : windowBackground();
}

void Theme::setTranslucent(bool translucent) {
    if (translucent != m_translucent) {
        m_translucent = translucent;
        emit changed();
    }
}

QColor Theme::shadow() const {
    return QColor(0, 0, 0, m_dark ? 110 : 46);
}

QColor Theme::popoverBackground() const {
    return m_dark ? QColor(0x33, 0x33, 0x38) : QColor(0xfd, 0xfd, 0xfe);
}

QColor Theme::controlBackground() const {
    return m_dark ? QColor(0x1c, 0x1c, 0x1f) : QColor(0xff, 0xff, 0xff);
}

QColor Theme::cardBackground() const {
    return m_dark ? QColor(255, 255, 255, 14) : QColor(255, 255, 255, 190);
}

QColor Theme::red() const {
    return WorkspaceColors::color(QStringLiteral("red"));
}

QColor Theme::orange() const {
    return WorkspaceColors::color(QStringLiteral("orange"));
}

QColor Theme::green() const {
    return WorkspaceColors::color(QStringLiteral("green"));
}

QColor Theme::blue() const {
    return WorkspaceColors::color(QStringLiteral("blue"));
}

QColor Theme::purple() const {
    return WorkspaceColors::color(QStringLiteral("purple"));
}

QColor Theme::namedColor(const QString& name) const {
    if (name == QLatin1String("primary")) {
        return primary();
    }
    if (name == QLatin1String("secondary")) {
        return secondary();
    }
    if (name == QLatin1String("tertiary")) {
        return tertiary();
    }
    if (name == QLatin1String("quaternary")) {
        return quaternary();
    }
    if (name == QLatin1String("accent")) {
        return accent();
    }
    return WorkspaceColors::color(name);
}

QColor Theme::gray() const {
    return WorkspaceColors::gray();
}

QString Theme::fontFamily() const {
    static const QString family = QFontDatabase::hasFamily(QStringLiteral("Inter"))
                                      ? QStringLiteral("Inter")
                                      : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    return family;
}

QString Theme::monospaceFamily() const {
    // The desktop's own choice first. The font configuration does not flag every monospaced font
    // (nor does the family it picks always hold the symbols of a shortcut), so each is judged by how
    // it draws a shortcut's characters.
    static const QString family = [] {
        const QString desktop = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
        QStringList candidates{desktop};
        for (const QString& each : QFontDatabase::families(QFontDatabase::Latin)) {
            if (QFontDatabase::isFixedPitch(each)) {
                candidates << each;
            }
        }
        const QString chosen = monospacedAmong(candidates, shortcutCharacters());
        return chosen.isEmpty() ? desktop : chosen;
    }();
    return family;
}

QString Theme::monospacedAmong(const QStringList& families, const QString& sample) {
    for (const QString& family : families) {
        QFont font(family);
        font.setPixelSize(12);
        // Fallback fonts included: the advances the user sees.
        const QFontMetricsF metrics(font);
        qreal narrowest = std::numeric_limits<qreal>::max();
        qreal widest = 0;
        for (const QChar character : sample) {
            const qreal advance = metrics.horizontalAdvance(character);
            narrowest = std::min(narrowest, advance);
            widest = std::max(widest, advance);
        }
        // Hinting rounds a glyph drawn from a fallback font a little apart.
        if (!sample.isEmpty() && widest <= narrowest * 1.02) {
            return family;
        }
    }
    return QString();
}

QColor Theme::alpha(const QColor& color, qreal opacity) {
    QColor c = color;
    c.setAlphaF(qBound(0.0, color.alphaF() * opacity, 1.0));
    return c;
}

QColor Theme::workspaceColor(const QString& name) {
    return WorkspaceColors::color(name);
}

QColor Theme::gradientStart(int index) {
    return WorkspaceColors::startColor(index);
}

QColor Theme::gradientEnd(int index) {
    return WorkspaceColors::endColor(index);
}
