#pragma once

// A rectangle in points. Window frames use global coordinates with the origin at the top left of
// the primary display; display frames use screen coordinates with the origin at the bottom left.
struct SnapshotRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const SnapshotRect&) const = default;
};
