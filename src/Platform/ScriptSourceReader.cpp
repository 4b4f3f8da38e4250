#include "Platform/ScriptSourceReader.h"

namespace {

bool isNameStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}
bool isNamePart(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

} // namespace

std::optional<QString> ScriptSourceReader::readLiteral(QStringView text, qsizetype& pos) {
    if (pos >= text.size() || text[pos] != QLatin1Char('"')) {
        return std::nullopt;
    }
    QString value;
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('"')) {
            pos = i + 1;
            return value;
        }
        if (c != QLatin1Char('\\')) {
            value.append(c);
            continue;
        }
        if (++i >= text.size()) {
            return std::nullopt;
        }
        switch (text[i].unicode()) {
        case '\\':
            value.append(QLatin1Char('\\'));
            break;
        case '"':
            value.append(QLatin1Char('"'));
            break;
        case 'n':
            value.append(QLatin1Char('\n'));
            break;
        case 'r':
            value.append(QLatin1Char('\r'));
            break;
        case 't':
            value.append(QLatin1Char('\t'));
            break;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<ScriptSourceReader::Captures> ScriptSourceReader::match(QStringView line, QStringView form) {
    Captures captures;
    qsizetype at = 0;
    for (qsizetype f = 0; f < form.size(); ++f) {
        if (form[f] == QLatin1Char('%') && f + 1 < form.size()) {
            const QChar kind = form[++f];
            if (kind == QLatin1Char('s')) {
                auto literal = readLiteral(line, at);
                if (!literal) {
                    return std::nullopt;
                }
                captures.strings.append(*literal);
            } else if (kind == QLatin1Char('n')) {
                const qsizetype start = at;
                if (at < line.size() && line[at] == QLatin1Char('-')) {
                    ++at;
                }
                while (at < line.size() && line[at].isDigit()) {
                    ++at;
                }
                bool ok = false;
                const std::int64_t value = line.mid(start, at - start).toLongLong(&ok);
                if (!ok) {
                    return std::nullopt;
                }
                captures.numbers.append(value);
            } else if (kind == QLatin1Char('v')) {
                const qsizetype start = at;
                if (at >= line.size() || !isNameStart(line[at])) {
                    return std::nullopt;
                }
                while (at < line.size() && isNamePart(line[at])) {
                    ++at;
                }
                captures.names.append(line.mid(start, at - start).toString());
            } else {
                return std::nullopt;
            }
            continue;
        }
        if (at >= line.size() || line[at] != form[f]) {
            return std::nullopt;
        }
        ++at;
    }
    if (at != line.size()) {
        return std::nullopt;
    }
    return captures;
}

std::optional<QStringList> ScriptSourceReader::readStartsWithChain(QStringView text, QStringView variable) {
    const QString head = variable.toString() + QStringLiteral(" starts with ");
    const QString joint = QStringLiteral(" or ");
    QStringList prefixes;
    qsizetype at = 0;
    while (true) {
        if (!text.mid(at).startsWith(head)) {
            return std::nullopt;
        }
        at += head.size();
        auto literal = readLiteral(text, at);
        if (!literal) {
            return std::nullopt;
        }
        prefixes.append(*literal);
        if (at == text.size()) {
            return prefixes;
        }
        if (!text.mid(at).startsWith(joint)) {
            return std::nullopt;
        }
        at += joint.size();
    }
}
