#pragma once

#include <QString>

#include <functional>

// The one sink for printed diagnostics ("[Type.op] ..."). They go to standard output unless a
// test has installed a capture.
class Diagnostics {
public:
    using Sink = std::function<void(const QString&)>;

    static void print(const QString& line);
    // Installs sink (an empty one restores standard output) and returns the one it replaces.
    static Sink setSink(Sink sink);
};
