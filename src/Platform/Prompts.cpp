#include "Platform/Prompts.h"

#include <QProcess>
#include <QStandardPaths>

bool Prompts::composeEmail(const EmailDraft& draft) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (tool.isEmpty()) {
        return false;
    }
    // Each text is one argument of its own: nothing in them reaches a shell.
    QStringList arguments{QStringLiteral("--utf8"), QStringLiteral("--subject"), draft.subject,
                          QStringLiteral("--body"), draft.body};
    for (const QString& path : draft.attachments) {
        arguments << QStringLiteral("--attach") << path;
    }
    arguments << draft.recipient;
    return QProcess::startDetached(tool, arguments);
}
