#include "ViewModels/FaviconLoader.h"

#include "Platform/Diagnostics.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QUrlQuery>

#include <qcoro/qcoronetworkreply.h>

#include <memory>

namespace {

const QLatin1String faviconPath("/s2/favicons");

bool isUsableService(const QUrl& address) {
    if (!address.isValid() || address.host().isEmpty()) {
        return false;
    }
    if (address.scheme() == QLatin1String("https")) {
        return true;
    }
    // Plain http would show every host the user visits to the network, so it serves only a local
    // stand-in for the service.
    return address.scheme() == QLatin1String("http") && QHostAddress(address.host()).isLoopback();
}

} // namespace

FaviconLoader::FaviconLoader(const QUrl& serviceAddress, QObject* parent)
    : QObject(parent)
    , m_serviceAddress(serviceAddress)
    , m_network(new QNetworkAccessManager(this)) {
}

FaviconLoader::~FaviconLoader() = default;

FaviconLoader& FaviconLoader::shared() {
    static FaviconLoader* instance = new FaviconLoader(QUrl(QStringLiteral(ORDELLA_FAVICON_SERVICE_URL)));
    return *instance;
}

void FaviconLoader::setServiceAddress(const QUrl& serviceAddress) {
    m_serviceAddress = serviceAddress;
    m_entries.clear();
    ++m_generation;
}

bool FaviconLoader::isLocalHost(const QString& host) {
    if (host.isEmpty() || !QHostAddress(host).isNull()) {
        return true; // a numeric address names a machine, not a site
    }
    const QString name = host.endsWith(QLatin1Char('.')) ? host.chopped(1) : host;
    if (!name.contains(QLatin1Char('.'))) {
        return true; // "localhost", "intranet", "printer": names of the local network
    }
    static const QStringList localSuffixes{QStringLiteral(".localhost"),   QStringLiteral(".local"),
                                           QStringLiteral(".localdomain"), QStringLiteral(".internal"),
                                           QStringLiteral(".lan"),         QStringLiteral(".home.arpa")};
    return std::any_of(localSuffixes.begin(), localSuffixes.end(),
                       [&](const QString& suffix) { return name.endsWith(suffix, Qt::CaseInsensitive); });
}

std::optional<QString> FaviconLoader::hostFor(const QString& pageURL) {
    const QUrl url(pageURL, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        return std::nullopt;
    }
    // The encoded form (international names in their ASCII form) is what the service looks up.
    const QString host = url.host(QUrl::FullyEncoded).toLower();
    if (isLocalHost(host)) {
        return std::nullopt;
    }
    return host;
}

std::optional<QUrl> FaviconLoader::requestURL(const QString& host) const {
    if (!isUsableService(m_serviceAddress) || host.isEmpty()) {
        return std::nullopt;
    }
    QUrl request = m_serviceAddress;
    QString path = request.path();
    while (path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    request.setPath(path + faviconPath);
    // Encoded as query values, so nothing in the host can add keys or change the address.
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("domain"), host);
    query.addQueryItem(QStringLiteral("sz"), QString::number(requestedSize));
    request.setQuery(query);
    request.setFragment(QString());
    if (!request.isValid()) {
        return std::nullopt;
    }
    return request;
}

FaviconLoader::State FaviconLoader::state(const QString& host) const {
    return m_entries.value(host).state;
}

QImage FaviconLoader::favicon(const QString& host) const {
    return m_entries.value(host).image;
}

void FaviconLoader::load(const QString& host) {
    if (host.isEmpty() || state(host) != State::NotRequested) {
        return;
    }
    const std::optional<QUrl> request = requestURL(host);
    if (!request) {
        emit faviconChanged(host);
        return;
    }
    m_entries.insert(host, Entry{State::Loading, QImage()});
    fetch(host, *request, m_generation);
}

QCoro::Task<void> FaviconLoader::fetch(QString host, QUrl request, quint64 generation) {
    QPointer<FaviconLoader> self(this);
    std::unique_ptr<QNetworkReply> reply(m_network->get(QNetworkRequest(request)));
    QNetworkReply* r = reply.get();
    // An answer larger than any icon is cut off instead of read into memory.
    connect(r, &QNetworkReply::downloadProgress, r, [r](qint64 received, qint64 total) {
        if (received > maxAnswerBytes || total > maxAnswerBytes) {
            r->abort();
        }
    });
    co_await reply.get();
    if (!self || self->m_generation != generation) {
        co_return;
    }
    if (reply->error() != QNetworkReply::NoError && reply->error() < QNetworkReply::ContentAccessDenied) {
        // Network failures only: an error status with an image body still shows the image.
        Diagnostics::print(QStringLiteral("[FaviconImage] Failed to load favicon for ") + host +
                           QStringLiteral(": ") + reply->errorString());
        self->finish(host, QImage());
        co_return;
    }
    const QByteArray body = reply->readAll();
    self->finish(host, body.size() > maxAnswerBytes ? QImage() : QImage::fromData(body));
}

void FaviconLoader::finish(const QString& host, const QImage& image) {
    if (image.isNull()) {
        m_entries.remove(host);
    } else {
        m_entries.insert(host, Entry{State::Loaded, image});
    }
    emit faviconChanged(host);
}
