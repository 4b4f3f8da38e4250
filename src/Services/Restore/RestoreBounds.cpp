#include "Services/Restore/RestoreBounds.h"

#include "Services/Restore/RestoreLog.h"

RestoreBounds::RestoreBounds(int starts)
    : m_left(starts) {
}

bool RestoreBounds::takeStart(const QString& bundleIdentifier, const QString& step) {
    if (m_left > 0) {
        --m_left;
        ++m_started[bundleIdentifier];
        return true;
    }
    if (!m_refused.contains(bundleIdentifier)) {
        m_refused.insert(bundleIdentifier);
        RestoreLog::log(step + QStringLiteral(": ERROR \u2014 not starting ") + bundleIdentifier +
                        QStringLiteral(": ") + startsRefusal());
    }
    return false;
}

QString RestoreBounds::startsRefusal() {
    return QStringLiteral("Not reopened: one restore starts at most %1 programs and windows, and this one "
                          "had started as many")
        .arg(startsPerRestore);
}

QString RestoreBounds::windowsLeftOut(qsizetype count) {
    return QStringLiteral("%1 more saved windows not reopened: one restore reopens at most %2 windows "
                          "of an application")
        .arg(QString::number(count), QString::number(windowsPerApplication));
}
