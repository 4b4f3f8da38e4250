#pragma once

#include "Models/AppSnapshot.h"
#include "Models/DisplaySnapshot.h"
#include "Models/TabSnapshot.h"
#include "Models/WindowSnapshot.h"
#include "Platform/RunningApplications.h"
#include "Services/Restore/RestoreRequest.h"

#include <QList>
#include <QRectF>
#include <QStringList>

#include <algorithm>
#include <memory>
#include <optional>

// What a restore has to do for one saved window: the live frame of the window paired with it
// (when there is one) and where the window is to go.
struct WindowPlan {
    WindowSnapshot snapshot;
    bool needsPositioning = true;
    std::optional<QRectF> currentFrame;
    // Global, origin at the top left of the primary display, as the saved frame.
    QRectF targetFrame;
    // The saved display the window was on.
    std::optional<DisplaySnapshot> displaySnapshot;
};

// What a restore has to do for one saved application, worked out before anything is changed.
struct AppPlan {
    AppSnapshot appSnapshot;
    std::optional<RunningApplication> runningApp;
    bool needsLaunch = false;
    bool needsActivation = false;
    bool needsBrowserTabRestore = false;
    bool needsFinderWindowRestore = false;
    // Saved document locations (as saved) that the application does not show yet.
    QStringList needsDocumentOpening;
    QList<WindowPlan> windowPlans;
    // The browser's tabs as read while planning, one list per window.
    QList<QList<TabSnapshot>> currentBrowserTabs;
    bool needsHide = false;
    // The saved windows past the bound of one application that the plan left out (appSnapshot holds
    // the others).
    qsizetype windowsLeftOut = 0;
    // The restore request, shared by every application of the plan: what it may still start, what
    // its earlier passes opened.
    std::shared_ptr<RestoreRequest> request;

    // Whether nothing at all is to be done but, perhaps, hiding.
    bool isAlreadyInPlace() const {
        return !needsLaunch && !needsActivation && !needsBrowserTabRestore && !needsFinderWindowRestore &&
               needsDocumentOpening.isEmpty() &&
               std::none_of(windowPlans.begin(), windowPlans.end(),
                            [](const WindowPlan& w) { return w.needsPositioning; });
    }
};

// The whole restore: one plan per saved application, in the workspace's order.
struct RestorePlan {
    QList<AppPlan> appPlans;
    // Whether the workspace's applications stand in another front-to-back order than saved.
    bool needsZOrderAdjustment = false;
    QList<DisplaySnapshot> savedDisplays;
};
