#pragma once

#include "Services/Desktop/WindowMatcher.h"

#include <QList>

#include <functional>
#include <limits>
#include <optional>

// One possible pair of a saved and a live window, and the clue it rests on.
struct WindowMatchCandidate {
    int snapshotIndex = 0;
    qint64 axIndex = 0;
    WindowMatchQuality quality = WindowMatchQuality::none;
    AXElement axElement;
    std::optional<double> geometryDistance;
    // How close the live window stands to the saved one apart from its clue, which decides
    // between windows that match equally well (two windows with one title).
    double nearness = std::numeric_limits<double>::infinity();
};

// Picks pairs among the candidates, each saved and each live window in one pair at most; taken
// is told of every pair in the order they are taken.
class WindowMatchAssignment {
public:
    WindowMatchAssignment() = delete;

    using Taken = std::function<void(const WindowMatchCandidate&)>;

    // The candidates in their order.
    static WindowMatcher::Matches inOrder(const QList<WindowMatchCandidate>& sorted, const Taken& taken);
    // Clue by clue, as sorted (the best clue first). Frames pair in their order (nearest first)
    // and list positions too; among windows that another clue matches equally well (two windows
    // with one title), the pairing whose frames stand nearest their saved ones in sum is taken, so
    // a survivor is never moved onto the place of a closed twin.
    static WindowMatcher::Matches byClues(const QList<WindowMatchCandidate>& sorted, const Taken& taken);
};
