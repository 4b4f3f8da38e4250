#include "Support/LaggingBrowserRecord.h"

LaggingBrowserRecord::LaggingBrowserRecord(std::shared_ptr<ScriptRunner> inner, std::function<qint64()> nowMs,
                                           QStringList firstAddresses, qint64 lagMs, bool firstTabOnly,
                                           std::optional<qint64> stoppedAfterMs)
    : m_inner(std::move(inner))
    , m_nowMs(std::move(nowMs))
    , m_firstAddresses(std::move(firstAddresses))
    , m_lagMs(lagMs)
    , m_firstTabOnly(firstTabOnly)
    , m_stoppedAfterMs(stoppedAfterMs) {
}

QCoro::Task<ScriptResult> LaggingBrowserRecord::run(QString source) {
    const bool listing = source.contains(QStringLiteral("set windowTabs to {}"));
    ScriptResult result = co_await m_inner->run(std::move(source));
    if (!listing || !result.descriptor) {
        co_return result;
    }
    const qint64 now = m_nowMs();
    ScriptDescriptor lagging = ScriptDescriptor::list();
    for (int i = 1; i <= result.descriptor->numberOfItems(); ++i) {
        const ScriptDescriptor& tabs = *result.descriptor->descriptorAtIndex(i);
        const ScriptDescriptor* first = tabs.descriptorAtIndex(1);
        const QString address = first && first->descriptorAtIndex(1)
                                    ? first->descriptorAtIndex(1)->stringValue().value_or(QString())
                                    : QString();
        if (!m_firstAddresses.contains(address)) {
            lagging.append(tabs);
            continue;
        }
        const qint64 since = *m_firstListed.insert(address, m_firstListed.value(address, now));
        ScriptDescriptor shown = ScriptDescriptor::list();
        if (m_firstTabOnly) {
            shown.append(*first);
        }
        lagging.append(now - since < m_lagMs ? shown : tabs);
    }
    result.descriptor = lagging;
    co_return result;
}

QString LaggingBrowserRecord::browserAddressAsOpened(const QString& address) const {
    return m_inner->browserAddressAsOpened(address);
}

bool LaggingBrowserRecord::browserRecordStopped(const QString& bundleIdentifier) const {
    if (!m_stoppedAfterMs) {
        return m_inner->browserRecordStopped(bundleIdentifier);
    }
    const qint64 now = m_nowMs();
    for (const qint64 since : m_firstListed) {
        if (now - since >= *m_stoppedAfterMs && now - since < m_lagMs) {
            return true;
        }
    }
    return false;
}

std::optional<QString> LaggingBrowserRecord::browserAddressRefusal(const QString& address) const {
    return m_inner->browserAddressRefusal(address);
}

std::optional<QString> LaggingBrowserRecord::browserProfileRefusal(const QString& bundleIdentifier,
                                                                   const QString& userDataDir,
                                                                   const QString& profileDirectory) const {
    return m_inner->browserProfileRefusal(bundleIdentifier, userDataDir, profileDirectory);
}

bool LaggingBrowserRecord::browserWindowHandedInParts(const QString& bundleIdentifier,
                                                      const QStringList& addresses,
                                                      const QString& userDataDir,
                                                      const QString& profileDirectory) const {
    return m_inner->browserWindowHandedInParts(bundleIdentifier, addresses, userDataDir, profileDirectory);
}
