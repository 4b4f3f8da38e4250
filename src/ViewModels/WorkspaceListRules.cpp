#include "ViewModels/WorkspaceListRules.h"

#include "ViewModels/WorkspaceSortOption.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

QList<Workspace> WorkspaceListRules::filteredWorkspaces(const QList<Workspace>& stored,
                                                        const QString& storedSortOption,
                                                        const QString& searchText) {
    QList<Workspace> list = stored;
    switch (WorkspaceSortOptions::fromStored(storedSortOption)) {
    case WorkspaceSortOption::name: {
        // The order a file manager sorts names in: letter case aside, numbers by value.
        // The C locale's collation compares code points only; natural order needs a language.
        const QLocale locale = QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
        QCollator collator(locale);
        collator.setNumericMode(true);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::stable_sort(list.begin(), list.end(), [&collator](const Workspace& a, const Workspace& b) {
            return collator.compare(a.name, b.name) < 0;
        });
        break;
    }
    case WorkspaceSortOption::createdAt:
        std::stable_sort(list.begin(), list.end(),
                         [](const Workspace& a, const Workspace& b) { return a.createdAt > b.createdAt; });
        break;
    case WorkspaceSortOption::updatedAt:
        std::stable_sort(list.begin(), list.end(),
                         [](const Workspace& a, const Workspace& b) { return a.updatedAt > b.updatedAt; });
        break;
    }
    if (searchText.isEmpty()) {
        return list;
    }
    list.removeIf([&searchText](const Workspace& w) { return !w.matches(searchText); });
    return list;
}

double WorkspaceListRules::dynamicPopoverHeight(bool panelOpen, qsizetype storedCount,
                                                qsizetype listedCount) {
    if (panelOpen) {
        return panelHeight;
    }
    if (storedCount == 0) {
        return emptyStoreHeight;
    }
    const double height = double(listedCount) * rowHeight + chromeHeight;
    return std::min(std::max(height, panelHeight), maximumHeight);
}
