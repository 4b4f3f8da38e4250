#pragma once

#include "Services/Coordination/RestoreRun.h"

#include <QString>

// A restore request as the command line prints it: the status in words and the whole request's
// time, the summary, then each application with what was done to it and each of its windows with
// what the first run did and what the later run found on checking. Counts agree with their
// numbers ("1 window").
class RestoreRunText {
public:
    static QString describe(const RestoreRun& run);

    // Text of the desktop and of saved files (titles, names, reasons) as it may reach a terminal:
    // control characters, escape sequences' start included, are replaced, and so are paragraph and
    // line separators and directional overrides, embeddings and isolates, which would reorder what
    // follows them on the line; line feeds stay where asked for, in text made of several lines.
    static QString printable(QString text, bool keepLineBreaks = false);
};
