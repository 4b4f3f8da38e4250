#pragma once

#include "Platform/Linux/DesktopEntries.h"

#include <QList>
#include <QString>
#include <QUrl>

// Starts the application of an identifier (a desktop-file id, or a program by its path) with
// documents. Whoever asks, a document reaches a program only as the hand-over rules allow; a
// folder for a terminal is where it starts, never a word on its command line.
class ApplicationStart {
public:
    ApplicationStart() = delete;

    // The processes started, or why nothing (more) was: a refused document starts nothing.
    static DesktopEntries::Launch start(const QString& identifier, const QList<QUrl>& documents,
                                        bool activates);
};
