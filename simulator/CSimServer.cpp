#include "CSimServer.h"

#include <httplib.h>

#include <sys/socket.h>

#include <chrono>

namespace {

// Enough threads for several paced transfers at once plus the kept-alive connections of a
// client; the library's default is sized for the machine, not for the tests.
constexpr std::size_t kThreads = 32;

}  // namespace

CSimServer::CSimServer() : m_pServer(std::make_unique<httplib::Server>())
{
    m_pServer->new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    // Clients that read slowly (a bounded read buffer behind a busy event loop) must not be
    // cut off by the server.
    m_pServer->set_write_timeout(60, 0);
    m_pServer->set_read_timeout(10, 0);
    m_pServer->set_keep_alive_timeout(2);
    // The library's default also sets SO_REUSEPORT, which lets a second server share a port
    // that is already taken; a port in use must be refused instead.
    m_pServer->set_socket_options([](socket_t sock) {
        int nYes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &nYes, sizeof(nYes));
    });
}

CSimServer::~CSimServer()
{
    stop();
}

void CSimServer::addRoute(std::unique_ptr<CSimRoute> pRoute)
{
    if (!pRoute || isRunning()) {
        return;
    }
    pRoute->install(*m_pServer, m_bStopping);
    m_vecRoutes.push_back(std::move(pRoute));
}

bool CSimServer::start(const QString& strHost, int nPort)
{
    if (isRunning()) {
        return true;
    }
    const std::string strBindHost = strHost.toStdString();
    if (nPort == 0) {
        nPort = m_pServer->bind_to_any_port(strBindHost);
    } else if (!m_pServer->bind_to_port(strBindHost, nPort)) {
        nPort = -1;
    }
    if (nPort <= 0) {
        return false;
    }
    m_strHost = strHost;
    m_nPort = nPort;
    m_bStopping = false;
    m_bListenEnded = false;
    // The socket listens already, so requests made right after start() wait in its queue.
    m_thread = std::thread([this] {
        m_pServer->listen_after_bind();
        m_bListenEnded = true;
    });
    // stop() is ignored by the library until its loop runs, so start() waits for the loop.
    while (!m_pServer->is_running() && !m_bListenEnded) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void CSimServer::stop()
{
    if (!isRunning()) {
        return;
    }
    m_bStopping = true;
    m_pServer->stop();
    m_thread.join();
}

QString CSimServer::baseUrl() const
{
    return QStringLiteral("http://%1:%2").arg(m_strHost).arg(m_nPort);
}

QUrl CSimServer::url(const QString& strPathAndQuery) const
{
    return QUrl(baseUrl() + strPathAndQuery);
}
