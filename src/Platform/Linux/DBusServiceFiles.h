#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The session bus's service files: which one the bus starts for a bus name, found as the bus finds
// it. The bus looks through its service folders in order ($XDG_RUNTIME_DIR/dbus-1/services, where
// only a file named after the bus name counts, then $XDG_DATA_HOME's and each of $XDG_DATA_DIRS'
// dbus-1/services, then /usr/share's); the first folder with a file for the name decides. Of several
// files there for one name the bus starts whichever its listing of the folder gives first, the file
// named after the bus name ("<name>.service") no sooner than another: which one runs cannot be told,
// and none is answered. A file past the bus's size limit (128 KiB) is skipped as the bus skips it.
// The files are read once and again only after something changed in those folders.
class DBusServiceFiles {
public:
    DBusServiceFiles() = delete;

    // The bus's largest service file: a larger one is not read, by the bus or here.
    static constexpr qint64 kLargestFile = 128 * 1024;

    // The words of the Exec line of the file the bus starts for busName (empty when the line cannot
    // be read); nothing when no file names it, or when it cannot be told which file the bus takes.
    static std::optional<QStringList> commandLineOf(const QString& busName);
};
