#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <optional>

// The symbols of the user interface: every symbol name the views and the stored workspaces use
// (the 224 workspace icons among them) mapped to a glyph of the Material Icons font. The stored
// names stay as they are in the workspace files; only their drawing goes through this table.
class Symbols : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)

public:
    struct Glyph {
        const char16_t* symbol;
        // The font's name for the glyph (its ligature), for readers of the table.
        const char16_t* ligature;
        char32_t codepoint;
    };

    // Holds no state: each QML engine makes its own.
    using QObject::QObject;

    static QString fontFamily() { return QStringLiteral("Material Icons"); }
    // The glyph of a symbol, or nothing when the table does not know the name.
    static std::optional<char32_t> codepoint(const QString& symbol);
    // The glyph drawn for a name the table does not know.
    static char32_t fallbackCodepoint();
    static const QList<Glyph>& table();

    // The text that draws the symbol in fontFamily (the fallback glyph for unknown names).
    Q_INVOKABLE static QString glyph(const QString& symbol);
};
