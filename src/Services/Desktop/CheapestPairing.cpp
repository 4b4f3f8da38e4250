#include "Services/Desktop/CheapestPairing.h"

#include <algorithm>
#include <limits>
#include <vector>

QList<qsizetype> CheapestPairing::pair(const Costs& costs) {
    const qsizetype rows = costs.size();
    const qsizetype columns = rows == 0 ? 0 : costs.first().size();
    QList<qsizetype> result(rows, -1);
    if (rows == 0 || columns == 0) {
        return result;
    }
    // A square table with a forbidden pair priced above any pairing of allowed ones, so that the
    // cheapest full pairing makes the most allowed pairs first; padding cells cost nothing.
    const qsizetype n = std::max(rows, columns);
    qint64 highest = 0;
    for (const auto& row : costs) {
        for (const std::optional<qint64>& cell : row) {
            highest = std::max(highest, cell.value_or(0));
        }
    }
    const qint64 forbidden = (highest + 1) * (n + 1);
    const auto cost = [&](qsizetype r, qsizetype c) -> qint64 {
        if (r >= rows || c >= columns) {
            return 0;
        }
        return costs[r][c].value_or(forbidden);
    };
    // Potentials u (rows) and v (columns), 1-based with 0 as the free start; way[c] is the column
    // before c on the shortest path found.
    const qint64 infinity = std::numeric_limits<qint64>::max() / 4;
    std::vector<qint64> u(size_t(n + 1), 0);
    std::vector<qint64> v(size_t(n + 1), 0);
    std::vector<qsizetype> rowOf(size_t(n + 1), 0);
    std::vector<qsizetype> way(size_t(n + 1), 0);
    for (qsizetype r = 1; r <= n; ++r) {
        rowOf[0] = r;
        qsizetype column = 0;
        std::vector<qint64> least(size_t(n + 1), infinity);
        std::vector<bool> used(size_t(n + 1), false);
        do {
            used[size_t(column)] = true;
            const qsizetype row = rowOf[size_t(column)];
            qint64 delta = infinity;
            qsizetype next = 0;
            for (qsizetype c = 1; c <= n; ++c) {
                if (used[size_t(c)]) {
                    continue;
                }
                const qint64 reduced = cost(row - 1, c - 1) - u[size_t(row)] - v[size_t(c)];
                if (reduced < least[size_t(c)]) {
                    least[size_t(c)] = reduced;
                    way[size_t(c)] = column;
                }
                if (least[size_t(c)] < delta) {
                    delta = least[size_t(c)];
                    next = c;
                }
            }
            for (qsizetype c = 0; c <= n; ++c) {
                if (used[size_t(c)]) {
                    u[size_t(rowOf[size_t(c)])] += delta;
                    v[size_t(c)] -= delta;
                } else {
                    least[size_t(c)] -= delta;
                }
            }
            column = next;
        } while (rowOf[size_t(column)] != 0);
        do {
            const qsizetype previous = way[size_t(column)];
            rowOf[size_t(column)] = rowOf[size_t(previous)];
            column = previous;
        } while (column != 0);
    }
    for (qsizetype c = 1; c <= n; ++c) {
        const qsizetype r = rowOf[size_t(c)] - 1;
        if (r >= 0 && r < rows && c - 1 < columns && costs[r][c - 1]) {
            result[r] = c - 1;
        }
    }
    return result;
}
