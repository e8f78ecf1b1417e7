#include <QApplication>
#include <QDir>
#include <QJsonObject>
#include <QPluginLoader>
#include <QWidget>

#include <CDownloadCenterMgr.h>
#include <DownloadAppPlugin.h>

#include <cstdio>

// Exits 0 only if the facade works through the link and the host's way in (the plugin loaded by
// its interface id) reaches the same library, with its skin and its version.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The client runs in its own folder, where the skin is.
    QDir::setCurrent(QStringLiteral(CLIENT_DIR));
    QWidget host;
    CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
    facade.initWidget(&host);
    facade.clearDownloadData();
    const auto* pCentre = host.findChild<QWidget*>(QStringLiteral("QDownloadCenter"));

    QPluginLoader loader(QStringLiteral(PLUGIN_FILE));
    const QJsonObject metaData = loader.metaData();
    const QString strVersion =
        metaData.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("Version")).toString();
    const char* szFailure =
        !facade.isInited()                            ? "the facade did not embed the window"
        : !pCentre || pCentre->styleSheet().isEmpty() ? "the window found no skin"
        : metaData.value(QStringLiteral("IID")).toString() !=
                QLatin1String(qobject_interface_iid<DownloadAppPlugin*>())
            ? "no download centre in the plugin folder"
        : !qobject_cast<DownloadAppPlugin*>(loader.instance()) ? "the plugin does not load"
        : strVersion != QLatin1String(PACKAGE_VERSION)         ? "the plugin gives another version"
                                                               : nullptr;
    if (szFailure) {
        std::fprintf(stderr, "%s (%s; plugin %s, version '%s')\n", szFailure,
                     qPrintable(loader.errorString()), PLUGIN_FILE, qPrintable(strVersion));
        return 1;
    }
    std::printf("DownloadApp %s loaded\n", qPrintable(strVersion));
    CDownloadCenterMgr::destroyInstance();
    return 0;
}
