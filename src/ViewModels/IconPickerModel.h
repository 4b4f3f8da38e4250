#pragma once

#include "Models/WorkspaceAppearance.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>

// The icon picker: the catalogue of workspace symbols in its 13 categories, narrowed by a search
// over the symbol names, with the current symbol marked. A click reports the symbol through
// iconSelected; the picker never closes itself and never offers "no icon".
class IconPickerModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(QString currentIcon READ currentIcon NOTIFY currentIconChanged)
    // One entry per category shown: {"title": upper-case-free display title, "icons": [names]}.
    Q_PROPERTY(QVariantList categories READ categories NOTIFY searchTextChanged)
    Q_PROPERTY(bool isEmpty READ isEmpty NOTIFY searchTextChanged)

public:
    explicit IconPickerModel(QObject* parent = nullptr);

    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    const QString& currentIcon() const { return m_currentIcon; }
    void setCurrentIcon(const QString& icon);

    // The categories left by a search: all of them for an empty text; otherwise, in catalogue
    // order, each category with the symbols whose name contains the lower-cased text (no
    // trimming), and only categories that keep a symbol.
    static QList<WorkspaceAppearance::IconCategory> filteredCategories(const QString& searchText);
    QVariantList categories() const;
    bool isEmpty() const { return m_filtered.isEmpty(); }

    // A click on a symbol.
    Q_INVOKABLE void select(const QString& icon);
    // The clear button of the search field.
    Q_INVOKABLE void clearSearch() { setSearchText(QString()); }

signals:
    void iconSelected(const QString& icon);
    void searchTextChanged();
    void currentIconChanged();

private:
    QString m_searchText;
    QString m_currentIcon;
    QList<WorkspaceAppearance::IconCategory> m_filtered;
};
