#pragma once

#include "ViewModels/AppInfo.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantList>

class SettingsManager;

// The applications a restore that closes the other applications must leave alone, as chips, and
// the searchable list of installed applications to add one from. Every change goes straight to
// the settings, which store it at once; there is no Save or Cancel step.
//
// Chips and list entries are maps {"bundleIdentifier", "name", "icon"} (icon: a theme name or a
// path, empty for none).
class AppExclusionPickerModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList chips READ chips NOTIFY chipsChanged)
    Q_PROPERTY(bool hasExclusions READ hasExclusions NOTIFY chipsChanged)
    Q_PROPERTY(bool isLoadingApps READ isLoadingApps NOTIFY catalogueChanged)
    Q_PROPERTY(bool isShowingPicker READ isShowingPicker WRITE setShowingPicker NOTIFY isShowingPickerChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY filteredAppsChanged)
    Q_PROPERTY(QVariantList filteredApps READ filteredApps NOTIFY filteredAppsChanged)
    Q_PROPERTY(QString emptySymbol READ emptySymbol NOTIFY filteredAppsChanged)
    Q_PROPERTY(QString emptyText READ emptyText NOTIFY filteredAppsChanged)

public:
    explicit AppExclusionPickerModel(SettingsManager& settings, QObject* parent = nullptr);

    // The catalogue (sorted by name) and whether it is being built.
    void setCatalogue(const QList<AppInfo>& apps, bool isLoading);
    const QList<AppInfo>& availableApps() const { return m_apps; }
    bool isLoadingApps() const { return m_isLoading; }

    // One chip per excluded identifier, in plain order of the identifiers. A chip takes the name
    // and icon of the catalogue's entry; without one it reads "Loading..." while the catalogue is
    // being built and the identifier itself after that.
    QVariantList chips() const;
    bool hasExclusions() const;

    bool isShowingPicker() const { return m_isShowingPicker; }
    // Opening the list starts it with an empty search.
    void setShowingPicker(bool showing);
    // The Add button: opens or closes the list; does nothing while the catalogue is loading.
    Q_INVOKABLE void togglePicker();
    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    Q_INVOKABLE void clearSearch() { setSearchText(QString()); }

    // The catalogue without the excluded applications; with a search, those whose name or else
    // identifier contains it, ignoring case. Catalogue order.
    QList<AppInfo> filteredAppList() const;
    QVariantList filteredApps() const;
    // What the list shows when it is empty.
    QString emptySymbol() const;
    QString emptyText() const;

    // A chip's cross.
    Q_INVOKABLE void remove(const QString& bundleIdentifier);
    // A list entry: excludes the application and closes the list (one per opening).
    Q_INVOKABLE void select(const QString& bundleIdentifier);

signals:
    void chipsChanged();
    void catalogueChanged();
    void isShowingPickerChanged();
    void filteredAppsChanged();

private:
    const AppInfo* find(const QString& bundleIdentifier) const;

    SettingsManager& m_settings;
    QList<AppInfo> m_apps;
    bool m_isLoading = true;
    bool m_isShowingPicker = false;
    QString m_searchText;
};
