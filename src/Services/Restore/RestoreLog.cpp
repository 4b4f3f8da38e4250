#include "Services/Restore/RestoreLog.h"

#include "Extensions/NumberConversion.h"
#include "Services/Storage/AnalysisLogger.h"

void RestoreLog::log(const QString& message) {
    AnalysisLogger::shared().log(QStringLiteral("WorkspaceRestorer"), message);
}

QString RestoreLog::boolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString RestoreLog::frameText(const QRectF& frame) {
    const auto whole = [](double v) { return QString::number(NumberConversion::toInt64(v)); };
    return QStringLiteral("(%1,%2 %3×%4)")
        .arg(whole(frame.x()), whole(frame.y()), whole(frame.width()), whole(frame.height()));
}
