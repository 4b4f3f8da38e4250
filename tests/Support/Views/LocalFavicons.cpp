#include "Support/Views/LocalFavicons.h"

#include "Platform/Simulated/VirtualClock.h"
#include "ViewModels/FaviconLoader.h"

#include <QBuffer>
#include <QImage>
#include <QNetworkReply>
#include <QPainter>
#include <QUrlQuery>

#include <algorithm>

LocalFavicons::LocalFavicons(VirtualClock& clock) {
    m_server.route("/s2/favicons", [](const QString& request) {
        const QString host = QUrlQuery(request.section(u'?', 1)).queryItemValue("domain");
        return host == "broken.example" ? TestHttpServer::Response::ok("no icon", 404)
                                        : TestHttpServer::Response::ok(icon(host));
    });
    FaviconLoader::shared().setServiceAddress(QUrl(m_server.url(QString())));
    clock.setRealWorkPending([] { return busy(); });
}

LocalFavicons::~LocalFavicons() {
    FaviconLoader::shared().setServiceAddress(QUrl());
}

bool LocalFavicons::busy() {
    const QList<QNetworkReply*> replies = FaviconLoader::shared().findChildren<QNetworkReply*>();
    return std::any_of(replies.begin(), replies.end(), [](QNetworkReply* r) { return !r->isFinished(); });
}

QByteArray LocalFavicons::icon(const QString& host) {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    quint32 hash = 2166136261u; // the same colour in every run
    for (const QChar c : host) {
        hash = (hash ^ c.unicode()) * 16777619u;
    }
    painter.setBrush(QColor::fromHsv(int(hash % 360), 170, 210));
    painter.drawRoundedRect(QRectF(0, 0, 32, 32), 7, 7);
    QFont font;
    font.setPixelSize(20);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, host.left(1).toUpper());
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
