#pragma once

#include "Support/TestHttpServer.h"

#include <QByteArray>
#include <QString>

class VirtualClock;

// A favicon service on 127.0.0.1 for the views of a test: each host gets a round icon in a colour
// of its own with its first letter ("broken.example" gets none), the same in every run. The
// process's favicon loader asks it while this object lives; virtual time stands still while one
// of its answers is on the way.
class LocalFavicons {
public:
    explicit LocalFavicons(VirtualClock& clock);
    ~LocalFavicons();
    LocalFavicons(const LocalFavicons&) = delete;
    LocalFavicons& operator=(const LocalFavicons&) = delete;

    // Whether a favicon request is still on its way.
    static bool busy();
    // The requested paths with their query, in order.
    const QStringList& requests() const { return m_server.requests(); }
    // The icon drawn for host, as PNG data.
    static QByteArray icon(const QString& host);

private:
    TestHttpServer m_server;
};
