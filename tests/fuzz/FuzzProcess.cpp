#include "FuzzProcess.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QNetworkProxy>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

namespace {

QString s_strFiles;

// Stands for the desktop. The module opens only its download folder or a file inside it, and
// never a web address: anything else is a finding.
class COpenCheck : public QObject
{
    Q_OBJECT

public slots:
    void onOpenUrl(const QUrl& url)
    {
        const QString strPath = QFileInfo(url.toLocalFile()).canonicalFilePath();
        if (!url.isLocalFile() || (strPath != s_strFiles && !strPath.startsWith(s_strFiles + '/'))) {
            qFatal("opened outside the download folder: %s", qUtf8Printable(url.toString()));
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static QTemporaryDir dirScratch(QDir::tempPath() + QStringLiteral("/dc-fuzz-XXXXXX"));
    const QByteArray baRoot = dirScratch.path().toUtf8();
    for (const char* szName :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "CLIENT_LOG_DIR"}) {
        qputenv(szName, baRoot + '/' + szName);
    }
    qputenv("CLIENT_SETTINGS_FILE", baRoot + "/client.ini");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // A log line per input would cost more than the input.
    qputenv("QT_LOGGING_RULES", "*.debug=false\n*.info=false\n*.warning=false");
    QDir().mkpath(baRoot + "/files");
    s_strFiles = QDir(baRoot + "/files").canonicalPath();
    QSettings settings(baRoot + "/client.ini", QSettings::IniFormat);
    settings.setValue(QStringLiteral("Local/WebUrl"), QStringLiteral("http://127.0.0.1:9"));
    settings.setValue(QStringLiteral("Download/DownloadPath"), s_strFiles);
    settings.setValue(QStringLiteral("Download/FileDownloadPath"), s_strFiles);

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    static int nArgc = 1;
    static char* argv[] = {const_cast<char*>("fuzz"), nullptr};
    new QApplication(nArgc, argv);
    // Skin paths are relative to the working folder; the skin sits beside the binaries.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    // The web view's requests go to a proxy where nothing listens; libcurl takes no proxy.
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 9));
    // A pointer that outlives exit: the leak check at exit does not count it.
    static COpenCheck* pCheck = new COpenCheck;
    for (const char* szScheme : {"file", "http", "https"}) {
        QDesktopServices::setUrlHandler(QLatin1String(szScheme), pCheck, "onOpenUrl");
    }
    return 0;
}

#include "FuzzProcess.moc"
