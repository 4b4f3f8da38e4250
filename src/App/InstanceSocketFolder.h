#pragma once

#include <QString>

// Where the instance socket lives: a folder only this user may enter and write, so that no other
// user can listen in Ordella's place or answer for it. That is the session's runtime folder when
// it is such a folder; otherwise a folder of Ordella's own, made with mode 700, under the user's
// cache folder, in folders no other user may change (a folder another user may write could have
// Ordella's folder replaced by one of theirs).
class InstanceSocketFolder {
public:
    struct Location {
        // The socket's path; empty when there is no folder Ordella may use.
        QString serverName;
        // Why there is none, to print.
        QString problem;
    };

    // "ordella.socket" (or "ordella-demo.socket") in the folder.
    static Location locate(bool demo);
    // What is wrong with folder as the socket's folder: it must be a folder (not a link) owned by
    // this user that no one else may write, read or enter. Empty when it is fine.
    static QString problemWith(const QString& folder);
    // Ordella's own folder under the cache folder, one per machine (home folders may be shared).
    static QString ownFolder();
};
