#pragma once

#include <QRectF>
#include <QString>

// The restore engine's lines in the restoration analysis log, all under one tag.
class RestoreLog {
public:
    RestoreLog() = delete;

    static void log(const QString& message);
    static QString boolText(bool value);
    // "(100,50 800×600)": each number cut toward zero.
    static QString frameText(const QRectF& frame);
};
