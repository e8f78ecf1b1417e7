#include <QtTest>

#include <QApplication>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <QWidget>

#include "DownloadAppPlugin.h"

namespace {

const char* const kIid = "DownloadApp.Interface.DownloadAppPlugin";

using InstanceFunction = QObject* (*)();

// The host's side of the subscription.
class RecordingHost : public IAppPluginHost
{
public:
    void registerNotify(const QStringList& names, void* context) override
    {
        m_listNames.append(names);
        m_listContexts.append(context);
    }

    QList<QStringList> m_listNames;
    QList<void*> m_listContexts;
};

}  // namespace

// The shipped library as the client's plugin host meets it: a file loaded by QPluginLoader.
class tst_DownloadAppLoading : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void metadata();
    void oneInstance();
    void casts_data();
    void casts();
    void drivenThroughTheInterface();

private:
    QPluginLoader m_loader;
};

void tst_DownloadAppLoading::initTestCase()
{
    m_loader.setFileName(QStringLiteral(DC_PLUGIN_FILE));
    QVERIFY2(m_loader.load(), qPrintable(m_loader.errorString()));
}

void tst_DownloadAppLoading::metadata()
{
    const QJsonObject metaData = m_loader.metaData();
    QCOMPARE(metaData.value("IID").toString(), QLatin1String(kIid));
    QCOMPARE(metaData.value("className").toString(), QStringLiteral("DownloadApp"));
    // No metadata file of its own.
    QVERIFY(metaData.value("MetaData").toObject().isEmpty());
}

void tst_DownloadAppLoading::oneInstance()
{
    QLibrary library(QStringLiteral(DC_PLUGIN_FILE));
    auto fnInstance = reinterpret_cast<InstanceFunction>(library.resolve("qt_plugin_instance"));
    QVERIFY(fnInstance);
    QObject* pFirst = fnInstance();
    QVERIFY(pFirst);
    QCOMPARE(fnInstance(), pFirst);
    QCOMPARE(m_loader.instance(), pFirst);
}

void tst_DownloadAppLoading::casts_data()
{
    QTest::addColumn<QByteArray>("baName");
    QTest::addColumn<bool>("bInterface");

    QTest::newRow("class name") << QByteArray("DownloadApp") << false;
    QTest::newRow("interface") << QByteArray("DownloadAppPlugin") << true;
    QTest::newRow("IID") << QByteArray(kIid) << true;
}

void tst_DownloadAppLoading::casts()
{
    QFETCH(QByteArray, baName);
    QFETCH(bool, bInterface);

    QObject* pObject = m_loader.instance();
    QCOMPARE(pObject->metaObject()->className(), "DownloadApp");
    void* pCast = pObject->qt_metacast(baName.constData());
    QVERIFY(pCast);
    // The interface is the second base: its address is not the object's.
    auto* pInterface = qobject_cast<DownloadAppPlugin*>(pObject);
    QVERIFY(pInterface);
    QVERIFY(static_cast<void*>(pInterface) != static_cast<void*>(pObject));
    QCOMPARE(pCast, bInterface ? static_cast<void*>(pInterface) : static_cast<void*>(pObject));
}

void tst_DownloadAppLoading::drivenThroughTheInterface()
{
    auto* pPlugin = qobject_cast<DownloadAppPlugin*>(m_loader.instance());
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

    // The library's own window, built from its own objects, lands in the host's widget.
    AppPluginNotification notification;
    notification.strName = QStringLiteral("NotifySwitchMoudle");
    notification.strJson = QStringLiteral(R"({"menuPath":"/#/client/noPage"})");
    pPlugin->onNotify(notification);
    QWidget* pWindow = host.findChild<QWidget*>(QStringLiteral("QDownloadCenter"));
    QVERIFY(pWindow);
    QVERIFY(pWindow->isVisibleTo(&host));
    QCOMPARE(pWindow->geometry(), QRect(0, 0, 900, 600));

    notification.strName = QStringLiteral("NotifyLoginOut");
    notification.strJson.clear();
    pPlugin->onNotify(notification);
    QVERIFY(!host.findChild<QWidget*>(QStringLiteral("QDownloadCenter")));
}

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
