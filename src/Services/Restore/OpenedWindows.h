#pragma once

#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QUuid>

// Which saved windows the windows a restore step opened belong to. A window the restore opened for
// one saved window is never another's, even where it bears no clue of its own (a terminal started
// in a saved folder shows neither the folder nor a document).
class OpenedWindows {
public:
    OpenedWindows() = delete;

    // The windows among live that were not among before, each for the saved windows whose
    // documents (handed) the step handed over, by their ids. Nothing when no document was handed,
    // or when more windows came than documents were handed: the application then opened windows of
    // its own too, which cannot be told from the documents' windows.
    static QHash<AXElement, QSet<QUuid>> forDocuments(const QList<AXElement>& live,
                                                      const QSet<AXElement>& before,
                                                      const QList<WindowSnapshot>& saved,
                                                      const QStringList& handed);
    // Adds what a pass found to what the earlier passes of the restore request found, and gives
    // it all: a later pass, the application running by then, still knows which saved windows the
    // windows an earlier one opened are for. forget() begins a new request.
    static QHash<AXElement, QSet<QUuid>> remember(const QHash<AXElement, QSet<QUuid>>& found);
    static void forget();

private:
    static QHash<AXElement, QSet<QUuid>>& remembered();
};
