#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The icons and colour pairs a workspace can be shown with, and the rules that derive both from
// the workspace's name until the user picks them.
//
// The name hash is stable across runs (64-bit FNV-1a over the UTF-8 bytes), so a workspace
// without a stored icon or colour looks the same after every start.
class WorkspaceAppearance {
public:
    struct IconCategory {
        QString name;
        QStringList icons;
    };
    // Two colour names; the user interface turns each into the colour of that name.
    struct ColourPair {
        QString first;
        QString second;
        bool operator==(const ColourPair&) const = default;
    };

    static constexpr qsizetype iconCount = 224;
    static constexpr qsizetype gradientCount = 32;

    // 13 categories of symbol names, in the order the icon picker shows them.
    static const QList<IconCategory>& categorizedIcons();
    // Every category's icons concatenated in order: 224 names, repeats kept (the count is the
    // divisor of the icon hash).
    static const QStringList& availableIcons();
    // The 32 colour pairs.
    static const QList<ColourPair>& availableGradients();

    static quint64 nameHash(const QString& name);
    // The icon of a common word found in the title: an exact keyword first, else the longest
    // keyword contained anywhere in it (the earlier one in the table on a tie), else nothing.
    static std::optional<QString> iconForCommonTitle(const QString& title);

    // The icon shown for a workspace: the stored one, else one for a word in the name, else one
    // picked by the name hash.
    static QString resolvedIconName(const std::optional<QString>& iconName, const QString& name);
    // The colour pair index shown for a workspace: the stored index mapped into 0..31 (any
    // value, negative ones too), else one picked by the name hash.
    static qsizetype resolvedGradientIndex(const std::optional<qint64>& gradientIndex, const QString& name);
    static qsizetype gradientIndexInRange(qint64 index);
};
