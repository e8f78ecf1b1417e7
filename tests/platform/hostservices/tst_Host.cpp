#include <hostcomponents/QRedDotLabel.h>
#include <hostservices/CBaseInfo.h>
#include <hostservices/CConfig.h>
#include <hostservices/CLocalConfig.h>
#include <hostservices/ClientSettings.h>
#include <hostservices/WebNotifyBus.h>

#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The host's stand-ins. Settings come from the INI file named by CLIENT_SETTINGS_FILE, read
// afresh on every call; the bus posts messages to the receiver registered last under a name,
// while its context lives; the red dot label paints a count on a badge.
class tst_Host : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Web address, skin, product, OSD, record folder, file folder.
    static QStringList settings()
    {
        using namespace ConfigInfo;
        const DownloadConfigInfo folders = CConfig::instance().getDownloadConfig();
        const QString strOsd = QVariant(CBaseInfo::instance().getOpenOSD()).toString();
        return QStringList{CLocalConfig::instance().getWebUrl(), CLocalConfig::instance().getSkinVersion()} +
               QStringList{CBaseInfo::instance().getProductName(), strOsd, folders.strDownloadPath} +
               QStringList{folders.strFileDownloadPath};
    }

    void write(const QByteArray& baIni)
    {
        QFile file(m_dir.filePath("c.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(baIni) == baIni.size());
    }

private slots:
    void initTestCase()
    {
        qputenv(ConfigInfo::ClientSettings::kPathVariable, m_dir.filePath("c.ini").toUtf8());
    }

    void cleanup() { QFile::remove(m_dir.filePath("c.ini")); }

    // Blank values keep the default; trailing slashes go; a change applies on the next read; a
    // file that cannot be read gives the defaults.
    void settingsDefaultsAndValues()
    {
        const QString strBase =
            QStandardPaths::writableLocation(QStandardPaths::DownloadLocation) + "/VideoClient";
        const QStringList listDefaults{"http://127.0.0.1:18080", "Default",        "Shop", "false",
                                       strBase + "/Record",      strBase + "/File"};
        QCOMPARE(settings(), listDefaults);
        write(
            "[Local]\nWebUrl=http://127.0.0.1:9000//\nSkinVersion=Dark\n[Base]\nProductName=\"  "
            "\"\nOpenOSD=1\n"
            "[Download]\nDownloadPath=/data/rec/\nFileDownloadPath=/f\n");
        QCOMPARE(settings(),
                 QStringList({"http://127.0.0.1:9000", "Dark", "Shop", "true", "/data/rec", "/f"}));
        write("[Base]\nProductName=Store\nOpenOSD=false\n");
        QCOMPARE(settings().mid(2, 2), QStringList({"Store", "false"}));
        write(QByteArray("\x00\x01garbage[[[\n=== \xff\xfe", 17));
        QCOMPARE(settings(), listDefaults);
    }

    void busDelivery()
    {
        QStringList listReceived;
        const auto receiver = [&](const QString& strWho) {
            return [&listReceived, strWho](const QJsonObject& message) {
                listReceived << strWho + " " + message.value("method").toString();
            };
        };
        QJsonObject message{{"method", "notifyWebLoginOut"}, {"params", QJsonObject()}};
        QVERIFY(!WebNotifyBus::sendRPCNotify(message, "Nobody"));
        {
            QObject gone;
            WebNotifyBus::registerReceiver("Main", &gone, receiver("gone"));
        }
        QVERIFY(!WebNotifyBus::sendRPCNotify(message, "Main"));
        auto* pContext = new QObject;
        WebNotifyBus::registerReceiver("Main", pContext, receiver("first"));
        WebNotifyBus::registerReceiver("Main", pContext, receiver("second"));
        QVERIFY(WebNotifyBus::sendRPCNotify(message, "Main"));
        QVERIFY(listReceived.isEmpty());  // posted, not run inside the call
        QTRY_COMPARE(listReceived, QStringList{"second notifyWebLoginOut"});
        // A message already on its way is dropped with its receiver's context.
        QVERIFY(WebNotifyBus::sendRPCNotify(message, "Main"));
        delete pContext;
        QCoreApplication::processEvents();
        QCOMPARE(listReceived.size(), 1);
    }

    // The badge: a red pill as wide as the label, its corners left clear, the text in white.
    void redDotLabelPaintsABadge()
    {
        for (const QSize& size : {QSize(16, 16), QSize(32, 16)}) {
            QRedDotLabel label;
            label.setFixedSize(size);
            label.setRedDotText(size.width() > 16 ? "99+" : "7");
            QImage image(size, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
            const auto isRed = [](QRgb rgb) {
                return qRed(rgb) > 200 && qGreen(rgb) < 110 && qBlue(rgb) < 110;
            };
            QVERIFY(isRed(image.pixel(2, 8)) && isRed(image.pixel(size.width() - 3, 8)));
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
            int nWhite = 0;
            for (int n = 0; n < size.width() * size.height(); ++n) {
                nWhite += qGray(image.pixel(n % size.width(), n / size.width())) > 230;
            }
            QVERIFY(nWhite > 0);
        }
    }
};

QTEST_MAIN(tst_Host)
#include "tst_Host.moc"
