#pragma once

// Small helpers shared by the scripting tests.
#include "Services/Storage/AnalysisLogger.h"
#include "Services/Scripting/BrowserScriptService.h"
#include "Support/QtPrinters.h"

#include <QStringList>

#include <cmath>
#include <ostream>

// One string list per window, each tab as its URL with "*" after the active one.
inline QList<QStringList> tabUrls(const BrowserScriptService::TabList& windows) {
    QList<QStringList> out;
    for (const auto& w : windows) {
        QStringList tabs;
        for (const auto& t : w) {
            tabs << t.url + (t.isActive ? "*" : "");
        }
        out << tabs;
    }
    return out;
}

// The messages of the open analysis-log session.
inline QStringList loggedMessages() {
    QStringList lines;
    for (const auto& e : AnalysisLogger::shared().entries()) {
        lines << e.message;
    }
    return lines;
}

// The restore engine's frame test: every component within 50 points.
inline bool within50(const SnapshotRect& a, const SnapshotRect& b) {
    return std::abs(a.x - b.x) <= 50 && std::abs(a.y - b.y) <= 50 && std::abs(a.width - b.width) <= 50 &&
           std::abs(a.height - b.height) <= 50;
}
