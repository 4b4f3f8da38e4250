#pragma once

#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Platform/RunningApplications.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QRectF>
#include <QSet>
#include <QSizeF>
#include <QString>
#include <QUuid>

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

    // What is known of the live windows beyond the clues they show. A clue that speaks against a
    // pairing forbids it, however strong the clue for it (the very window saved, its frame, its
    // title): a window known to be another (otherWindows: a browser window that shows other tabs),
    // one the restore opened for other saved windows (openedFor, by the saved windows' ids), and
    // one that shows another document (or folder) than the saved one. A saved window that takes a window by
    // its list position alone (its own is gone) also never takes one that was there before
    // (windowsBefore; when not known, any may have been) and shows a document.
    struct Bystanders {
        std::optional<QSet<AXElement>> windowsBefore;
        QSet<AXElement> otherWindows;
        QHash<AXElement, QSet<QUuid>> openedFor;
    };

    WindowMatcher() = delete;

    // The window saved itself first, then every clue: frame, document, terminal path, title, title
    // and size, list position; none of them pairs windows that a clue speaks against (Bystanders). Windows
    // that match saved ones equally well by a clue other than the frame are paired so that the frames of all
    // those pairs stand nearest their saved frames in sum (a survivor of two windows with one title keeps its
    // own place).
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
