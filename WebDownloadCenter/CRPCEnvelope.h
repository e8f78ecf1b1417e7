#pragma once

#include <QJsonObject>
#include <QString>

// The shape of the messages exchanged with the web page and posted on the host's bus.
// Every sender numbers its messages with a counter of its own (a static int starting at 0,
// never reset) and passes it in, so that senders number independently by the same rule.
class CRPCEnvelope
{
public:
    // An envelope without "params": "result", "id" (the next number of nCounter when id is
    // -1, else id, which then consumes no number), "async" and "method".
    static QJsonObject make(int& nCounter, const QString& method, bool async, bool result, int id = -1);

    // A complete message as the module sends them: result true, async false, the next
    // number, and params ({} when there are none).
    static QJsonObject message(int& nCounter, const QString& method, const QJsonObject& params = {});

    // Compact UTF-8 JSON text, keys in QJsonObject's (sorted) order.
    static QString toCompactText(const QJsonObject& envelope);

    // Reads a request of the page: one JSON object with "method", "id", "async" and "params"
    // all present. strMethod receives "method" as text, params the "params" object ({} when it
    // is not an object). False, with both left untouched, when the text is no such request.
    static bool parseRequest(const QString& strText, QString& strMethod, QJsonObject& params);
};
