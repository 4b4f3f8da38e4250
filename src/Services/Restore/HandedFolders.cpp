#include "Services/Restore/HandedFolders.h"

bool HandedFolders::take(const QString& bundleIdentifier, const QString& folder) {
    QSet<QString>& folders = m_handed[bundleIdentifier];
    if (folders.contains(folder)) {
        return false;
    }
    folders.insert(folder);
    return true;
}

bool HandedFolders::handed(const QString& bundleIdentifier, const QString& folder) const {
    return m_handed.value(bundleIdentifier).contains(folder);
}
