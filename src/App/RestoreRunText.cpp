#include "App/RestoreRunText.h"

#include "Extensions/BidiText.h"

#include "Extensions/NumberConversion.h"
#include "Services/Restore/RestoreBounds.h"

#include <QStringList>

#include <algorithm>

namespace {

QString frameText(const std::optional<QRectF>& frame) {
    if (!frame) {
        return QStringLiteral("?");
    }
    // Frames come from saved files too: every number has a defined whole value.
    const auto whole = [](double v) { return QString::number(NumberConversion::toInt64(v)); };
    return QStringLiteral("%1,%2 %3x%4")
        .arg(whole(frame->x()), whole(frame->y()), whole(frame->width()), whole(frame->height()));
}

// What the restore did to a window, over every run and attempt (actions: only what was done and
// read back), and how the first run ended for it.
QString doneText(const WindowRestoreResult& window, const QStringList& actions) {
    if (window.finding == WindowFinding::keptOwnFrame) {
        return actions.isEmpty() ? QStringLiteral("not moved: the application kept a frame of its own")
                                 : actions.join(QStringLiteral(", ")) +
                                       QStringLiteral(", but the application kept a frame of its own");
    }
    if (actions.isEmpty() && window.finding == WindowFinding::minimised) {
        return QStringLiteral("already minimised");
    }
    // A window the restore left as it found it.
    if (actions.isEmpty() && window.finding == WindowFinding::inPlace) {
        return QStringLiteral("already in place");
    }
    if (actions.isEmpty()) {
        return RestoreRunText::printable(window.reason);
    }
    return actions.join(QStringLiteral(", "));
}

// Whether doneText puts a window's reason in words of its own.
bool reasonInWords(const WindowRestoreResult& window) {
    return window.finding != WindowFinding::none;
}

// What a checking run found, from its result: what it did again, or how it found the window.
QString checkText(const WindowRestoreResult& window) {
    if (!window.actions.isEmpty() && window.status == RestoreStatus::restored) {
        return window.actions.join(QStringLiteral(", ")) + QStringLiteral(" again");
    }
    if (window.actions.isEmpty() && window.finding == WindowFinding::minimised) {
        return QStringLiteral("minimised");
    }
    if (window.actions.isEmpty() && window.finding == WindowFinding::inPlace) {
        return QStringLiteral("in place");
    }
    // What it did, and why the window is not wholly back.
    QString text = doneText(window, window.actions);
    if (!window.actions.isEmpty() && !reasonInWords(window)) {
        text += QStringLiteral("; ") + RestoreRunText::printable(window.reason);
    }
    return text;
}

// A window the restore closed, by what it showed and why it went.
QString closedText(const ClosedWindow& window) {
    QString why;
    switch (window.why) {
    case ClosedWindow::Why::blank:
        why = QStringLiteral("a blank page");
        break;
    case ClosedWindow::Why::outsideWorkspace:
        why = QStringLiteral("not in the workspace");
        break;
    case ClosedWindow::Why::folderOutsideWorkspace:
        why = QStringLiteral("a folder not in the workspace");
        break;
    }
    return QStringLiteral("closed \"") + RestoreRunText::printable(window.shown) + QStringLiteral("\" (") +
           why + QStringLiteral(")");
}

QString windowCount(qsizetype restored, qsizetype all) {
    const QString noun = all == 1 ? QStringLiteral("window") : QStringLiteral("windows");
    if (restored == all) {
        return all == 1 ? QStringLiteral("1 window restored")
                        : QStringLiteral("all %1 windows restored").arg(QString::number(all));
    }
    return QStringLiteral("%1 of %2 %3 restored").arg(QString::number(restored), QString::number(all), noun);
}

} // namespace

QString RestoreRunText::printable(QString text, bool keepLineBreaks) {
    for (QChar& c : text) {
        // A paragraph or line separator breaks the line where no line break was asked for, and
        // would end the isolation of the text around it.
        const bool separator =
            c.category() == QChar::Separator_Paragraph || c.category() == QChar::Separator_Line;
        if ((c.category() == QChar::Other_Control && !(keepLineBreaks && c == u'\n')) || separator ||
            BidiText::isDirectionalFormatting(c.unicode())) {
            c = QChar::ReplacementCharacter;
        }
    }
    return text;
}

QString RestoreRunText::describe(const RestoreRun& run) {
    const RestoreReport& report = run.report;
    // The first run did the work; a later one (when there was one) checked it.
    const RestoreReport* first = run.passes.size() > 1 ? &run.passes.first() : nullptr;
    QStringList lines;
    lines << QStringLiteral("Restore of \"") + printable(report.workspaceName) + QStringLiteral("\": ") +
                 RestoreStatusText::words(report.status) + QStringLiteral(" in ") +
                 QString::number(run.duration, 'f', 1) + QStringLiteral(" s");
    lines << QStringLiteral("Summary: ") + printable(report.summary());
    for (qsizetype index = 0; index < report.appResults.size(); ++index) {
        const AppRestoreResult& app = report.appResults[index];
        // The same application in another run: a workspace file may list one application twice.
        const auto findApp = [&report, index](const RestoreReport& run) {
            return RestoreReport::counterpart(report.appResults, index, run.appResults);
        };
        const AppRestoreResult* done = first ? findApp(*first) : nullptr;
        const AppRestoreResult* checked = done ? &app : nullptr;
        if (!done) {
            done = &app;
        }
        // A check that found the application in its saved state lists no windows: the first
        // run's are the ones there are, and they are in place.
        const bool checkedWhole = checked && checked->windowResults.isEmpty() && checked->foundInSavedState;
        const QList<WindowRestoreResult>& windows =
            checked && !checked->windowResults.isEmpty() ? checked->windowResults : done->windowResults;

        QStringList appParts;
        const bool started = run.runningBefore && !run.runningBefore->contains(app.bundleIdentifier) &&
                             done->status != RestoreStatus::failed &&
                             done->status != RestoreStatus::cancelled;
        if (started) {
            appParts << QStringLiteral("started");
        }
        QStringList windowLines;
        qsizetype restored = 0;
        // Why windows counted back are not as saved, each once.
        QStringList notes;
        const QList<WindowRestoreResult>& doneWindows =
            done->windowResults.isEmpty() ? windows : done->windowResults;
        for (qsizetype i = 0; i < std::max(windows.size(), doneWindows.size()); ++i) {
            const WindowRestoreResult* doneWindow = i < doneWindows.size() ? &doneWindows[i] : nullptr;
            const WindowRestoreResult* checkWindow =
                checked && i < checked->windowResults.size() ? &checked->windowResults[i] : nullptr;
            const WindowRestoreResult& last = checkWindow ? *checkWindow : *doneWindow;
            const RestoreStatus status = checkedWhole ? RestoreStatus::restored : last.status;
            // A browser window back with every tab, in the default profile, is back: the
            // application's line says why not in its own profile.
            // So is one placed whose tabs cannot be read: the note says so.
            const bool back = last.backInDefaultProfile || last.tabsUnread;
            if (status == RestoreStatus::restored || back) {
                ++restored;
            }
            if (status != RestoreStatus::restored && back && !notes.contains(last.reason)) {
                notes << last.reason;
            }
            // What every run did to the window: one that a first run moved and a check found in
            // place was moved.
            WindowRestoreResult all;
            for (const RestoreReport& pass : run.passes) {
                const AppRestoreResult* passApp = findApp(pass);
                if (passApp && i < passApp->windowResults.size()) {
                    all.addActions(passApp->windowResults[i].actions);
                }
            }
            all.addActions(last.actions);
            QString line =
                QStringLiteral("    \"") + printable(last.windowTitle.value_or(QStringLiteral("untitled"))) +
                QStringLiteral("\": ") + RestoreStatusText::words(status) + QStringLiteral(" - ") +
                (doneWindow ? doneText(*doneWindow, all.actions) : QStringLiteral("not seen at first"));
            // What was done does not say why the window is not wholly back: its reason does,
            // unless a check's result follows and says it.
            if (!checkWindow && status != RestoreStatus::restored && !all.actions.isEmpty() &&
                !reasonInWords(last)) {
                line += QStringLiteral("; ") + RestoreRunText::printable(last.reason);
            }
            if (checkWindow) {
                line += QStringLiteral("; checked: ") + checkText(*checkWindow);
            } else if (checkedWhole) {
                // Found as saved: "in place" is said of a window shown where it was saved only.
                const bool minimised = doneWindow && (doneWindow->finding == WindowFinding::minimised ||
                                                      all.actions.contains(QStringLiteral("minimised")));
                line += minimised ? QStringLiteral("; checked: minimised")
                                  : QStringLiteral("; checked: in place");
            }
            line += QStringLiteral(", asked ") + frameText(last.requestedFrame) + QStringLiteral(", got ") +
                    frameText(last.actualFrame);
            windowLines << line;
        }
        const qsizetype count = windowLines.size();
        if (count > 0) {
            appParts << windowCount(restored, count);
            for (const QString& note : notes) {
                appParts << printable(note);
            }
            // Saved windows past the bound have no line of their own: the application's says so.
            if (app.windowsLeftOut > 0) {
                appParts << RestoreBounds::windowsLeftOut(app.windowsLeftOut);
            }
        } else if (app.foundInSavedState) {
            appParts << (started ? QStringLiteral("in its saved state")
                                 : QStringLiteral("already in its saved state"));
            if (app.windowsLeftOut > 0) {
                appParts << RestoreBounds::windowsLeftOut(app.windowsLeftOut);
            }
        } else if (!app.reason.isEmpty()) {
            appParts << printable(app.reason);
        }
        // What every run closed of the application's own.
        for (const RestoreReport& pass : run.passes.isEmpty() ? QList<RestoreReport>{report} : run.passes) {
            if (const AppRestoreResult* passApp = findApp(pass)) {
                for (const ClosedWindow& closed : passApp->closedWindows) {
                    appParts << closedText(closed);
                }
            }
        }
        QString line = QStringLiteral("  ") + printable(app.appName) + QStringLiteral(" (") +
                       printable(app.bundleIdentifier) + QStringLiteral("): ") +
                       RestoreStatusText::words(app.status);
        if (!appParts.isEmpty()) {
            line += QStringLiteral(" - ") + appParts.join(QStringLiteral("; "));
        }
        lines << line << windowLines;
    }
    return lines.join(u'\n');
}
