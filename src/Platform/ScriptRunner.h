#pragma once

#include "Platform/ScriptDescriptor.h"

#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <optional>

// What a script reports when it fails. Number 0 stands for "no number given".
struct ScriptError {
    // The user has not allowed this process to send automation events to that application.
    static constexpr int notAuthorized = -1743;

    int number = 0;
    std::optional<QString> appName;
    std::optional<QString> message;

    bool operator==(const ScriptError&) const = default;
};

// The outcome of one script: an answer, or an error. Neither means the source could not be made
// into a script at all.
struct ScriptResult {
    std::optional<ScriptDescriptor> descriptor;
    std::optional<ScriptError> error;

    static ScriptResult answer(ScriptDescriptor d) { return ScriptResult{std::move(d), std::nullopt}; }
    static ScriptResult failure(ScriptError e) { return ScriptResult{std::nullopt, std::move(e)}; }
};

// Runs automation scripts against other applications. An answer may come late, or never: callers
// go through a ScriptQueue, which bounds how long they wait.
class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;
    virtual QCoro::Task<ScriptResult> run(QString source) = 0;
    // The address a browser is given when a script asks it to open this one: a host that keeps
    // some addresses from the browser hands it another page in their place, and that page is what
    // the browser shows afterwards. By default every address is handed over as it is.
    virtual QString browserAddressAsOpened(const QString& address) const { return address; }
    // Why the host keeps an address from browsers, for the report; nothing when it hands it over.
    virtual std::optional<QString> browserAddressRefusal(const QString& address) const {
        (void)address;
        return std::nullopt;
    }
    // Whether the host hands a new browser window with these addresses (in the profile a script
    // names) over in several requests, one after another: the browser may then show another tab
    // than the one selected until it has opened them all, and its record lists them all only
    // seconds later. By default a window goes over in one.
    virtual bool browserWindowHandedInParts(const QString& bundleIdentifier, const QStringList& addresses,
                                            const QString& userDataDir,
                                            const QString& profileDirectory) const {
        (void)bundleIdentifier;
        (void)addresses;
        (void)userDataDir;
        (void)profileDirectory;
        return false;
    }
    // Whether the browser's record of its windows has stopped: it runs, and has written none since
    // it started, well past the time a browser takes to write its first (after some ends, a kill
    // say, it writes none for a long while). Its windows are then listed without tabs, whatever
    // they show. By default a record is written.
    virtual bool browserRecordStopped(const QString& bundleIdentifier) const {
        (void)bundleIdentifier;
        return false;
    }
    // Why the host does not open a window in the browser profile a script names (a data folder or
    // profile it does not take), so that the window opens in the browser's default profile;
    // nothing when it does open it there. By default every profile is taken.
    virtual std::optional<QString> browserProfileRefusal(const QString& bundleIdentifier,
                                                         const QString& userDataDir,
                                                         const QString& profileDirectory) const {
        (void)bundleIdentifier;
        (void)userDataDir;
        (void)profileDirectory;
        return std::nullopt;
    }
};
