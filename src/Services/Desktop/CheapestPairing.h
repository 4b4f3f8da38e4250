#pragma once

#include <QList>

#include <optional>

// Pairs the rows of a table with its columns, one to one, as many pairs as can be made, at the
// least total cost of all such pairings (the Hungarian method, in time cubic in the table's
// size). A cell without a cost is a pair that may not be made.
class CheapestPairing {
public:
    CheapestPairing() = delete;

    using Costs = QList<QList<std::optional<qint64>>>;

    // For each row, the column it is paired with, or -1. Every row has as many cells as the
    // first; costs must stay below 2^40 for sums to be exact.
    static QList<qsizetype> pair(const Costs& costs);
};
