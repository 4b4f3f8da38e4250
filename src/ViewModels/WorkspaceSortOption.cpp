#include "ViewModels/WorkspaceSortOption.h"

QList<WorkspaceSortOption> WorkspaceSortOptions::allCases() {
    return {WorkspaceSortOption::name, WorkspaceSortOption::createdAt, WorkspaceSortOption::updatedAt};
}

QString WorkspaceSortOptions::rawValue(WorkspaceSortOption option) {
    switch (option) {
    case WorkspaceSortOption::name:
        return QStringLiteral("Name");
    case WorkspaceSortOption::createdAt:
        return QStringLiteral("Date Created");
    case WorkspaceSortOption::updatedAt:
        break;
    }
    return QStringLiteral("Last Modified");
}

QString WorkspaceSortOptions::symbol(WorkspaceSortOption option) {
    switch (option) {
    case WorkspaceSortOption::name:
        return QStringLiteral("textformat");
    case WorkspaceSortOption::createdAt:
        return QStringLiteral("calendar");
    case WorkspaceSortOption::updatedAt:
        break;
    }
    return QStringLiteral("clock");
}

std::optional<WorkspaceSortOption> WorkspaceSortOptions::fromRawValue(const QString& raw) {
    for (const WorkspaceSortOption option : allCases()) {
        if (rawValue(option) == raw) {
            return option;
        }
    }
    return std::nullopt;
}

WorkspaceSortOption WorkspaceSortOptions::fromStored(const QString& stored) {
    return fromRawValue(stored).value_or(WorkspaceSortOption::updatedAt);
}
