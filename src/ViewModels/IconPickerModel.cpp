#include "ViewModels/IconPickerModel.h"

#include "Extensions/LocalizationManager.h"

#include <QVariantMap>

IconPickerModel::IconPickerModel(QObject* parent)
    : QObject(parent)
    , m_filtered(filteredCategories(QString())) {
}

void IconPickerModel::setSearchText(const QString& text) {
    if (text != m_searchText) {
        m_searchText = text;
        m_filtered = filteredCategories(text);
        emit searchTextChanged();
    }
}

void IconPickerModel::setCurrentIcon(const QString& icon) {
    if (icon != m_currentIcon) {
        m_currentIcon = icon;
        emit currentIconChanged();
    }
}

QList<WorkspaceAppearance::IconCategory> IconPickerModel::filteredCategories(const QString& searchText) {
    const QList<WorkspaceAppearance::IconCategory>& catalogue = WorkspaceAppearance::categorizedIcons();
    if (searchText.isEmpty()) {
        return catalogue;
    }
    const QString query = searchText.toLower();
    QList<WorkspaceAppearance::IconCategory> result;
    for (const WorkspaceAppearance::IconCategory& category : catalogue) {
        QStringList kept;
        for (const QString& icon : category.icons) {
            if (icon.toLower().contains(query)) {
                kept.append(icon);
            }
        }
        if (!kept.isEmpty()) {
            result.append({category.name, kept});
        }
    }
    return result;
}

QVariantList IconPickerModel::categories() const {
    QVariantList list;
    for (const WorkspaceAppearance::IconCategory& category : m_filtered) {
        list.append(QVariantMap{{QStringLiteral("title"), LocalizationManager::iconCategory(category.name)},
                                {QStringLiteral("icons"), category.icons}});
    }
    return list;
}

void IconPickerModel::select(const QString& icon) {
    emit iconSelected(icon);
}
