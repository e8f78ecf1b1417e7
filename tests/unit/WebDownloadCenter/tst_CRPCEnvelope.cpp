#include <CDownloadByPublicUrl.h>
#include <CRPCEnvelope.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

// Messages to the page and the bus: their shape, their numbering per sender, and their text.
class tst_CRPCEnvelope : public QObject
{
    Q_OBJECT

private slots:
    // Counters start at one and count on; an explicit id takes no number; the runner keeps
    // its own counter, untouched by anyone else's.
    void numbering()
    {
        int nWindow = 0;
        const auto id = [](const QJsonObject& envelope) { return envelope.value("id").toInt(); };
        QCOMPARE(QList<int>({id(CRPCEnvelope::make(nWindow, "w", false, true)),
                             id(CRPCEnvelope::make(nWindow, "w", false, true, 77)),
                             id(CDownloadByPublicUrl::makeRPCObject("r", false, true)),
                             id(CRPCEnvelope::make(nWindow, "w", false, true)),
                             id(CDownloadByPublicUrl::makeRPCObject("r", false, true)), nWindow}),
                 QList<int>({1, 77, 1, 2, 2, 2}));
    }

    // Keys sorted, UTF-8, escaped as JSON wants.
    void compactText()
    {
        int nCounter = 0;
        const QJsonObject message = CRPCEnvelope::message(
            nCounter, "m",
            {{"text", QStringLiteral("r\u00e9sum\u00e9 \"q\"\n")}, {"list", QJsonArray{1, 2}}});
        QCOMPARE(CRPCEnvelope::toCompactText(message),
                 QStringLiteral("{\"async\":false,\"id\":1,\"method\":\"m\",\"params\":{\"list\":[1,2],"
                                "\"text\":\"r\u00e9sum\u00e9 \\\"q\\\"\\n\"},\"result\":true}"));
    }

    void requests_data()
    {
        QTest::addColumn<QString>("strText");
        QTest::addColumn<QString>("strParsed");  // method and params as compact text; "": refused
        QTest::newRow("complete") << R"({"method":"open","id":3,"async":true,"params":{"taskId":"t1"}})"
                                  << R"(open {"taskId":"t1"})";
        QTest::newRow("values of any type") << R"({"method":"m","id":null,"async":"no","params":{}})"
                                            << "m {}";
        QTest::newRow("params not an object") << R"({"method":"m","id":1,"async":false,"params":[1]})"
                                              << "m {}";
        QTest::newRow("without method") << R"({"id":1,"async":false,"params":{}})"
                                        << "";
        QTest::newRow("without id") << R"({"method":"m","async":false,"params":{}})"
                                    << "";
        QTest::newRow("without async") << R"({"method":"m","id":1,"params":{}})"
                                       << "";
        QTest::newRow("without params") << R"({"method":"m","id":1,"async":false})"
                                        << "";
        QTest::newRow("an array") << R"([{"method":"m","id":1,"async":false,"params":{}}])"
                                  << "";
        QTest::newRow("not JSON") << "method=m"
                                  << "";
        QTest::newRow("empty") << ""
                               << "";
    }

    // A refused request leaves the outputs as they were.
    void requests()
    {
        QFETCH(QString, strText);
        QFETCH(QString, strParsed);
        QString strMethod = "untouched";
        QJsonObject params{{"untouched", true}};
        QCOMPARE(CRPCEnvelope::parseRequest(strText, strMethod, params), !strParsed.isEmpty());
        QCOMPARE(strMethod + " " + QJsonDocument(params).toJson(QJsonDocument::Compact),
                 strParsed.isEmpty() ? R"(untouched {"untouched":true})" : strParsed);
    }
};

QTEST_MAIN(tst_CRPCEnvelope)
#include "tst_CRPCEnvelope.moc"
