#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <optional>

class QNetworkAccessManager;

// The site icons of browser tabs, fetched from a favicon web service by host name
// ("<service>/s2/favicons?domain=<host>&sz=32"). An icon that arrived is kept in memory for the
// life of the process, so every view of a page of that host shows it without asking again; a
// failure is not remembered: faviconChanged tells the views waiting for it, which keep their globe,
// and a view made later asks again. A host is asked for once at a time. The fetch never blocks.
//
// A tab's address is untrusted text. Only http and https pages with a host name are looked up;
// files, local names and numeric addresses never leave the machine. Main thread only.
class FaviconLoader : public QObject {
    Q_OBJECT
public:
    // A host whose fetch failed is NotRequested again.
    enum class State { NotRequested, Loading, Loaded };

    // The size asked of the service, in pixels, whatever size the icon is drawn at.
    static constexpr int requestedSize = 32;
    // A larger answer is no icon.
    static constexpr qint64 maxAnswerBytes = 1024 * 1024;

    // serviceAddress: scheme and host (and an optional path prefix) of the favicon service; https,
    // or http on a loopback address. An empty or unusable one fetches nothing.
    explicit FaviconLoader(const QUrl& serviceAddress, QObject* parent = nullptr);
    ~FaviconLoader() override;

    // The process-wide loader, on the service address Ordella was built with.
    static FaviconLoader& shared();

    const QUrl& serviceAddress() const { return m_serviceAddress; }
    // Moves to another service and forgets every icon and failure.
    void setServiceAddress(const QUrl& serviceAddress);

    // The host whose icon a page shows: for an http or https address with a host name that is
    // not local; nothing otherwise.
    static std::optional<QString> hostFor(const QString& pageURL);
    // Names that only mean something on this machine or its network, and numeric addresses.
    static bool isLocalHost(const QString& host);
    // The service's address for host's icon; nothing when the service cannot be asked.
    std::optional<QUrl> requestURL(const QString& host) const;

    State state(const QString& host) const;
    // The icon of host; a null image until it is loaded.
    QImage favicon(const QString& host) const;
    // Starts a fetch of host's icon, unless it is loaded or being fetched.
    void load(const QString& host);

signals:
    // host's icon arrived, or its fetch failed.
    void faviconChanged(const QString& host);

private:
    struct Entry {
        State state = State::NotRequested;
        QImage image;
    };

    QCoro::Task<void> fetch(QString host, QUrl request, quint64 generation);
    void finish(const QString& host, const QImage& image);

    QUrl m_serviceAddress;
    QNetworkAccessManager* m_network;
    QHash<QString, Entry> m_entries;
    // Counts service changes, so an answer to an earlier service is dropped.
    quint64 m_generation = 0;
};
