#pragma once

#include "Models/SnapshotRect.h"
#include "Platform/Clock.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// Window bounds as scripts write them: {left, top, right, bottom} in whole points.
struct ScriptBounds {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;

    // "{left, top, right, bottom}"
    QString text() const;
    bool operator==(const ScriptBounds&) const = default;
};

// The pieces every automation script of the system is built from.
class ScriptText {
public:
    // Makes saved text (a URL, a folder path, a prefix) safe to put between double quotes in a
    // script: backslashes doubled, then quotes escaped, then line feeds, carriage returns and
    // tabs removed. The order matters: the backslash added before a quote is not doubled again.
    static QString escape(const QString& text);
    // The escaped text between double quotes.
    static QString quoted(const QString& text);
    // The bounds of a frame (right = x + width, bottom = y + height, summed in floating point and
    // truncated toward zero); nothing when a value is not finite or does not fit the integers.
    static std::optional<ScriptBounds> bounds(const SnapshotRect& frame);
    // Lines joined by single line feeds, none after the last.
    static QString join(const QStringList& lines);
    // The start of a script for the logs: at most 120 characters, line feeds shown as blanks,
    // then "...".
    static QString preview(const QString& source);
    // A time-out as the logs print it: "10.0".
    static QString seconds(Clock::Duration duration);
};
