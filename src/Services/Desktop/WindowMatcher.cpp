#include "Services/Desktop/WindowMatcher.h"

#include "Extensions/NumberConversion.h"
#include "Extensions/RectConversion.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/WindowMatchAssignment.h"
#include "Services/Storage/AnalysisLogger.h"

#include <QSet>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kTag = QStringLiteral("WindowMatcher");
const QString kSeparator = QStringLiteral(" - ");

constexpr double kGeometryLimit = 15.0;
constexpr double kGeometryByFrameLimit = 50.0;
constexpr double kSizeSimilarityLimit = 0.7;

// Lines are built only while a session records them: a large match would otherwise format tens of
// thousands of lines that are thrown away.
class Log {
public:
    Log()
        : m_on(AnalysisLogger::shared().isSessionActive()) {}
    bool on() const { return m_on; }
    void operator()(const QString& line) const { AnalysisLogger::shared().log(kTag, line); }

private:
    bool m_on;
};

QString orNil(const std::optional<QString>& value) {
    return value.value_or(QStringLiteral("nil"));
}

// A coordinate as a whole number, cut toward zero; one that is not finite is shown as it is.
QString whole(double value) {
    return std::isfinite(value) ? QString::number(NumberConversion::toInt64(value)) : QString::number(value);
}

QString frameText(const QRectF& f) {
    return QStringLiteral("(%1,%2 %3×%4)")
        .arg(whole(f.x()), whole(f.y()), whole(f.width()), whole(f.height()));
}

QString distanceText(const std::optional<double>& distance) {
    return distance ? QString::asprintf("%.1f", *distance) : QStringLiteral("n/a");
}

bool present(const std::optional<QString>& value) {
    return value && !value->isEmpty();
}

// A string with its hash, so that most unequal pairs are told apart without comparing text.
struct HashedText {
    QString text;
    size_t hash = 0;

    explicit HashedText(const QString& t)
        : text(t)
        , hash(qHash(t)) {}
    bool operator==(const HashedText& other) const { return hash == other.hash && text == other.text; }
};

// Everything a comparison needs of one title, worked out once per window instead of once per pair.
struct TitleClues {
    std::optional<QString> title;
    std::optional<HashedText> hashedTitle;
    std::optional<QString> terminalPath;
    // The title less its last " - " part; nothing when it has no " - ".
    std::optional<HashedText> remainder;

    explicit TitleClues(const std::optional<QString>& t)
        : title(t) {
        if (!present(t)) {
            return;
        }
        hashedTitle.emplace(*t);
        terminalPath = WindowMatcher::extractTerminalPath(*t);
        const QStringList parts = t->split(kSeparator);
        if (parts.size() > 1) {
            remainder.emplace(parts.mid(0, parts.size() - 1).join(kSeparator));
        }
    }
};

struct Saved {
    const WindowSnapshot* snapshot;
    QRectF frame;
    TitleClues clues;
    std::optional<HashedText> normalizedDocument;
};

struct Live {
    std::optional<WindowIdentity> identity;
    qint64 index = 0;
    AXElement element;
    std::optional<QString> document;
    std::optional<QRectF> frame;
    TitleClues clues{std::nullopt};
    std::optional<HashedText> normalizedDocument;
};

using Candidate = WindowMatchCandidate;

// The application's live windows in "AXWindows" order, each read once; nothing (and the failure
// line) when the list cannot be read. Titles and documents are read only when asked for.
std::optional<QList<Live>> liveWindows(const RunningApplication& app, const QString& failureLine,
                                       const Log& log, bool withText) {
    const std::optional<QList<AXElement>> elements =
        AXAttributeReader::windowList(AXAttributeReader::applicationElement(app.processIdentifier));
    if (!elements) {
        log(failureLine + QString::number(app.processIdentifier));
        return std::nullopt;
    }
    QList<Live> result;
    result.reserve(elements->size());
    for (qsizetype j = 0; j < elements->size(); ++j) {
        Live w;
        w.index = j;
        w.element = elements->at(j);
        w.frame = AXAttributeReader::frame(w.element).frame;
        if (withText) {
            w.clues = TitleClues(AXAttributeReader::string(w.element, QStringLiteral("AXTitle")));
            w.document = AXAttributeReader::string(w.element, QStringLiteral("AXDocument"));
            if (const std::optional<QString> identity =
                    AXAttributeReader::string(w.element, AXName::WindowIdentity)) {
                w.identity = WindowIdentity::fromText(*identity);
            }
            if (present(w.document)) {
                w.normalizedDocument.emplace(WindowMatcher::normalizeDocumentURL(*w.document));
            }
        }
        result.append(std::move(w));
    }
    return result;
}

// Whether one title contains the other; only a longer title can contain a different one.
bool containsEither(const QString& a, const QString& b) {
    if (a.size() == b.size()) {
        return a == b;
    }
    return a.size() > b.size() ? a.contains(b) : b.contains(a);
}

bool fuzzyMatch(const TitleClues& a, const TitleClues& b) {
    if (containsEither(*a.title, *b.title)) {
        return true;
    }
    return a.remainder && b.remainder && *a.remainder == *b.remainder;
}

WindowMatchQuality matchQuality(const Saved& saved, const Live& live, const Log& log) {
    const WindowSnapshot& s = *saved.snapshot;
    if (s.documentURL && !s.documentURL->isEmpty()) {
        if (present(live.document)) {
            if (*saved.normalizedDocument == *live.normalizedDocument) {
                if (log.on()) {
                    log(QStringLiteral("documentURL match: \"%1\"").arg(*s.documentURL));
                }
                return WindowMatchQuality::documentURL;
            }
            if (log.on()) {
                log(QStringLiteral("documentURL mismatch: snapshot=\"%1\" vs ax=\"%2\"")
                        .arg(saved.normalizedDocument->text, live.normalizedDocument->text));
            }
        } else if (log.on()) {
            log(QStringLiteral("documentURL missing in AX: snapshot=\"%1\" ax=\"%2\"")
                    .arg(*s.documentURL, orNil(live.document)));
        }
    }
    if (!present(saved.clues.title) || !present(live.clues.title)) {
        return WindowMatchQuality::none;
    }
    if (saved.clues.terminalPath && live.clues.terminalPath &&
        *saved.clues.terminalPath == *live.clues.terminalPath) {
        if (log.on()) {
            log(QStringLiteral("terminalPath match: \"%1\"").arg(*saved.clues.terminalPath));
        }
        return WindowMatchQuality::terminalPath;
    }
    if (*saved.clues.hashedTitle == *live.clues.hashedTitle) {
        if (log.on()) {
            log(QStringLiteral("exactTitle match: \"%1\"").arg(*saved.clues.title));
        }
        return WindowMatchQuality::exactTitle;
    }
    // The size test is the cheaper one, so it goes first; both must hold.
    if (live.frame) {
        const double ratio = WindowMatcher::sizeSimilarity(saved.frame.size(), live.frame->size());
        if (ratio > kSizeSimilarityLimit && fuzzyMatch(saved.clues, live.clues)) {
            if (log.on()) {
                log(QStringLiteral("fuzzyTitleAndSize match: \"%1\" sizeRatio=%2")
                        .arg(*saved.clues.title, QString::asprintf("%.2f", ratio)));
            }
            return WindowMatchQuality::fuzzyTitleAndSize;
        }
    }
    return WindowMatchQuality::none;
}

// Why the live window is not the saved one, whatever clue pairs them; nothing when nothing speaks
// against it. byPosition: the pairing rests on the list position alone, where a window that was
// there before and shows a document the saved one did not show is the user's too.
std::optional<QString> speaksAgainst(const Saved& saved, const Live& live,
                                     const WindowMatcher::Bystanders& bystanders, bool byPosition) {
    if (bystanders.otherWindows.contains(live.element)) {
        return QStringLiteral("it shows other tabs");
    }
    if (const auto opened = bystanders.openedFor.constFind(live.element);
        opened != bystanders.openedFor.constEnd() && !opened->contains(saved.snapshot->id)) {
        return QStringLiteral("the restore opened it for another saved window");
    }
    if (live.normalizedDocument && saved.normalizedDocument &&
        *saved.normalizedDocument != *live.normalizedDocument) {
        return QStringLiteral("it shows another document");
    }
    const bool wasThere = !bystanders.windowsBefore || bystanders.windowsBefore->contains(live.element);
    if (byPosition && wasThere && live.normalizedDocument && !saved.normalizedDocument) {
        return QStringLiteral("it was there before and shows a document");
    }
    return std::nullopt;
}

// Whether the live window may be paired with the saved one; logs why not.
bool mayPair(int savedIndex, const Saved& saved, const Live& live,
             const WindowMatcher::Bystanders& bystanders, bool byPosition, const Log& log) {
    const std::optional<QString> against = speaksAgainst(saved, live, bystanders, byPosition);
    if (against && log.on()) {
        log(QStringLiteral("snapshot[%1] does not take AX[%2]: %3")
                .arg(QString::number(savedIndex), QString::number(live.index), *against));
    }
    return !against;
}

// A saved window whose list position another saved window's window holds takes a window no
// saved window claimed, the nearest to its saved frame first (the earlier in the list among
// equals). Positions shift whenever a window is raised, and a window started anew for one whose
// process ended bears none of its clues: once it is moved off the saved frame, only this finds it
// again. A position beyond the list still pairs with nothing.
template <typename Accept>
void takeDisplacedPositions(const QList<Saved>& saved, const QList<Live>& live,
                            WindowMatcher::Matches& result, const WindowMatcher::Bystanders& bystanders,
                            const Log& log, const Accept& accept) {
    QSet<qint64> claimed;
    for (const WindowMatchResult& match : std::as_const(result)) {
        claimed.insert(match.axIndex);
    }
    for (int i = 0; i < saved.size(); ++i) {
        const qint64 index = saved[i].snapshot->windowIndex;
        if (result.contains(i) || index < 0 || index >= live.size() || !claimed.contains(index)) {
            continue;
        }
        const Live* nearest = nullptr;
        double nearestDistance = std::numeric_limits<double>::infinity();
        for (const Live& w : live) {
            if (claimed.contains(w.index) || !mayPair(i, saved[i], w, bystanders, true, log)) {
                continue;
            }
            const double distance = w.frame ? WindowMatcher::frameDistance(saved[i].frame, *w.frame)
                                            : std::numeric_limits<double>::infinity();
            if (!nearest || distance < nearestDistance) {
                nearest = &w;
                nearestDistance = distance;
            }
        }
        if (!nearest) {
            continue;
        }
        const WindowMatchCandidate taken{i, nearest->index, WindowMatchQuality::indexFallback,
                                         nearest->element, std::nullopt};
        accept(taken);
        claimed.insert(nearest->index);
        result.insert(i, WindowMatchResult{nearest->index, taken.quality, nearest->element, std::nullopt});
    }
}

} // namespace

QString WindowMatcher::qualityName(WindowMatchQuality quality) {
    switch (quality) {
    case WindowMatchQuality::none:
        return QStringLiteral("none");
    case WindowMatchQuality::indexFallback:
        return QStringLiteral("indexFallback");
    case WindowMatchQuality::fuzzyTitleAndSize:
        return QStringLiteral("fuzzyTitleAndSize");
    case WindowMatchQuality::exactTitle:
        return QStringLiteral("exactTitle");
    case WindowMatchQuality::documentURL:
        return QStringLiteral("documentURL");
    case WindowMatchQuality::geometry:
        return QStringLiteral("geometry");
    case WindowMatchQuality::terminalPath:
        return QStringLiteral("terminalPath");
    case WindowMatchQuality::sameWindow:
        return QStringLiteral("sameWindow");
    }
    return QStringLiteral("none");
}

std::optional<WindowMatchQuality> WindowMatcher::qualityFromRawValue(int rawValue) {
    if (rawValue < 0 || rawValue > 7) {
        return std::nullopt;
    }
    return static_cast<WindowMatchQuality>(rawValue);
}

double WindowMatcher::frameDistance(const QRectF& s, const QRectF& a) {
    return 2 * std::abs(s.x() - a.x()) + 2 * std::abs(s.y() - a.y()) + std::abs(s.width() - a.width()) +
           std::abs(s.height() - a.height());
}

QString WindowMatcher::normalizeDocumentURL(const QString& document) {
    // Paths keep their case: Report.txt and report.txt are two files. Only a scheme and a host
    // are the same in any case.
    const QUrl url(document, QUrl::StrictMode);
    if (document.isEmpty() || !url.isValid()) {
        return document.trimmed();
    }
    QString path = url.path(QUrl::FullyDecoded);
    if (path.size() >= 2 && path.endsWith('/')) {
        path.chop(1);
    }
    const QString scheme = url.scheme().toLower();
    if (scheme.isEmpty() || scheme == QLatin1String("file") || url.host().isEmpty()) {
        return path;
    }
    return scheme + QStringLiteral("://") + url.host().toLower() + path;
}

std::optional<QString> WindowMatcher::extractTerminalPath(const QString& title) {
    static const QString separators[] = {QStringLiteral(" - "), QStringLiteral(" — "), QStringLiteral(" – ")};
    for (const QString& separator : separators) {
        const qsizetype at = title.indexOf(separator);
        if (at < 0) {
            continue;
        }
        const QString after = title.mid(at + separator.size());
        if (after.startsWith('/') || after.startsWith('~')) {
            qsizetype begin = 0;
            qsizetype end = after.size();
            const auto blank = [](QChar c) { return c == ' ' || c == '\t'; };
            while (begin < end && blank(after[begin])) {
                ++begin;
            }
            while (end > begin && blank(after[end - 1])) {
                --end;
            }
            return after.mid(begin, end - begin);
        }
    }
    return std::nullopt;
}

bool WindowMatcher::fuzzyTitleMatch(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) {
        return a.contains(b) || b.contains(a);
    }
    return fuzzyMatch(TitleClues(a), TitleClues(b));
}

double WindowMatcher::sizeSimilarity(const QSizeF& a, const QSizeF& b) {
    // Written so that a side that is not a number also gives 0.
    if (!(a.width() > 0 && a.height() > 0 && b.width() > 0 && b.height() > 0)) {
        return 0;
    }
    return (std::min(a.width(), b.width()) / std::max(a.width(), b.width())) *
           (std::min(a.height(), b.height()) / std::max(a.height(), b.height()));
}

WindowMatcher::Matches WindowMatcher::matchWindows(const QList<WindowSnapshot>& snapshots,
                                                   const RunningApplication& app,
                                                   const Bystanders& bystanders) {
    const Log log;
    const std::optional<QList<Live>> live =
        liveWindows(app, QStringLiteral("Cannot get AX windows for pid="), log, true);
    if (!live || live->isEmpty()) {
        return {};
    }
    if (log.on()) {
        for (const Live& w : *live) {
            log(QStringLiteral("AX window[%1]: title=\"%2\" docURL=\"%3\" frame=%4")
                    .arg(QString::number(w.index), orNil(w.clues.title), orNil(w.document),
                         w.frame ? frameText(*w.frame) : QStringLiteral("nil")));
        }
    }

    QList<Saved> saved;
    saved.reserve(snapshots.size());
    for (qsizetype i = 0; i < snapshots.size(); ++i) {
        const WindowSnapshot& s = snapshots[i];
        Saved entry{&s, RectConversion::toRectF(s.frame), TitleClues(s.windowTitle), std::nullopt};
        if (present(s.documentURL)) {
            entry.normalizedDocument.emplace(normalizeDocumentURL(*s.documentURL));
        }
        if (log.on()) {
            log(QStringLiteral("Snapshot[%1]: title=\"%2\" docURL=\"%3\" frame=%4 minimized=%5")
                    .arg(QString::number(i), orNil(s.windowTitle), orNil(s.documentURL),
                         frameText(entry.frame),
                         s.isMinimized ? QStringLiteral("true") : QStringLiteral("false")));
        }
        saved.append(std::move(entry));
    }

    QList<Candidate> candidates;
    for (int i = 0; i < saved.size(); ++i) {
        bool pairedWithSavedIndex = false;
        const qint64 savedIndex = saved[i].snapshot->windowIndex;
        for (const Live& w : *live) {
            Candidate c{i, w.index, WindowMatchQuality::none, w.element, std::nullopt};
            const double distance = w.frame ? frameDistance(saved[i].frame, *w.frame) : 0;
            const std::optional<WindowIdentity>& identity = saved[i].snapshot->windowIdentity;
            if (identity && w.identity && *identity == *w.identity) {
                c.quality = WindowMatchQuality::sameWindow;
            } else if (w.frame && distance <= kGeometryLimit) {
                c.quality = WindowMatchQuality::geometry;
                c.geometryDistance = distance;
            } else {
                c.quality = matchQuality(saved[i], w, log);
            }
            if (c.quality != WindowMatchQuality::none && !mayPair(i, saved[i], w, bystanders, false, log)) {
                // Not offered by its position either: what speaks against it holds at every rung.
                pairedWithSavedIndex = pairedWithSavedIndex || w.index == savedIndex;
                continue;
            }
            if (c.quality != WindowMatchQuality::none) {
                if (w.frame && std::isfinite(distance)) {
                    c.nearness = distance;
                }
                pairedWithSavedIndex = pairedWithSavedIndex || w.index == savedIndex;
                candidates.append(c);
            }
        }
        if (savedIndex >= 0 && savedIndex < live->size() && !pairedWithSavedIndex &&
            mayPair(i, saved[i], live->at(savedIndex), bystanders, true, log)) {
            const Live& w = live->at(savedIndex);
            candidates.append(
                Candidate{i, w.index, WindowMatchQuality::indexFallback, w.element, std::nullopt});
        }
    }

    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        if (a.quality != b.quality) {
            return a.quality > b.quality;
        }
        if (a.quality == WindowMatchQuality::geometry) {
            const double inf = std::numeric_limits<double>::infinity();
            return a.geometryDistance.value_or(inf) < b.geometryDistance.value_or(inf);
        }
        return a.snapshotIndex < b.snapshotIndex;
    });

    const auto accept = [&log](const Candidate& c) {
        if (log.on()) {
            log(QStringLiteral("snapshot[%1] → AX[%2] quality=%3 distance=%4")
                    .arg(QString::number(c.snapshotIndex), QString::number(c.axIndex), qualityName(c.quality),
                         distanceText(c.geometryDistance)));
        }
    };
    Matches result = WindowMatchAssignment::byClues(candidates, accept);
    takeDisplacedPositions(saved, *live, result, bystanders, log, accept);

    if (log.on()) {
        for (int i = 0; i < saved.size(); ++i) {
            if (!result.contains(i)) {
                log(QStringLiteral("snapshot[%1] title=\"%2\" frame=%3 — NO MATCH")
                        .arg(QString::number(i), orNil(saved[i].snapshot->windowTitle),
                             frameText(saved[i].frame)));
            }
        }
    }
    return result;
}

WindowMatcher::Matches WindowMatcher::matchWindowsByGeometry(const QList<WindowSnapshot>& snapshots,
                                                             const RunningApplication& app) {
    const Log log;
    const std::optional<QList<Live>> live = liveWindows(
        app, QStringLiteral("matchWindowsByGeometry: Cannot get AX windows for pid="), log, false);
    if (!live) {
        return {};
    }

    QList<Candidate> candidates;
    for (int i = 0; i < snapshots.size(); ++i) {
        const QRectF savedFrame = RectConversion::toRectF(snapshots[i].frame);
        for (const Live& w : *live) {
            if (!w.frame) {
                continue;
            }
            const double distance = frameDistance(savedFrame, *w.frame);
            // Pairs further apart than the limit are never taken, so they need not be sorted; a
            // saved frame that is not a number pairs with nothing.
            if (!(distance <= kGeometryByFrameLimit)) {
                continue;
            }
            const auto quality = distance <= kGeometryLimit ? WindowMatchQuality::geometry
                                                            : WindowMatchQuality::fuzzyTitleAndSize;
            candidates.append(Candidate{i, w.index, quality, w.element, distance});
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return *a.geometryDistance < *b.geometryDistance;
    });

    return WindowMatchAssignment::inOrder(candidates, [&log](const Candidate& c) {
        if (log.on()) {
            log(QStringLiteral("matchWindowsByGeometry: snapshot[%1] → AX[%2] distance=%3")
                    .arg(QString::number(c.snapshotIndex), QString::number(c.axIndex),
                         distanceText(c.geometryDistance)));
        }
    });
}
