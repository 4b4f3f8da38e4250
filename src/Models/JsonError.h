#pragma once

#include <QString>

// Why a record could not be turned into JSON or read back from it: where (the chain of keys and
// list positions, e.g. "appSnapshots[0].windowSnapshots[2].frame.x") and what went wrong.
struct JsonError {
    QString path;
    QString message;

    // The text shown to a user or printed: the place, then the reason.
    QString description() const { return path.isEmpty() ? message : path + QStringLiteral(": ") + message; }
};
