#include "Extensions/BidiText.h"

#include <QList>
#include <QStringView>

#include <algorithm>

bool BidiText::isDirectionalFormatting(char32_t c) {
    switch (QChar::direction(c)) {
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirPDF:
    case QChar::DirLRI:
    case QChar::DirRLI:
    case QChar::DirFSI:
    case QChar::DirPDI:
        return true;
    default:
        return false;
    }
}

bool BidiText::isParagraphSeparator(char32_t c) {
    return QChar::direction(c) == QChar::DirB;
}

bool BidiText::affectsNeighbours(const QString& text) {
    for (const char32_t c : QStringView(text).toUcs4()) {
        const QChar::Direction direction = QChar::direction(c);
        if (direction == QChar::DirR || direction == QChar::DirAL || direction == QChar::DirAN ||
            isDirectionalFormatting(c) || isParagraphSeparator(c)) {
            return true;
        }
    }
    return false;
}

QString BidiText::isolated(const QString& text) {
    if (!affectsNeighbours(text)) {
        return text;
    }
    QString result;
    result.reserve(text.size() + 2);
    result += QChar(firstStrongIsolate);
    int open = 0;
    // Every character that matters here lies in the basic plane: a surrogate is copied as it is.
    for (const QChar c : text) {
        const QChar::Direction direction = c.direction();
        if (direction == QChar::DirLRI || direction == QChar::DirRLI || direction == QChar::DirFSI) {
            ++open;
        } else if (direction == QChar::DirPDI) {
            // One without its own opening would close the outer isolate.
            if (open == 0) {
                continue;
            }
            --open;
        } else if (direction == QChar::DirB) {
            result += QChar(QChar::ReplacementCharacter);
            continue;
        }
        result += c;
    }
    // Embeddings and overrides end at the closing isolate by themselves; isolates need theirs.
    result += QString(open + 1, QChar(popDirectionalIsolate));
    return result;
}

QString BidiText::withoutDirectionalFormatting(QString text) {
    for (QChar& c : text) {
        // Every directional formatting character lies in the basic plane.
        if (isDirectionalFormatting(c.unicode())) {
            c = QChar::ReplacementCharacter;
        }
    }
    return text;
}

QString BidiText::escapedForLog(const QString& text) {
    const auto escaped = [](char16_t c) {
        return c < 0x20 || c == u'\\' || (c >= 0x7F && c <= 0x9F) || c == u'\u2028' || c == u'\u2029' ||
               c == u'\u200E' || c == u'\u200F' || c == u'\u061C' || isDirectionalFormatting(c);
    };
    if (std::none_of(text.begin(), text.end(), [&escaped](QChar c) { return escaped(c.unicode()); })) {
        return text;
    }
    QString result;
    result.reserve(text.size() + 16);
    // Every character escaped lies in the basic plane: a surrogate is copied as it is.
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!escaped(u)) {
            result += c;
        } else if (u == u'\\') {
            result += QStringLiteral("\\\\");
        } else if (u == u'\n') {
            result += QStringLiteral("\\n");
        } else if (u == u'\r') {
            result += QStringLiteral("\\r");
        } else if (u == u'\t') {
            result += QStringLiteral("\\t");
        } else {
            result += QStringLiteral("\\u") + QString::number(uint(u), 16).toUpper().rightJustified(4, u'0');
        }
    }
    return result;
}
