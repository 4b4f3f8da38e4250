#pragma once

#include <QSet>
#include <QString>

#include <memory>

// What one restore starts at the most. A workspace file may list any number of applications and
// windows (an imported one, say); every program started holds a connection to the display server,
// which takes a few hundred in all and then refuses every program, Ordella's own notifications
// included. No real desktop comes near these bounds; what lies past them is not reopened, and the
// report says so.
class RestoreBounds {
public:
    // The saved windows of one application a restore brings back, in their saved order; the later
    // ones are left out.
    static constexpr qsizetype windowsPerApplication = 100;
    // The requests of one restore that may start a program: a launch, a document handed over, a
    // reopened or a new window.
    static constexpr int startsPerRestore = 150;

    explicit RestoreBounds(int starts = startsPerRestore);

    // What the restore under way may still start, shared by all its passes: a pass that tries again
    // starts only what the passes before it left.
    static std::shared_ptr<RestoreBounds> ofRun();
    // Gives the next restore a whole allowance of its own.
    static void beginRun();

    // Takes one start for the application. False when the restore has made all it may; the first
    // refusal for an application is logged, as step.
    bool takeStart(const QString& bundleIdentifier, const QString& step);
    // Whether a start was refused for the application.
    bool refused(const QString& bundleIdentifier) const { return m_refused.contains(bundleIdentifier); }
    int startsLeft() const { return m_left; }

    // Why something was not reopened once the restore's starts ran out.
    static QString startsRefusal();
    // Why count saved windows of an application past windowsPerApplication were not reopened.
    static QString windowsLeftOut(qsizetype count);
    // The windowsLeftOut text an application's reason ends with; empty when it has none.
    static QString windowsLeftOutIn(const QString& reason);

private:
    int m_left;
    QSet<QString> m_refused;
};
