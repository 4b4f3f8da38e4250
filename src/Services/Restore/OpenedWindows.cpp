#include "Services/Restore/OpenedWindows.h"

QHash<AXElement, QSet<QUuid>> OpenedWindows::forDocuments(const QList<AXElement>& live,
                                                          const QSet<AXElement>& before,
                                                          const QList<WindowSnapshot>& saved,
                                                          const QStringList& handed) {
    QSet<QUuid> owners;
    for (const WindowSnapshot& window : saved) {
        if (window.documentURL && !window.documentURL->isEmpty() && handed.contains(*window.documentURL)) {
            owners.insert(window.id);
        }
    }
    QList<AXElement> opened;
    for (const AXElement& window : live) {
        if (!before.contains(window)) {
            opened.append(window);
        }
    }
    QHash<AXElement, QSet<QUuid>> result;
    if (owners.isEmpty() || opened.size() > owners.size()) {
        return result;
    }
    for (const AXElement& window : opened) {
        result.insert(window, owners);
    }
    return result;
}

QHash<AXElement, QSet<QUuid>>& OpenedWindows::remembered() {
    static QHash<AXElement, QSet<QUuid>> windows;
    return windows;
}

QHash<AXElement, QSet<QUuid>> OpenedWindows::remember(const QHash<AXElement, QSet<QUuid>>& found) {
    remembered().insert(found);
    return remembered();
}

void OpenedWindows::forget() {
    remembered().clear();
}
