#pragma once

#include "Models/AppSnapshot.h"
#include "ViewModels/PreviewBadge.h"

#include <QObject>
#include <QString>
#include <QVariantList>

#include <optional>

// One saved application in the inline preview of a workspace: its name, icon, state badge and
// window count, and what a restore reopens for it: a browser's tabs or an application's documents.
// Read-only; it holds a copy of the application.
class AppRestorePreviewRowModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString appName READ appName CONSTANT)
    Q_PROPERTY(QString bundleIdentifier READ bundleIdentifier CONSTANT)
    Q_PROPERTY(int badge READ badgeKind CONSTANT)
    Q_PROPERTY(int windowCount READ windowCount CONSTANT)
    Q_PROPERTY(Detail detail READ detail CONSTANT)
    // One entry per saved tab of the browser, window by window: {"url", "title" ("Untitled" when
    // the tab has none), "isUntitled", "isMinimized" (its window's state)}.
    Q_PROPERTY(QVariantList tabs READ tabs CONSTANT)
    // The first documentLimit documents: {"id", "name", "isMinimized"}.
    Q_PROPERTY(QVariantList documents READ documents CONSTANT)
    // "+ 3 more files" past the first documentLimit documents; empty otherwise.
    Q_PROPERTY(QString moreFilesText READ moreFilesText CONSTANT)

public:
    // The list under the application's name.
    enum class Detail { None, Tabs, Documents };
    Q_ENUM(Detail)

    struct Document {
        QUuid id;
        QString name;
        bool isMinimized = false;
    };

    static constexpr int documentLimit = 4;

    explicit AppRestorePreviewRowModel(const AppSnapshot& app, QObject* parent = nullptr);

    const AppSnapshot& appSnapshot() const { return m_app; }
    QString appName() const { return m_app.appName; }
    QString bundleIdentifier() const { return m_app.bundleIdentifier; }
    PreviewBadge::Kind badge() const;
    int badgeKind() const { return static_cast<int>(badge()); }
    int windowCount() const { return static_cast<int>(m_app.windowSnapshots.size()); }
    Detail detail() const;
    QVariantList tabs() const;
    QVariantList documents() const;
    QString moreFilesText() const;

    // The windows that show a document readable as an address, in saved order, named by the
    // address's last path component.
    static QList<Document> documentEntries(const AppSnapshot& app);
    // The last path component of the window's document address, when it has one that reads as an
    // address.
    static std::optional<QString> documentName(const WindowSnapshot& window);
    static bool isSupportedBrowser(const QString& bundleIdentifier);

private:
    AppSnapshot m_app;
};
