#include "Services/Restore/WindowShowing.h"

#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/RestoreWait.h"

#include <algorithm>

namespace {

constexpr int kShowWaitMs = 2000;
constexpr int kFullScreenWaitMs = 3000;

QCoro::Task<bool> allShown(QList<AXElement> windows) {
    // Read together at each look: one wait for the server, not one per window.
    const auto shown = [windows] {
        AXWindowService::readTogether(windows);
        return std::none_of(windows.cbegin(), windows.cend(), &AXWindowService::isMinimized);
    };
    const auto askAhead = [windows] { AXWindowService::readAhead(windows); };
    co_return co_await RestoreWait::pollAfter(shown, RestoreWait::ms(kShowWaitMs), RestoreWait::ms(100),
                                              askAhead);
}

} // namespace

QCoro::Task<void> WindowShowing::prepareForGeometry(QList<AXElement> windows) {
    AXWindowService::readTogether(windows);
    QList<AXElement> hidden;
    for (const AXElement& window : windows) {
        if (AXWindowService::isMinimized(window) && !hidden.contains(window)) {
            hidden.append(window);
        }
    }
    for (const AXElement& window : hidden) {
        AXWindowService::deminimize(window);
    }
    if (!hidden.isEmpty()) {
        co_await allShown(hidden);
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
