#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <optional>

enum class ActivationPolicy { Regular, Accessory, Prohibited };

// What the workspace service knows of one running application at the moment it is asked. It is a
// value: ask the service again for fresh state.
struct RunningApplication {
    qint32 processIdentifier = 0;
    std::optional<QString> bundleIdentifier;
    std::optional<QString> localizedName;
    ActivationPolicy activationPolicy = ActivationPolicy::Regular;
    bool isHidden = false;
    bool isFinishedLaunching = true;

    bool operator==(const RunningApplication&) const = default;
};

// The answer of an open request: success, or the platform's error text.
struct OpenResult {
    bool succeeded = true;
    QString errorText;
};

// The workspace service: running applications, their activation and hiding, and launching.
class RunningApplications : public QObject {
    Q_OBJECT
public:
    // Options of activate().
    static constexpr quint32 ActivateAllWindows = 1;
    static constexpr quint32 ActivateIgnoringOtherApps = 2;

    using QObject::QObject;
    ~RunningApplications() override = default;

    // Every running application, in the platform's order.
    virtual QList<RunningApplication> runningApplications() const = 0;
    // The first of these applications with this identifier, in their order.
    static std::optional<RunningApplication> firstWithIdentifier(const QList<RunningApplication>& running,
                                                                 const QString& bundleIdentifier) {
        for (const RunningApplication& app : running) {
            if (app.bundleIdentifier == bundleIdentifier) {
                return app;
            }
        }
        return std::nullopt;
    }
    // The first running application with this identifier.
    std::optional<RunningApplication> firstRunning(const QString& bundleIdentifier) const {
        return firstWithIdentifier(runningApplications(), bundleIdentifier);
    }
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // Fresh state of one process; nothing once it has quit.
    virtual std::optional<RunningApplication> application(qint32 pid) const = 0;

    // Requests; each answers whether the request was accepted.
    virtual bool hide(qint32 pid) = 0;
    virtual bool unhide(qint32 pid) = 0;
    virtual bool activate(qint32 pid, quint32 options) = 0;
    virtual bool terminate(qint32 pid) = 0;
    virtual bool forceTerminate(qint32 pid) = 0;

    // The installed application with this bundle identifier, or nothing.
    virtual std::optional<QUrl> urlForApplication(const QString& bundleIdentifier) const = 0;
    // Whether the application of this identifier is started by running the program the identifier
    // names (a program without an installed entry) rather than through an entry installed for it.
    virtual bool startsByPath(const QString& bundleIdentifier) const {
        return bundleIdentifier.startsWith(QLatin1Char('/'));
    }
    // Why the local file or folder at path must not be handed to the application of this
    // identifier (a reason for the restore log), or empty when it may be. The desktop knows what
    // each application declares it opens and which ones would run what they are handed.
    virtual QString documentRefusal(const QString& path, const QString& bundleIdentifier) const {
        Q_UNUSED(path);
        Q_UNUSED(bundleIdentifier);
        return QString();
    }
    // Whether the application is a terminal, which would run a file handed to it.
    virtual bool isTerminal(const QString& bundleIdentifier) const {
        Q_UNUSED(bundleIdentifier);
        return false;
    }
    // Opens (launches, or reopens when running) the application at applicationURL.
    virtual QCoro::Task<OpenResult> openApplication(QUrl applicationURL, bool activates) = 0;
    // Opens documents with the application at applicationURL, launching it when needed.
    virtual QCoro::Task<OpenResult> openDocuments(QList<QUrl> documents, QUrl applicationURL,
                                                  bool activates) = 0;
    // Asks the application at applicationURL for one more window, launching it when needed. Where
    // an application runs as one process per window this starts another process of it; one that
    // keeps a single window opens none. Success says that the request was made, not that a window
    // came. Where the desktop has no such request, the application is opened (reopened) instead.
    virtual QCoro::Task<OpenResult> openNewWindow(QUrl applicationURL, bool activates) {
        co_return co_await openApplication(applicationURL, activates);
    }
    // The application's icon; a null image when there is none.
    virtual QImage icon(const QString& bundleIdentifier) const = 0;
    // Every identifier the application known by bundleIdentifier may be running under, the given
    // one first. Where one program can be known two ways (a desktop entry, and its program when it
    // was started without one), a setting made for one holds for both.
    virtual QStringList identifiersOf(const QString& bundleIdentifier) const { return {bundleIdentifier}; }

signals:
    void applicationLaunched(qint32 pid);
    void applicationTerminated(qint32 pid);
};
