#include <hostservices/WebNotifyBus.h>

#include <QtTest>

// The bus posts a message to the receiver registered under a name.
class tst_WebNotifyBus : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { WebNotifyBus::unregisterReceiver(QStringLiteral("Main")); }

    void deliversLaterToTheNamedReceiver()
    {
        QObject context;
        QList<QJsonObject> listReceived;
        WebNotifyBus::registerReceiver(QStringLiteral("Main"), &context,
                                       [&](const QJsonObject& message) { listReceived.append(message); });
        QJsonObject message{{"method", "notifyWebLoginOut"}, {"params", QJsonObject()}};
        QVERIFY(WebNotifyBus::sendRPCNotify(message, QStringLiteral("Main")));
        // Posted: the receiver has not run inside the call.
        QVERIFY(listReceived.isEmpty());
        QTRY_COMPARE(listReceived.size(), 1);
        QCOMPARE(listReceived.first().value("method").toString(), QStringLiteral("notifyWebLoginOut"));
    }

    void unknownReceiverAnswersFalse()
    {
        QJsonObject message;
        QVERIFY(!WebNotifyBus::sendRPCNotify(message, QStringLiteral("Nobody")));
    }

    void receiverGoesWithItsContext()
    {
        int nCalls = 0;
        {
            QObject context;
            WebNotifyBus::registerReceiver(QStringLiteral("Main"), &context,
                                           [&](const QJsonObject&) { ++nCalls; });
        }
        QJsonObject message;
        QVERIFY(!WebNotifyBus::sendRPCNotify(message, QStringLiteral("Main")));
        QCoreApplication::processEvents();
        QCOMPARE(nCalls, 0);
    }

    void messageInFlightIsDroppedWhenTheContextGoes()
    {
        int nCalls = 0;
        auto* pContext = new QObject;
        WebNotifyBus::registerReceiver(QStringLiteral("Main"), pContext,
                                       [&](const QJsonObject&) { ++nCalls; });
        QJsonObject message;
        QVERIFY(WebNotifyBus::sendRPCNotify(message, QStringLiteral("Main")));
        delete pContext;
        QCoreApplication::processEvents();
        QCOMPARE(nCalls, 0);
    }

    void laterRegistrationReplacesEarlier()
    {
        QObject context;
        QString strWho;
        WebNotifyBus::registerReceiver(QStringLiteral("Main"), &context,
                                       [&](const QJsonObject&) { strWho = "first"; });
        WebNotifyBus::registerReceiver(QStringLiteral("Main"), &context,
                                       [&](const QJsonObject&) { strWho = "second"; });
        QJsonObject message;
        QVERIFY(WebNotifyBus::sendRPCNotify(message, QStringLiteral("Main")));
        QTRY_COMPARE(strWho, QStringLiteral("second"));
    }
};

QTEST_GUILESS_MAIN(tst_WebNotifyBus)
#include "tst_WebNotifyBus.moc"
