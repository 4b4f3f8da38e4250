#pragma once

#include "Models/Workspace.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Support/ScriptedDesktop.h"

#include <QRectF>
#include <QStringList>

#include <gtest/gtest.h>

// A simulated desktop with one 1440 x 900 screen (visible area below a 25-point menu bar) and an
// analysis-log session open.
class RestoreFixture : public ::testing::Test, public ScriptedDesktop {
protected:
    RestoreFixture();
    ~RestoreFixture() override;

    // Runs a task to its end in virtual time; fails the test when it cannot end.
    template <typename T> T run(QCoro::Task<T> task) {
        std::optional<T> result = clock().runUntilDone(std::move(task));
        EXPECT_TRUE(result.has_value()) << clock().lastFailure().toStdString();
        return result.value_or(T());
    }
    void run(QCoro::Task<void> task) {
        EXPECT_TRUE(clock().runUntilDone(std::move(task))) << clock().lastFailure().toStdString();
    }
    // Virtual milliseconds since the fixture was made.
    qint64 elapsedMs() { return clock().elapsed().count(); }

    // The restore engine's log lines of the open session.
    static QStringList restorerLines();

    static WindowSnapshot savedWindow(const QRectF& frame, const QString& title = QString(),
                                      qint64 index = 0);
    static AppSnapshot savedApp(const QString& bundleIdentifier, const QList<WindowSnapshot>& windows = {},
                                bool hidden = false);
    // A workspace whose displays are today's screens.
    static Workspace workspace(const QList<AppSnapshot>& apps);

    // An installed application that launches with these windows.
    void install(const QString& bundleIdentifier, const QList<QRectF>& launchFrames = {},
                 Clock::Duration launchDelay = Clock::Duration(300));
    RunningApplication running(qint32 pid) { return *desktop().runningApplication(pid); }
    QRectF frameOf(quint32 window) { return desktop().window(window)->frame; }
    // The first window of the application.
    quint32 windowOf(qint32 pid, int index = 0) { return desktop().windowsOf(pid).value(index); }
};
