#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Programs that only start another one with a changed priority, environment, session or time
// limit (env, nice, ionice, chrt, taskset, stdbuf, timeout, nohup, setsid), or in a sandbox
// (flatpak run). What a command line really runs is the program after them: "nice -n 5 python3
// FILE" runs python3, and "flatpak run --command=python3 org.example.App FILE" python3 too (found
// in the application's or its runtime's files where it is installed, else by its name).
class LaunchWrapper {
public:
    LaunchWrapper() = delete;

    // Whether the program, by its file name or the file name of the program it resolves to, is
    // such a wrapper.
    static bool isWrapper(const QString& program);
    // The words of the command the wrappers at the front of words start (words itself when the
    // first is no wrapper). Nothing when a wrapper's words cannot be read the way it reads them
    // (an option it does not have, "env -S" splitting a text) or it starts no command at all
    // ("taskset -p", "timeout" without one).
    static std::optional<QStringList> startedCommand(const QStringList& words);
};
