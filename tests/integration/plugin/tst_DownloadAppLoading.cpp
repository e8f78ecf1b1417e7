#include <QtTest>

#include <QApplication>
#include <QPluginLoader>

#include "DownloadAppPlugin.h"

namespace {

// The host's side of the subscription.
struct RecordingHost : IAppPluginHost
{
    void registerNotify(const QStringList& listNames, void* pContext) override
    {
        m_listNames += listNames;
        m_pContext = pContext;
    }
    QStringList m_listNames;
    void* m_pContext = nullptr;
};

}  // namespace

// The shipped library as the client's plugin host meets it: a file loaded by QPluginLoader that
// subscribes to the host's notifications and puts its own window into the host's widget.
class tst_DownloadAppLoading : public QObject
{
    Q_OBJECT

private slots:
    void loadedAndDriven()
    {
        QPluginLoader loader(QString(DC_PLUGIN_FILE));
        QVERIFY2(loader.load(), qPrintable(loader.errorString()));
        QCOMPARE(loader.metaData().value("IID").toString(),
                 QString("DownloadApp.Interface.DownloadAppPlugin"));
        auto* pPlugin = qobject_cast<DownloadAppPlugin*>(loader.instance());
        QVERIFY(pPlugin != nullptr);
        QWidget host;
        host.resize(900, 600);
        RecordingHost recorder;
        int nContext = 0;
        pPlugin->initPlugin(&host, &recorder, &nContext);
        QCOMPARE(recorder.m_listNames.join(' '),
                 QString("NotifySwitchMoudle switchToSubMenu notifyDownloadingFileNum "
                         "AddDownloadTasksByPublicUrl NotifyDeviceStatus NotifyLoginOut"));
        QCOMPARE(recorder.m_pContext, &nContext);

        pPlugin->onNotify({nullptr, 0, "NotifySwitchMoudle", "{\"menuPath\":\"/#/client/noPage\"}"});
        QWidget* pWindow = host.findChild<QWidget*>(QString("QDownloadCenter"));
        QVERIFY(pWindow && pWindow->isVisibleTo(&host));
        pPlugin->onNotify({nullptr, 0, "NotifyLoginOut", ""});
        QVERIFY(!host.findChild<QWidget*>(QString("QDownloadCenter")));
    }
};

// As a host does: the library brings the embedded browser, which shares GL contexts, and that
// has to be said before the application exists.
int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    tst_DownloadAppLoading test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_DownloadAppLoading.moc"
