#include "Services/Restore/WindowShowing.h"

#include "Platform/Platform.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/RestoreWait.h"

#include <QSet>

#include <algorithm>
#include <memory>

namespace {

constexpr int kShowWaitMs = 2000;
constexpr int kFullScreenWaitMs = 3000;

// What was learnt, and on which desktop: another platform (a test's, or one set up again) starts
// from the usual way.
struct Learnt {
    std::weak_ptr<Accessibility> desktop;
    bool throughShownDesktop = false;
};

Learnt& learnt() {
    // Main thread only, like every desktop call.
    static Learnt kept;
    return kept;
}

bool onShownDesktop(AXElement window) {
    return AXAttributeReader::read(window, AXName::OnShownSpace).value.toBool().value_or(true);
}

bool minimised(AXElement window) {
    return AXAttributeReader::boolean(window, AXName::Minimized);
}

// Shown on the desktop the user looks at and sent straight back, all in one go, a window comes up
// on its own desktop without the desktop shown switching (and, on a manager that needs this,
// without ever being drawn on the one shown). False when the window is not away.
bool showThroughShownDesktop(AXElement window) {
    const std::optional<double> desktop =
        onShownDesktop(window) ? std::nullopt
                               : AXAttributeReader::read(window, AXName::SpaceIndex).value.toNumber();
    if (!desktop ||
        AXAttributeReader::write(window, AXName::OnShownSpace, AXValue::boolean(true)) != AXError::Success) {
        return false;
    }
    AXWindowService::deminimize(window);
    AXAttributeReader::write(window, AXName::SpaceIndex, AXValue::number(*desktop));
    return true;
}

QCoro::Task<bool> allShown(QList<AXElement> windows) {
    // Read together at each look: one wait for the server, not one per window.
    const auto shown = [windows] {
        AXWindowService::readTogether(windows);
        return std::none_of(windows.cbegin(), windows.cend(), minimised);
    };
    const auto askAhead = [windows] { AXWindowService::readAhead(windows); };
    co_return co_await RestoreWait::pollAfter(shown, RestoreWait::ms(kShowWaitMs), RestoreWait::ms(100),
                                              askAhead);
}

} // namespace

bool WindowShowing::showsAwayThroughShownDesktop() {
    const Learnt& kept = learnt();
    const std::shared_ptr<Accessibility> desktop = kept.desktop.lock();
    return kept.throughShownDesktop && desktop && desktop == Platform::current().accessibility;
}

void WindowShowing::learn(bool throughShownDesktop) {
    learnt() = Learnt{Platform::current().accessibility, throughShownDesktop};
}

QCoro::Task<void> WindowShowing::prepareForGeometry(QList<AXElement> windows) {
    AXWindowService::readTogether(windows);
    QList<AXElement> hidden;
    for (const AXElement& window : windows) {
        if (AXWindowService::isMinimized(window) && !hidden.contains(window)) {
            hidden.append(window);
        }
    }
    if (!hidden.isEmpty()) {
        const bool learntThrough = showsAwayThroughShownDesktop();
        QSet<AXElement> throughShown;
        for (const AXElement& window : hidden) {
            if (learntThrough && showThroughShownDesktop(window)) {
                throughShown.insert(window);
            } else {
                AXWindowService::deminimize(window);
            }
        }
        if (!co_await allShown(hidden)) {
            // The other way for those still minimised; whichever shows a window is the manager's.
            QList<AXElement> again;
            QSet<AXElement> askedThrough;
            for (const AXElement& window : hidden) {
                if (!minimised(window)) {
                    continue;
                }
                if (throughShown.contains(window)) {
                    AXWindowService::deminimize(window);
                    again.append(window);
                } else if (showThroughShownDesktop(window)) {
                    askedThrough.insert(window);
                    again.append(window);
                }
            }
            if (!again.isEmpty()) {
                co_await allShown(again);
            }
            for (const AXElement& window : again) {
                if (!minimised(window)) {
                    learn(askedThrough.contains(window));
                }
            }
        }
    }
    QList<AXElement> full;
    AXWindowService::readTogether(windows);
    for (const AXElement& window : windows) {
        if (AXWindowService::isFullScreen(window) && !full.contains(window)) {
            AXWindowService::exitFullScreen(window);
            full.append(window);
        }
    }
    if (!full.isEmpty()) {
        const auto windowed = [full] {
            AXWindowService::readTogether(full);
            return std::none_of(full.cbegin(), full.cend(), [](const AXElement& window) {
                return AXAttributeReader::boolean(window, AXName::FullScreen);
            });
        };
        co_await RestoreWait::pollAfter(windowed, RestoreWait::ms(kFullScreenWaitMs), RestoreWait::ms(200));
    }
}
