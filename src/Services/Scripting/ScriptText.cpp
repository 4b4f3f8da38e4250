#include "Services/Scripting/ScriptText.h"

#include "Extensions/NumberConversion.h"

#include <QTextBoundaryFinder>

QString ScriptBounds::text() const {
    return QStringLiteral("{%1, %2, %3, %4}")
        .arg(QString::number(left), QString::number(top), QString::number(right), QString::number(bottom));
}

QString ScriptText::escape(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    escaped.remove(QLatin1Char('\n'));
    escaped.remove(QLatin1Char('\r'));
    escaped.remove(QLatin1Char('\t'));
    return escaped;
}

QString ScriptText::quoted(const QString& text) {
    return QLatin1Char('"') + escape(text) + QLatin1Char('"');
}

std::optional<ScriptBounds> ScriptText::bounds(const SnapshotRect& frame) {
    const auto left = NumberConversion::exactInt64(frame.x);
    const auto top = NumberConversion::exactInt64(frame.y);
    const auto right = NumberConversion::exactInt64(frame.x + frame.width);
    const auto bottom = NumberConversion::exactInt64(frame.y + frame.height);
    if (!left || !top || !right || !bottom) {
        return std::nullopt;
    }
    return ScriptBounds{*left, *top, *right, *bottom};
}

QString ScriptText::join(const QStringList& lines) {
    return lines.join(QLatin1Char('\n'));
}

QString ScriptText::preview(const QString& source) {
    // Counted in characters as the user sees them, so that a cut never splits a character made of
    // several code units (an emoji in a URL, say).
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, source);
    qsizetype end = 0;
    for (int n = 0; n < 120 && end >= 0 && end < source.size(); ++n) {
        end = characters.toNextBoundary();
    }
    QString start = source.left(end < 0 ? source.size() : end);
    start.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return start + QStringLiteral("...");
}

QString ScriptText::seconds(Clock::Duration duration) {
    return QString::number(static_cast<double>(duration.count()) / 1000.0, 'f', 1);
}
