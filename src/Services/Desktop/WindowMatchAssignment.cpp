#include "Services/Desktop/WindowMatchAssignment.h"

#include "Services/Desktop/CheapestPairing.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

// Windows that match equally well are paired for the least total distance while so many stand on
// either side; a larger crowd of look-alikes is paired nearest first.
constexpr qsizetype kCheapestPairingLimit = 64;
// Distances are compared in whole points up to this far; a window without a frame is this far.
constexpr qint64 kFarthest = 1000000;

// Takes the sorted candidates in order, each saved and each live window at most once.
class Assignment {
public:
    void take(const WindowMatchCandidate& c, const WindowMatchAssignment::Taken& taken) {
        if (!isFree(c)) {
            return;
        }
        taken(c);
        m_usedLive.insert(c.axIndex);
        m_result.insert(c.snapshotIndex,
                        WindowMatchResult{c.axIndex, c.quality, c.axElement, c.geometryDistance});
    }
    bool isFree(const WindowMatchCandidate& c) const {
        return !m_result.contains(c.snapshotIndex) && !m_usedLive.contains(c.axIndex);
    }
    const WindowMatcher::Matches& result() const { return m_result; }

private:
    WindowMatcher::Matches m_result;
    QSet<qint64> m_usedLive;
};

// The candidates of one clue whose windows are all still free, in groups that share a window
// (saved or live) directly or through others: each group is paired on its own.
QList<QList<WindowMatchCandidate>> groupsOf(const QList<WindowMatchCandidate>& tier) {
    QHash<qint64, qsizetype> groupOfSaved;
    QHash<qint64, qsizetype> groupOfLive;
    QList<qsizetype> parent;
    const auto root = [&parent](qsizetype g) {
        while (parent[g] != g) {
            g = parent[g] = parent[parent[g]];
        }
        return g;
    };
    QList<qsizetype> groupOfWindowMatchCandidate;
    for (const WindowMatchCandidate& c : tier) {
        const auto saved = groupOfSaved.constFind(c.snapshotIndex);
        const auto live = groupOfLive.constFind(c.axIndex);
        qsizetype g = 0;
        if (saved == groupOfSaved.constEnd() && live == groupOfLive.constEnd()) {
            g = parent.size();
            parent.append(g);
        } else if (saved == groupOfSaved.constEnd() || live == groupOfLive.constEnd()) {
            g = root(saved != groupOfSaved.constEnd() ? saved.value() : live.value());
        } else {
            g = root(saved.value());
            parent[root(live.value())] = g;
        }
        groupOfSaved.insert(c.snapshotIndex, g);
        groupOfLive.insert(c.axIndex, g);
        groupOfWindowMatchCandidate.append(g);
    }
    QList<QList<WindowMatchCandidate>> groups;
    QHash<qsizetype, qsizetype> place;
    for (qsizetype i = 0; i < tier.size(); ++i) {
        const qsizetype g = root(groupOfWindowMatchCandidate[i]);
        if (!place.contains(g)) {
            place.insert(g, groups.size());
            groups.append(QList<WindowMatchCandidate>());
        }
        groups[place.value(g)].append(tier[i]);
    }
    return groups;
}

// One group's candidates in the order they are taken: the pairing with the least total distance,
// the earlier saved window with the earlier live one among pairings equally near.
QList<WindowMatchCandidate> cheapestFirst(const QList<WindowMatchCandidate>& group) {
    QList<qint64> saved;
    QList<qint64> live;
    for (const WindowMatchCandidate& c : group) {
        if (!saved.contains(c.snapshotIndex)) {
            saved.append(c.snapshotIndex);
        }
        if (!live.contains(c.axIndex)) {
            live.append(c.axIndex);
        }
    }
    if (saved.size() == 1 || live.size() == 1 || saved.size() > kCheapestPairingLimit ||
        live.size() > kCheapestPairingLimit) {
        QList<WindowMatchCandidate> nearestFirst = group;
        std::stable_sort(nearestFirst.begin(), nearestFirst.end(),
                         [](const WindowMatchCandidate& a, const WindowMatchCandidate& b) {
                             return a.nearness < b.nearness;
                         });
        return nearestFirst;
    }
    std::sort(saved.begin(), saved.end());
    std::sort(live.begin(), live.end());
    // Whole points first; within equal totals, the pairing that keeps the two orders alike (the
    // largest sum of rank products) is the cheaper by less than one point.
    const qint64 rows = saved.size();
    const qint64 columns = live.size();
    const qint64 ranks = rows * columns;
    const qint64 scale = ranks * std::min(rows, columns) + 1;
    CheapestPairing::Costs costs(rows, QList<std::optional<qint64>>(columns));
    QHash<std::pair<qint64, qint64>, WindowMatchCandidate> byPair;
    for (const WindowMatchCandidate& c : group) {
        const qint64 r = saved.indexOf(c.snapshotIndex);
        const qint64 k = live.indexOf(c.axIndex);
        const qint64 distance =
            std::isfinite(c.nearness) ? std::min(kFarthest, qint64(std::llround(c.nearness))) : kFarthest;
        costs[r][k] = distance * scale + (ranks - r * k);
        byPair.insert({r, k}, c);
    }
    QList<WindowMatchCandidate> ordered;
    const QList<qsizetype> pairs = CheapestPairing::pair(costs);
    for (qsizetype r = 0; r < pairs.size(); ++r) {
        if (pairs[r] >= 0) {
            ordered.append(byPair.value({r, pairs[r]}));
        }
    }
    return ordered;
}

} // namespace

WindowMatcher::Matches WindowMatchAssignment::inOrder(const QList<WindowMatchCandidate>& sorted,
                                                      const Taken& taken) {
    Assignment assignment;
    for (const WindowMatchCandidate& c : sorted) {
        assignment.take(c, taken);
    }
    return assignment.result();
}

WindowMatcher::Matches WindowMatchAssignment::byClues(const QList<WindowMatchCandidate>& sorted,
                                                      const Taken& taken) {
    Assignment assignment;
    for (qsizetype begin = 0; begin < sorted.size();) {
        const WindowMatchQuality quality = sorted[begin].quality;
        qsizetype end = begin;
        QList<WindowMatchCandidate> tier;
        for (; end < sorted.size() && sorted[end].quality == quality; ++end) {
            if (assignment.isFree(sorted[end])) {
                tier.append(sorted[end]);
            }
        }
        begin = end;
        if (quality == WindowMatchQuality::geometry || quality == WindowMatchQuality::indexFallback) {
            for (const WindowMatchCandidate& c : tier) {
                assignment.take(c, taken);
            }
            continue;
        }
        for (const QList<WindowMatchCandidate>& group : groupsOf(tier)) {
            for (const WindowMatchCandidate& c : cheapestFirst(group)) {
                assignment.take(c, taken);
            }
        }
    }
    return assignment.result();
}
