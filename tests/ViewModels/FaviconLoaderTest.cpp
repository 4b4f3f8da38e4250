#include "ViewModels/FaviconLoader.h"

#include "Support/DiagnosticsCapture.h"
#include "Support/TestHttpServer.h"
#include "Support/TestPlatform.h"

#include <QBuffer>
#include <QNetworkReply>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

using Response = TestHttpServer::Response;

QByteArray png(const QColor& colour) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A loader on a local stand-in for the favicon service, driven in virtual time while its
// requests are in flight.
class FaviconLoaderTest : public ::testing::Test {
protected:
    FaviconLoaderTest()
        : loader(QUrl(server.url(QString()))) {
        platform.clock().setRealWorkPending([this] {
            const QList<QNetworkReply*> replies = loader.findChildren<QNetworkReply*>();
            return std::any_of(replies.begin(), replies.end(),
                               [](QNetworkReply* r) { return !r->isFinished(); });
        });
    }

    // Asks for the page's host and waits for the answer.
    FaviconLoader::State load(const QString& pageURL) {
        const QString host = FaviconLoader::hostFor(pageURL).value_or(QString());
        loader.load(host);
        EXPECT_TRUE(
            platform.clock().runUntil([&] { return loader.state(host) != FaviconLoader::State::Loading; }));
        return loader.state(host);
    }

    TestPlatform platform;
    TestHttpServer server;
    FaviconLoader loader;
};

} // namespace

TEST(FaviconLoader, OnlyWebPagesOfPublicHostsAreLookedUp) {
    const struct {
        QString url;
        std::optional<QString> host;
    } cases[] = {
        {"https://example.org/a/b?c=d#e", "example.org"},
        {"HTTP://Mail.Example.ORG:8080/", "mail.example.org"},
        {"https://bücher.example/", "xn--bcher-kva.example"},
        {"file:///home/demo/notes.txt", std::nullopt},
        {"about:blank", std::nullopt},
        {"chrome://newtab/", std::nullopt},
        {"ftp://example.org/file", std::nullopt},
        {"javascript:alert(1)", std::nullopt},
        {"example.org/page", std::nullopt},
        {"https://", std::nullopt},
        {"https://exa mple.org/", std::nullopt},
        {"http://localhost:3000/", std::nullopt},
        {"http://dev.localhost/", std::nullopt},
        {"http://nas.local/", std::nullopt},
        {"http://router.lan/", std::nullopt},
        {"http://printer/", std::nullopt},
        {"http://127.0.0.1:8080/", std::nullopt},
        {"http://192.168.1.10/", std::nullopt},
        {"http://[::1]/", std::nullopt},
        {"https://93.184.216.34/", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FaviconLoader::hostFor(c.url), c.host) << c.url.toStdString();
    }
}

TEST(FaviconLoader, RequestCarriesOnlyTheHostAsAnEncodedQueryValue) {
    FaviconLoader loader(QUrl("https://icons.example.net/"));
    const std::optional<QUrl> url = loader.requestURL("example.org");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->toString(), "https://icons.example.net/s2/favicons?domain=example.org&sz=32");
    // Whatever reaches the query stays one value of the one key.
    const QUrlQuery hostile(*loader.requestURL("a&sz=1#x=y"));
    EXPECT_EQ(hostile.queryItemValue("domain", QUrl::FullyDecoded), "a&sz=1#x=y");
    EXPECT_EQ(hostile.allQueryItemValues("sz"), QStringList({"32"}));
    EXPECT_FALSE(loader.requestURL(QString()));
    // Host names travel over https only (plain http serves a local stand-in alone).
    for (const QString service : {"http://icons.example.net", "", "not a url"}) {
        EXPECT_FALSE(FaviconLoader(QUrl(service)).requestURL("example.org")) << service.toStdString();
    }
    EXPECT_TRUE(FaviconLoader(QUrl("http://127.0.0.1:9")).requestURL("example.org"));
}

TEST_F(FaviconLoaderTest, EachHostIsAskedForOnce) {
    server.route("/s2/favicons", [](const QString& request) {
        return Response::ok(png(request.contains("domain=example.org") ? Qt::red : Qt::blue));
    });
    int changed = 0;
    QObject::connect(&loader, &FaviconLoader::faviconChanged, [&changed] { ++changed; });
    EXPECT_EQ(load("https://example.org/one"), FaviconLoader::State::Loaded);
    EXPECT_EQ(load("https://example.org/two?x=1"), FaviconLoader::State::Loaded);
    EXPECT_EQ(load("http://example.org/"), FaviconLoader::State::Loaded);
    EXPECT_EQ(load("https://mail.example.org/inbox"), FaviconLoader::State::Loaded);
    EXPECT_EQ(server.requests(), QStringList({"/s2/favicons?domain=example.org&sz=32",
                                              "/s2/favicons?domain=mail.example.org&sz=32"}));
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(loader.favicon("example.org").pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(loader.favicon("mail.example.org").pixelColor(5, 5), QColor(Qt::blue));
}

TEST_F(FaviconLoaderTest, AnswerDecidesWhetherThereIsAnIcon) {
    DiagnosticsCapture diagnostics;
    server.route("/s2/favicons", [](const QString& request) {
        if (request.contains("domain=status.example")) {
            return Response::ok(png(Qt::green), 404); // an error status with an image still shows it
        }
        if (request.contains("domain=text.example")) {
            return Response::ok("no icon here", 404);
        }
        if (request.contains("domain=huge.example")) {
            return Response::ok(QByteArray(FaviconLoader::maxAnswerBytes + 1, 'x'));
        }
        return Response::dropped();
    });
    EXPECT_EQ(load("https://status.example/"), FaviconLoader::State::Loaded);
    EXPECT_EQ(load("https://text.example/"), FaviconLoader::State::NotRequested);
    EXPECT_TRUE(loader.favicon("text.example").isNull());
    EXPECT_EQ(load("https://huge.example/"), FaviconLoader::State::NotRequested);
    EXPECT_EQ(load("https://gone.example/"), FaviconLoader::State::NotRequested);
    ASSERT_FALSE(diagnostics.lines().isEmpty());
    EXPECT_TRUE(
        diagnostics.lines().last().startsWith("[FaviconImage] Failed to load favicon for gone.example: "))
        << diagnostics.lines().last().toStdString();
    // A failure is not remembered: a view made later asks again, and gets the icon once the
    // service answers.
    server.route("/s2/favicons", [](const QString&) { return Response::ok(png(Qt::green)); });
    const qsizetype asked = server.requests().size();
    EXPECT_EQ(load("https://gone.example/again"), FaviconLoader::State::Loaded);
    EXPECT_EQ(server.requests().size(), asked + 1);
}

TEST_F(FaviconLoaderTest, FileAndLocalTabsNeverReachTheService) {
    for (const QString page : {"file:///etc/passwd", "http://localhost/admin", "about:blank"}) {
        loader.load(FaviconLoader::hostFor(page).value_or(QString()));
    }
    EXPECT_TRUE(platform.clock().runUntil([] { return true; }));
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(loader.state(QString()), FaviconLoader::State::NotRequested);
}

TEST_F(FaviconLoaderTest, AnotherServiceForgetsTheIcons) {
    server.route("/s2/favicons", png(Qt::red));
    EXPECT_EQ(load("https://example.org/"), FaviconLoader::State::Loaded);
    loader.setServiceAddress(QUrl());
    EXPECT_EQ(loader.state("example.org"), FaviconLoader::State::NotRequested);
    EXPECT_EQ(load("https://example.org/"), FaviconLoader::State::NotRequested);
    EXPECT_EQ(server.requests().size(), 1);
}
