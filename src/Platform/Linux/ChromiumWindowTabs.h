#pragma once

#include "Platform/Linux/ChromiumSession.h"
#include "Platform/Linux/ChromiumSessionReader.h"
#include "Platform/Linux/X11Windows.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <functional>

// The tabs of a Chromium-family browser's X11 windows, from the live session file of each
// browser process's profile (a browser started with a data folder of its own is a process of its
// own), paired with the windows by frame, then by the shown tab's title, then by the order the
// windows were made. The window titles, which show a newly shown tab at once, correct what the
// file (written seconds later) says is shown. The file keeps no title for tabs opened while the
// browser runs: those come from the profile's history, by address, and a tab neither names keeps
// none.
class ChromiumWindowTabs {
public:
    // The titles a profile's history holds for addresses, given the session file read.
    using Titles =
        std::function<QHash<QString, QString>(const QString& sessionFile, const QStringList& urls)>;

    explicit ChromiumWindowTabs(ChromiumSessionReader sessions = ChromiumSessionReader(), Titles titles = {});

    // Where the browsers keep their session files is looked for again at the next read.
    void forgetLocations();
    // Reads the session files of the browser processes showing these windows, on workers, and
    // ends once they are read: tabsOf then gives them at once. A file that changes later is read
    // on a worker again, tabsOf giving what was read before meanwhile.
    QCoro::Task<void> readSessions(qint32 browserPid, QString configFolder, QList<X11Client> windows);
    // For each window (front to back) of the browser whose main process is browserPid, its
    // session window; an entry without tabs where the session says nothing of that window.
    QList<ChromiumSession::Window> tabsOf(qint32 browserPid, const QString& configFolder,
                                          const QList<X11Client>& windows);
    // For each window (front to back), the position of its session window; -1 for none.
    static QList<int> pairWindows(const QList<X11Client>& windows,
                                  const QList<ChromiumSession::Window>& sessionWindows);

private:
    // Gives the tabs of the windows at those positions that have no title the history's.
    void fillTitles(const QString& sessionFile, QList<ChromiumSession::Window>& paired,
                    const QList<qsizetype>& positions) const;

    ChromiumSessionReader m_sessions;
    Titles m_titles;
};
