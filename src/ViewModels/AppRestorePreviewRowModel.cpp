#include "ViewModels/AppRestorePreviewRowModel.h"

#include "Extensions/LocalizationManager.h"
#include "Services/Scripting/BrowserNames.h"

#include <QUrl>

#include <algorithm>

AppRestorePreviewRowModel::AppRestorePreviewRowModel(const AppSnapshot& app, QObject* parent)
    : QObject(parent)
    , m_app(app) {
}

bool AppRestorePreviewRowModel::isSupportedBrowser(const QString& bundleIdentifier) {
    return BrowserNames::supportedBrowsers().contains(bundleIdentifier);
}

PreviewBadge::Kind AppRestorePreviewRowModel::badge() const {
    // What a restore reopens (tabs, documents) says more than the state, so those rows go bare.
    if (isSupportedBrowser(m_app.bundleIdentifier) || m_app.hasDocumentWindows()) {
        return PreviewBadge::Kind::None;
    }
    if (m_app.isHidden) {
        return PreviewBadge::Kind::Hidden;
    }
    const QList<WindowSnapshot>& windows = m_app.windowSnapshots;
    if (!windows.isEmpty() &&
        std::all_of(windows.begin(), windows.end(), [](const WindowSnapshot& w) { return w.isMinimized; })) {
        return PreviewBadge::Kind::Minimized;
    }
    return PreviewBadge::Kind::None;
}

AppRestorePreviewRowModel::Detail AppRestorePreviewRowModel::detail() const {
    if (isSupportedBrowser(m_app.bundleIdentifier)) {
        return Detail::Tabs;
    }
    return m_app.hasDocumentWindows() ? Detail::Documents : Detail::None;
}

QVariantList AppRestorePreviewRowModel::tabs() const {
    QVariantList lines;
    if (detail() != Detail::Tabs) {
        return lines;
    }
    for (const WindowSnapshot& window : m_app.windowSnapshots) {
        for (const TabSnapshot& tab : window.tabSnapshots) {
            const bool untitled = tab.title.value_or(QString()).isEmpty();
            lines.append(QVariantMap{
                {QStringLiteral("url"), tab.url},
                {QStringLiteral("title"), untitled ? LocalizationManager::untitled() : *tab.title},
                {QStringLiteral("isUntitled"), untitled},
                {QStringLiteral("isMinimized"), window.isMinimized}});
        }
    }
    return lines;
}

std::optional<QString> AppRestorePreviewRowModel::documentName(const WindowSnapshot& window) {
    if (!window.hasDocument()) {
        return std::nullopt;
    }
    const QUrl url(*window.documentURL, QUrl::StrictMode);
    if (!url.isValid()) {
        return std::nullopt;
    }
    // The last component of the path; a folder's trailing slash does not count.
    QString path = url.path();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path == QStringLiteral("/") ? path : path.section(QLatin1Char('/'), -1);
}

QList<AppRestorePreviewRowModel::Document>
AppRestorePreviewRowModel::documentEntries(const AppSnapshot& app) {
    QList<Document> entries;
    for (const WindowSnapshot& window : app.windowSnapshots) {
        if (const std::optional<QString> name = documentName(window)) {
            entries.append(Document{window.id, *name, window.isMinimized});
        }
    }
    return entries;
}

QVariantList AppRestorePreviewRowModel::documents() const {
    QVariantList lines;
    if (detail() != Detail::Documents) {
        return lines;
    }
    for (const Document& d : documentEntries(m_app).mid(0, documentLimit)) {
        lines.append(QVariantMap{{QStringLiteral("id"), d.id.toString(QUuid::WithoutBraces)},
                                 {QStringLiteral("name"), d.name},
                                 {QStringLiteral("isMinimized"), d.isMinimized}});
    }
    return lines;
}

QString AppRestorePreviewRowModel::moreFilesText() const {
    if (detail() != Detail::Documents) {
        return {};
    }
    const qsizetype beyond = documentEntries(m_app).size() - documentLimit;
    return beyond > 0 ? QStringLiteral("+ ") + QString::number(beyond) + QStringLiteral(" more files")
                      : QString();
}
