#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <algorithm>

// What one restore starts at the most. A workspace file may list any number of applications and
// windows (an imported one, say); every program started holds a connection to the display server,
// which takes a few hundred in all and then refuses every program, Ordella's own notifications
// included. No real desktop comes near these bounds; what lies past them is not reopened, and the
// report says so. Windows that are there only to be moved count against neither bound. One
// restore request owns one allowance, which all its passes share.
class RestoreBounds {
public:
    // The saved windows of one application a restore may open or start, beyond those the
    // application shows already; the later ones in saved order are left out.
    static constexpr qsizetype windowsPerApplication = 100;
    // The requests of one restore that may start a program: a launch, a document handed over, a
    // reopened or a new window.
    static constexpr int startsPerRestore = 150;

    explicit RestoreBounds(int starts = startsPerRestore);

    // Takes one start for the application. False when the restore has made all it may; the first
    // refusal for an application is logged, as step.
    bool takeStart(const QString& bundleIdentifier, const QString& step);
    // Whether a start was refused for the application.
    bool refused(const QString& bundleIdentifier) const { return m_refused.contains(bundleIdentifier); }
    int startsLeft() const { return m_left; }
    // How many more saved windows of the application the restore may open: the bound, less the
    // starts it has made for the application in all its passes.
    qsizetype windowsLeftToOpen(const QString& bundleIdentifier) const {
        return std::max<qsizetype>(0, windowsPerApplication - m_started.value(bundleIdentifier));
    }

    // Why something was not reopened once the restore's starts ran out.
    static QString startsRefusal();
    // Why count saved windows of an application past windowsPerApplication were not reopened.
    static QString windowsLeftOut(qsizetype count);

private:
    int m_left;
    QSet<QString> m_refused;
    QHash<QString, qsizetype> m_started;
};
