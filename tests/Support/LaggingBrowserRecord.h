#pragma once

#include "Platform/ScriptRunner.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// A browser whose record of its windows lags: a window whose first tab is one of the addresses
// given is listed without tabs (or with its first tab only, as a first record of a long window
// is) until lagMs after it was first listed. With stoppedAfterMs, the record counts as stopped
// (as a browser's after a kill) once such a window was first listed that long ago and is still held
// back. Every other script, and every answer about addresses and profiles, is the inner runner's.
class LaggingBrowserRecord : public ScriptRunner {
public:
    LaggingBrowserRecord(std::shared_ptr<ScriptRunner> inner, std::function<qint64()> nowMs,
                         QStringList firstAddresses, qint64 lagMs, bool firstTabOnly,
                         std::optional<qint64> stoppedAfterMs = std::nullopt);

    QCoro::Task<ScriptResult> run(QString source) override;
    QString browserAddressAsOpened(const QString& address) const override;
    std::optional<QString> browserAddressRefusal(const QString& address) const override;
    bool browserRecordStopped(const QString& bundleIdentifier) const override;
    std::optional<QString> browserProfileRefusal(const QString& bundleIdentifier, const QString& userDataDir,
                                                 const QString& profileDirectory) const override;
    bool browserWindowHandedInParts(const QString& bundleIdentifier, const QStringList& addresses,
                                    const QString& userDataDir,
                                    const QString& profileDirectory) const override;

private:
    std::shared_ptr<ScriptRunner> m_inner;
    std::function<qint64()> m_nowMs;
    QStringList m_firstAddresses;
    qint64 m_lagMs;
    bool m_firstTabOnly;
    std::optional<qint64> m_stoppedAfterMs;
    // When a window with that first address was first listed.
    QHash<QString, qint64> m_firstListed;
};
