#pragma once

#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Platform/RunningApplications.h"

#include <QList>
#include <QMap>
#include <QRectF>
#include <QSet>
#include <QSizeF>
#include <QString>

#include <optional>

// How a saved window was paired with a live one; a higher value is a better clue.
enum class WindowMatchQuality : int {
    none = 0,
    indexFallback = 1,
    fuzzyTitleAndSize = 2,
    exactTitle = 3,
    documentURL = 4,
    geometry = 5,
    terminalPath = 6,
    // The live window is the very window that was saved (same number, process and process start).
    sameWindow = 7,
};

struct WindowMatchResult {
    // Position of the live window in the application's "AXWindows" list.
    qint64 axIndex = 0;
    WindowMatchQuality quality = WindowMatchQuality::none;
    AXElement axElement;
    std::optional<double> geometryDistance;
};

// Pairs the saved windows of one application with its live windows, one to one, and says how each
// pair was found. The answer maps a saved window's position in the list handed in to its match;
// saved windows without a partner have no entry. Frames on both sides are global, origin at the
// top left of the primary display. Decisions are logged under "WindowMatcher".
class WindowMatcher {
public:
    using Matches = QMap<int, WindowMatchResult>;

    // What is known of the live windows beyond the clues they show. A saved window that takes a
    // window by its list position alone (its own is gone) never takes one whose clues speak against
    // it: one known to be another (otherWindows: a browser window that shows other tabs), or one
    // that was there before (windowsBefore; when not known, any may have been) and shows another
    // document. A window the restore itself opened may still be taken.
    struct Bystanders {
        std::optional<QSet<AXElement>> windowsBefore;
        QSet<AXElement> otherWindows;
    };

    WindowMatcher() = delete;

    // The window saved itself first, then every clue: frame, document, terminal path, title, title
    // and size, list position. Windows that match saved ones equally well by a clue other than the
    // frame are paired so that the frames of all those pairs stand nearest their saved frames in
    // sum (a survivor of two windows with one title keeps its own place).
    static Matches matchWindows(const QList<WindowSnapshot>& snapshots, const RunningApplication& app,
                                const Bystanders& bystanders = {});
    // Frames alone, for windows already put back: closest pairs first, none further than 50.
    static Matches matchWindowsByGeometry(const QList<WindowSnapshot>& snapshots,
                                          const RunningApplication& app);

    static QString qualityName(WindowMatchQuality quality);
    static std::optional<WindowMatchQuality> qualityFromRawValue(int rawValue);

    // The clues' rules, open for tests.
    static double frameDistance(const QRectF& saved, const QRectF& live);
    static QString normalizeDocumentURL(const QString& document);
    static std::optional<QString> extractTerminalPath(const QString& title);
    static bool fuzzyTitleMatch(const QString& a, const QString& b);
    static double sizeSimilarity(const QSizeF& a, const QSizeF& b);
};
