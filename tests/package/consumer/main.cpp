#include <QApplication>
#include <QDir>
#include <QJsonObject>
#include <QPluginLoader>
#include <QWidget>

#include <CDownloadCenterMgr.h>
#include <DownloadAppPlugin.h>

#include <cstdio>

// Exits 0 only if the facade works through the link and the host's way in (the plugin loaded by
// its interface id) reaches the same library.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The client runs in its own folder, where the skin is.
    QDir::setCurrent(QStringLiteral(CLIENT_DIR));

    QWidget host;
    CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
    facade.initWidget(&host);
    if (!facade.isInited()) {
        std::fprintf(stderr, "the facade did not embed the window\n");
        return 1;
    }
    facade.clearDownloadData();
    // The skin is read from the client's folder: the window has its style sheet from there.
    const auto* pCentre = host.findChild<QWidget*>(QStringLiteral("QDownloadCenter"));
    if (!pCentre || pCentre->styleSheet().isEmpty()) {
        std::fprintf(stderr, "the window found no skin under %s\n", CLIENT_DIR);
        return 1;
    }

    QPluginLoader loader(QStringLiteral(PLUGIN_FILE));
    const QJsonObject metaData = loader.metaData();
    if (metaData.value(QStringLiteral("IID")).toString() !=
        QLatin1String(qobject_interface_iid<DownloadAppPlugin*>())) {
        std::fprintf(stderr, "no download centre at %s: %s\n", PLUGIN_FILE, qPrintable(loader.errorString()));
        return 1;
    }
    auto* pPlugin = qobject_cast<DownloadAppPlugin*>(loader.instance());
    if (!pPlugin) {
        std::fprintf(stderr, "the plugin does not load: %s\n", qPrintable(loader.errorString()));
        return 1;
    }
    // The library the host loads says which version it is, the same as the package.
    const QString strVersion =
        metaData.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("Version")).toString();
    if (strVersion != QLatin1String(PACKAGE_VERSION)) {
        std::fprintf(stderr, "the plugin says version '%s', the package %s\n", qPrintable(strVersion),
                     PACKAGE_VERSION);
        return 1;
    }
    std::printf("DownloadApp %s loaded\n", qPrintable(strVersion));
    CDownloadCenterMgr::destroyInstance();
    return 0;
}
