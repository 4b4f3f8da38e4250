#include "Services/Restore/RestoreBounds.h"

#include "Services/Restore/RestoreLog.h"

#include <QRegularExpression>

namespace {

std::shared_ptr<RestoreBounds>& current() {
    static std::shared_ptr<RestoreBounds> bounds = std::make_shared<RestoreBounds>();
    return bounds;
}

} // namespace

RestoreBounds::RestoreBounds(int starts)
    : m_left(starts) {
}

std::shared_ptr<RestoreBounds> RestoreBounds::ofRun() {
    return current();
}

void RestoreBounds::beginRun() {
    current() = std::make_shared<RestoreBounds>();
}

bool RestoreBounds::takeStart(const QString& bundleIdentifier, const QString& step) {
    if (m_left > 0) {
        --m_left;
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
    return QStringLiteral("%1 more saved windows not reopened: one restore brings back at most %2 windows "
                          "of an application")
        .arg(QString::number(count), QString::number(windowsPerApplication));
}

QString RestoreBounds::windowsLeftOutIn(const QString& reason) {
    static const QRegularExpression note(
        QStringLiteral("(?:^|; )(\\d+ more saved windows not reopened: one restore brings back at most "
                       "\\d+ windows of an application)$"));
    return note.match(reason).captured(1);
}
