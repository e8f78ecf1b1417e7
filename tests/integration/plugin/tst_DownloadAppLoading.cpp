#include <QtTest>

#include <QApplication>
#include <QPluginLoader>

#include "DownloadAppPlugin.h"

namespace {

// The host's side of the subscription.
class RecordingHost : public IAppPluginHost
{
public:
    void registerNotify(const QStringList& names, void* context) override
    {
        m_listNames << names;
        m_listContexts << context;
    }
    QList<QStringList> m_listNames;
    QList<void*> m_listContexts;
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
        QPluginLoader loader(QStringLiteral(DC_PLUGIN_FILE));
        QVERIFY2(loader.load(), qPrintable(loader.errorString()));
        QCOMPARE(loader.metaData().value("IID").toString(),
                 QString("DownloadApp.Interface.DownloadAppPlugin"));
        auto* pPlugin = qobject_cast<DownloadAppPlugin*>(loader.instance());
        QVERIFY(pPlugin);
        QWidget host;
        host.resize(900, 600);
        RecordingHost recorder;
        int nContext = 0;
        pPlugin->initPlugin(&host, &recorder, &nContext);
        const QStringList listNames{"NotifySwitchMoudle",       "switchToSubMenu",
                                    "notifyDownloadingFileNum", "AddDownloadTasksByPublicUrl",
                                    "NotifyDeviceStatus",       "NotifyLoginOut"};
        QCOMPARE(recorder.m_listNames, QList<QStringList>{listNames});
        QCOMPARE(recorder.m_listContexts, QList<void*>{&nContext});

        AppPluginNotification notification;
        notification.strName = QStringLiteral("NotifySwitchMoudle");
        notification.strJson = QStringLiteral(R"({"menuPath":"/#/client/noPage"})");
        pPlugin->onNotify(notification);
        QWidget* pWindow = host.findChild<QWidget*>(QStringLiteral("QDownloadCenter"));
        QVERIFY(pWindow && pWindow->isVisibleTo(&host));
        QCOMPARE(pWindow->geometry(), QRect(0, 0, 900, 600));
        notification.strName = QStringLiteral("NotifyLoginOut");
        pPlugin->onNotify(notification);
        QVERIFY(!host.findChild<QWidget*>(QStringLiteral("QDownloadCenter")));
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
