#include "Services/Restore/OpenedWindows.h"

#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Desktop/WindowMatcher.h"

#include <QUrl>

#include <algorithm>

namespace {

// A handed document and the saved windows that showed it.
struct HandedDocument {
    QString key;
    QString fileName;
    QStringList titles;
    QSet<QUuid> owners;
};

// Whether name stands in title as a word of its own: "notes.txt" names "notes.txt - Editor", not
// "mynotes.txt".
bool namedIn(const QString& title, const QString& name) {
    if (name.isEmpty()) {
        return false;
    }
    for (qsizetype at = title.indexOf(name); at >= 0; at = title.indexOf(name, at + 1)) {
        const qsizetype end = at + name.size();
        if ((at == 0 || !title[at - 1].isLetterOrNumber()) &&
            (end == title.size() || !title[end].isLetterOrNumber())) {
            return true;
        }
    }
    return false;
}

// The documents a title speaks for: those with a saved window of that very title, else those whose
// file name it names, the longest (a window of "notes.txt.bak" names "notes.txt" too).
QList<const HandedDocument*> namedBy(const QString& title, const QList<HandedDocument>& documents) {
    QList<const HandedDocument*> exact;
    QList<const HandedDocument*> longest;
    for (const HandedDocument& document : documents) {
        if (!title.isEmpty() && document.titles.contains(title)) {
            exact.append(&document);
        }
        if (!namedIn(title, document.fileName)) {
            continue;
        }
        if (!longest.isEmpty() && longest.first()->fileName.size() < document.fileName.size()) {
            longest.clear();
        }
        if (longest.isEmpty() || longest.first()->fileName.size() == document.fileName.size()) {
            longest.append(&document);
        }
    }
    return exact.isEmpty() ? longest : exact;
}

} // namespace

QList<OpenedWindows::Shown> OpenedWindows::shown(const RunningApplication& app,
                                                 const QSet<AXElement>& before) {
    QList<Shown> result;
    for (const AXElement& window : AXWindowService::axWindowList(app).value_or(QList<AXElement>())) {
        Shown entry{window, std::nullopt, std::nullopt};
        if (!before.contains(window)) {
            entry.document = AXAttributeReader::string(window, QStringLiteral("AXDocument"));
            entry.title = AXAttributeReader::string(window, QStringLiteral("AXTitle"));
        }
        result.append(entry);
    }
    return result;
}

QHash<AXElement, QSet<QUuid>> OpenedWindows::forDocuments(const QList<Shown>& live,
                                                          const QSet<AXElement>& before,
                                                          const QList<WindowSnapshot>& saved,
                                                          const QStringList& handed) {
    QList<HandedDocument> documents;
    for (const WindowSnapshot& window : saved) {
        if (!window.documentURL || window.documentURL->isEmpty() || !handed.contains(*window.documentURL)) {
            continue;
        }
        const QString key = WindowMatcher::normalizeDocumentURL(*window.documentURL);
        const auto same = [&key](const HandedDocument& d) { return d.key == key; };
        if (std::none_of(documents.cbegin(), documents.cend(), same)) {
            documents.append(HandedDocument{key, QUrl(*window.documentURL).fileName(), {}, {}});
        }
        HandedDocument& document = *std::find_if(documents.begin(), documents.end(), same);
        document.owners.insert(window.id);
        if (window.windowTitle && !window.windowTitle->isEmpty()) {
            document.titles.append(*window.windowTitle);
        }
    }
    QHash<AXElement, QSet<QUuid>> result;
    QSet<QString> served;
    QList<AXElement> speechless;
    for (const Shown& window : live) {
        if (before.contains(window.window)) {
            continue;
        }
        const bool showsDocument = window.document && !window.document->isEmpty();
        QList<const HandedDocument*> named;
        if (showsDocument) {
            // A window on another document is the application's own.
            const QString key = WindowMatcher::normalizeDocumentURL(*window.document);
            for (const HandedDocument& document : documents) {
                if (document.key == key) {
                    named.append(&document);
                }
            }
        } else {
            named = namedBy(window.title.value_or(QString()), documents);
            if (named.isEmpty()) {
                speechless.append(window.window);
            }
        }
        // A title that names several documents alike speaks for none of them.
        const HandedDocument* document = named.size() == 1 ? named.first() : nullptr;
        if (document) {
            result.insert(window.window, document->owners);
            served.insert(document->key);
        }
    }
    QList<const HandedDocument*> unserved;
    for (const HandedDocument& document : documents) {
        if (!served.contains(document.key)) {
            unserved.append(&document);
        }
    }
    if (speechless.size() == 1 && unserved.size() == 1) {
        result.insert(speechless.first(), unserved.first()->owners);
    }
    return result;
}

QStringList OpenedWindows::notHandedYet(const QString& bundleIdentifier, const QStringList& documents) const {
    const QSet<QString> before = m_handed.value(bundleIdentifier);
    QStringList result;
    for (const QString& document : documents) {
        if (!before.contains(WindowMatcher::normalizeDocumentURL(document))) {
            result.append(document);
        }
    }
    return result;
}

void OpenedWindows::rememberHanded(const QString& bundleIdentifier, const QStringList& documents) {
    for (const QString& document : documents) {
        m_handed[bundleIdentifier].insert(WindowMatcher::normalizeDocumentURL(document));
    }
}

QHash<AXElement, QSet<QUuid>> OpenedWindows::remember(const QHash<AXElement, QSet<QUuid>>& found) {
    m_remembered.insert(found);
    return m_remembered;
}
