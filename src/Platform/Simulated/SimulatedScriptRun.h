#pragma once

#include "Platform/ScriptProgram.h"

#include <QHash>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class SimulatedDesktop;
class SimulatedScriptHost;

// One script run against the simulated desktop: the statements of one program, performed one at a
// time on the windows of the application's process and on the tabs and folders the host keeps for
// them, answering and failing as the real application does.
class SimulatedScriptRun {
public:
    using Statement = ScriptProgram::Statement;

    SimulatedScriptRun(SimulatedScriptHost& host, const ScriptProgram& program, qint32 pid);

    // Performs one statement: the error the application raises for it, if any.
    std::optional<ScriptError> perform(const Statement& s);
    // What the script returned; nothing while no statement has returned.
    const std::optional<ScriptDescriptor>& returned() const { return m_returned; }

private:
    SimulatedDesktop& desktop() const;
    ScriptError error(int number, const QString& message) const;
    QList<quint32> windows() const;
    std::optional<ScriptError> windowAt(std::int64_t index, quint32& number) const;
    std::optional<ScriptError> folderExists(const QString& path) const;
    quint32 openWindow(const QString& title, QRectF defaultFrame);
    quint32 openBrowserWindow(const QString& url, const QString& title);
    void setFrame(quint32 number, const QList<std::int64_t>& edges, int from);
    void closeWindow(quint32 number);
    ScriptDescriptor listTabs();
    ScriptDescriptor listFolders();
    void closeEmptyWindows(const QStringList& prefixes);

    SimulatedScriptHost& m_host;
    const ScriptProgram& m_program;
    qint32 m_pid;
    QHash<QString, quint32> m_variables;
    QList<quint32> m_tellWindows;
    std::optional<ScriptDescriptor> m_returned;
};
