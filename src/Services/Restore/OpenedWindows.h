#pragma once

#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Platform/RunningApplications.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QUuid>

// Which saved windows the windows a restore step opened belong to, and which documents the restore
// handed over. A window the restore opened for one saved window is never another's, even where it
// bears no clue of its own (a terminal started in a saved folder shows neither the folder nor a
// document). One restore request keeps one (RestoreRequest), which all its passes share.
class OpenedWindows {
public:
    // A live window and what it shows: read only for a window that was not there before.
    struct Shown {
        AXElement window;
        std::optional<QString> document = {};
        std::optional<QString> title = {};
    };
    static QList<Shown> shown(const RunningApplication& app, const QSet<AXElement>& before);

    // The windows among live that were not among before, each for the saved windows (by their ids)
    // of the handed document (handed) it shows: by its document, else by its title (a saved
    // window's title, or the document's file name standing as a word of it). A window that shows
    // none of them, or several alike, is no one's. Only where exactly one handed document is left
    // without a window and exactly one new window shows no document and names none, that window
    // is the document's: a terminal started in a saved folder shows neither the folder nor a title
    // of it, and an application's own window beside it would make two.
    static QHash<AXElement, QSet<QUuid>> forDocuments(const QList<Shown>& live, const QSet<AXElement>& before,
                                                      const QList<WindowSnapshot>& saved,
                                                      const QStringList& handed);
    // The documents among documents that the restore request has not handed to the application
    // yet. A document handed over is not handed again by a later attempt or pass of the same
    // request: its window may come late, or never say which document it shows, and a second
    // hand-over would show it twice. rememberHanded() notes what was handed.
    QStringList notHandedYet(const QString& bundleIdentifier, const QStringList& documents) const;
    void rememberHanded(const QString& bundleIdentifier, const QStringList& documents);
    // Adds what a pass found to what the earlier passes of the restore request found, and gives
    // it all: a later pass, the application running by then, still knows which saved windows the
    // windows an earlier one opened are for.
    QHash<AXElement, QSet<QUuid>> remember(const QHash<AXElement, QSet<QUuid>>& found);

private:
    QHash<AXElement, QSet<QUuid>> m_remembered;
    // Per application, the documents handed (normalised).
    QHash<QString, QSet<QString>> m_handed;
};
