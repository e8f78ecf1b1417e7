#include "CDeviceRoute.h"
#include "CGeneratedRoute.h"
#include "CPublicFilesRoute.h"
#include "CSimServer.h"
#include "CWebClientRoute.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <csignal>
#include <memory>

// The simulator as a program: serves until it is killed. The first line on standard output
// is the base address, for scripts that started it with port 0.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dc-simulator"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Loopback server for the download centre: /public/<file> serves the files of a "
                       "folder, /generated/<size>[/<name>] deterministic bytes. Query knobs: rate, "
                       "dropAfter, stallAfter, length=unknown, status, redirect, range=ignore, rangeFrom."
                       " /device/<id>/channel/<n>/record?begin=<s>&end=<s>[&bitrate=<bit/s>] serves a "
                       "framed recording, /device/<id>/channel/<n>/pictures?begin=<s>&end=<s>[&count=<n>]"
                       "[&size=<bytes>] a picture package."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringList{QStringLiteral("p"), QStringLiteral("port")},
                                        QStringLiteral("Port to listen on; 0 picks a free one."),
                                        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption publicOption(QStringLiteral("public"),
                                          QStringLiteral("Folder served under /public/."),
                                          QStringLiteral("folder"), QDir::currentPath());
    parser.addOption(portOption);
    parser.addOption(publicOption);
    const QCommandLineOption webOption(
        QStringLiteral("web"),
        QStringLiteral("Folder of the web client's download-centre page, served under /client/base/client/."),
        QStringLiteral("folder"), QCoreApplication::applicationDirPath() + QStringLiteral("/web"));
    parser.addOption(webOption);
    parser.process(app);

    bool bPortOk = false;
    const int nPort = parser.value(portOption).toInt(&bPortOk);
    QTextStream err(stderr);
    if (!bPortOk || nPort < 0 || nPort > 65535) {
        err << "invalid port: " << parser.value(portOption) << "\n";
        return 2;
    }

    CSimServer server;
    server.addRoute(std::make_unique<CPublicFilesRoute>(parser.value(publicOption)));
    server.addRoute(std::make_unique<CGeneratedRoute>());
    server.addRoute(std::make_unique<CDeviceRoute>());
    server.addRoute(std::make_unique<CWebClientRoute>(parser.value(webOption), parser.value(publicOption)));
    if (!server.start(QStringLiteral("127.0.0.1"), nPort)) {
        err << "cannot listen on 127.0.0.1:" << nPort << "\n";
        return 1;
    }
    QTextStream out(stdout);
    out << server.baseUrl() << Qt::endl;

    // Killing the process is the way to stop it; the event loop only keeps it alive.
    std::signal(SIGPIPE, SIG_IGN);
    return app.exec();
}
