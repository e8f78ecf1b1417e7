#include <CDownloadByPublicUrl.h>
#include <CRPCEnvelope.h>

#include <QJsonArray>
#include <QtTest>

// Messages to the page and the bus: their shape, their numbering per sender, and their text.
class tst_CRPCEnvelope : public QObject
{
    Q_OBJECT

private slots:
    void firstEnvelopeIsOneThenConsecutive()
    {
        int nCounter = 0;
        QCOMPARE(CRPCEnvelope::make(nCounter, "a", false, true).value("id").toInt(), 1);
        QCOMPARE(CRPCEnvelope::make(nCounter, "b", false, true).value("id").toInt(), 2);
        QCOMPARE(nCounter, 2);
    }

    void anExplicitIdConsumesNoNumber()
    {
        int nCounter = 0;
        QCOMPARE(CRPCEnvelope::make(nCounter, "a", false, true, 77).value("id").toInt(), 77);
        QCOMPARE(nCounter, 0);
        QCOMPARE(CRPCEnvelope::make(nCounter, "a", false, true).value("id").toInt(), 1);
    }

    void sendersCountIndependently()
    {
        int nWindow = 0;
        CRPCEnvelope::make(nWindow, "w", false, true);
        CRPCEnvelope::make(nWindow, "w", false, true);
        // The runner keeps its own counter, untouched by anyone else's.
        QCOMPARE(CDownloadByPublicUrl::makeRPCObject("r", false, true).value("id").toInt(), 1);
        QCOMPARE(CRPCEnvelope::make(nWindow, "w", false, true).value("id").toInt(), 3);
        QCOMPARE(CDownloadByPublicUrl::makeRPCObject("r", false, true).value("id").toInt(), 2);
    }

    void envelopeCarriesWhatItIsGiven_data()
    {
        QTest::addColumn<bool>("async");
        QTest::addColumn<bool>("result");
        QTest::newRow("as the module sends") << false << true;
        QTest::newRow("flipped") << true << false;
    }

    void envelopeCarriesWhatItIsGiven()
    {
        QFETCH(bool, async);
        QFETCH(bool, result);
        int nCounter = 5;
        const QJsonObject envelope = CRPCEnvelope::make(nCounter, "someMethod", async, result);
        QCOMPARE(envelope,
                 (QJsonObject{{"result", result}, {"id", 6}, {"async", async}, {"method", "someMethod"}}));
        QVERIFY(envelope.value("result").isBool());
        QVERIFY(envelope.value("async").isBool());
    }

    void compactTextSortsKeys()
    {
        int nCounter = 0;
        const QJsonObject message = CRPCEnvelope::message(nCounter, "notifyWebRefreshDownloadFilePage");
        QCOMPARE(CRPCEnvelope::toCompactText(message),
                 QStringLiteral("{\"async\":false,\"id\":1,\"method\":\"notifyWebRefreshDownloadFilePage\","
                                "\"params\":{},\"result\":true}"));
    }

    void compactTextIsUtf8AndEscaped()
    {
        int nCounter = 0;
        const QJsonObject message = CRPCEnvelope::message(
            nCounter, "m",
            {{"text", QStringLiteral("r\u00e9sum\u00e9 \"q\"\n")}, {"list", QJsonArray{1, 2}}});
        QCOMPARE(CRPCEnvelope::toCompactText(message),
                 QStringLiteral("{\"async\":false,\"id\":1,\"method\":\"m\",\"params\":{\"list\":[1,2],"
                                "\"text\":\"r\u00e9sum\u00e9 "
                                "\\\"q\\\"\\n\"},\"result\":true}"));
    }

    void requests_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QJsonObject>("params");
        const QJsonObject params{{"taskId", "t1"}};
        QTest::newRow("complete")
            << R"({"method":"openDownloadFiledir","id":3,"async":true,"params":{"taskId":"t1"}})" << true
            << "openDownloadFiledir" << params;
        QTest::newRow("values of any type")
            << R"({"method":"m","id":null,"async":"no","params":{}})" << true << "m" << QJsonObject();
        QTest::newRow("params not an object")
            << R"({"method":"m","id":1,"async":false,"params":[1]})" << true << "m" << QJsonObject();
        QTest::newRow("without method")
            << R"({"id":1,"async":false,"params":{}})" << false << "" << QJsonObject();
        QTest::newRow("without id") << R"({"method":"m","async":false,"params":{}})" << false << ""
                                    << QJsonObject();
        QTest::newRow("without async")
            << R"({"method":"m","id":1,"params":{}})" << false << "" << QJsonObject();
        QTest::newRow("without params")
            << R"({"method":"m","id":1,"async":false})" << false << "" << QJsonObject();
        QTest::newRow("an array") << R"([{"method":"m","id":1,"async":false,"params":{}}])" << false << ""
                                  << QJsonObject();
        QTest::newRow("not JSON") << "method=m" << false << "" << QJsonObject();
        QTest::newRow("empty") << "" << false << "" << QJsonObject();
    }

    void requests()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(QString, method);
        QFETCH(QJsonObject, params);
        QString strMethod = "untouched";
        QJsonObject parsed{{"untouched", true}};
        QCOMPARE(CRPCEnvelope::parseRequest(text, strMethod, parsed), accepted);
        if (accepted) {
            QCOMPARE(strMethod, method);
            QCOMPARE(parsed, params);
        } else {
            QCOMPARE(strMethod, QStringLiteral("untouched"));
            QCOMPARE(parsed, (QJsonObject{{"untouched", true}}));
        }
    }
};

QTEST_MAIN(tst_CRPCEnvelope)
#include "tst_CRPCEnvelope.moc"
