#pragma once

#include "CSimRoute.h"

#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

// The loopback HTTP server standing for the platform. Routes are added before start();
// the server then answers on its own threads until stop() or destruction.
//     CSimServer server;
//     server.addRoute(std::make_unique<CPublicFilesRoute>(strFolder));
//     server.start();  // port 0: the system picks a free one
//     QUrl url = server.url("/public/a.bin?rate=65536");
class CSimServer
{
public:
    CSimServer();
    ~CSimServer();
    CSimServer(const CSimServer&) = delete;
    CSimServer& operator=(const CSimServer&) = delete;

    void addRoute(std::unique_ptr<CSimRoute> pRoute);

    // Binds strHost:nPort (0 for any free port) and starts serving; false when binding fails.
    bool start(const QString& strHost = QStringLiteral("127.0.0.1"), int nPort = 0);
    // Stops listening and waits for the requests in progress, paced ones included, to end.
    void stop();

    bool isRunning() const { return m_thread.joinable(); }
    int port() const { return m_nPort; }
    // "http://127.0.0.1:<port>"
    QString baseUrl() const;
    // baseUrl() followed by strPathAndQuery, which starts with "/".
    QUrl url(const QString& strPathAndQuery) const;

private:
    std::unique_ptr<httplib::Server> m_pServer;
    std::vector<std::unique_ptr<CSimRoute>> m_vecRoutes;
    std::atomic_bool m_bStopping{false};
    std::atomic_bool m_bListenEnded{false};
    std::thread m_thread;
    QString m_strHost;
    int m_nPort = 0;
};
