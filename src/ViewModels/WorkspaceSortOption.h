#pragma once

#include <QList>
#include <QString>

#include <optional>

// How the menu-bar window orders the saved workspaces. The choice is stored as its raw value in
// the "workspaceSortOption" setting, whose default ("updatedAt") names no option.
enum class WorkspaceSortOption { name, createdAt, updatedAt };

class WorkspaceSortOptions {
public:
    // Every option, in the order the sort menu lists them.
    static QList<WorkspaceSortOption> allCases();
    // "Name", "Date Created", "Last Modified": stored and shown as they are.
    static QString rawValue(WorkspaceSortOption option);
    // The symbol of the option's menu row.
    static QString symbol(WorkspaceSortOption option);
    // The option whose raw value is exactly raw (letter case included).
    static std::optional<WorkspaceSortOption> fromRawValue(const QString& raw);
    // The option a stored text stands for: any text that names none means updatedAt.
    static WorkspaceSortOption fromStored(const QString& stored);
};
