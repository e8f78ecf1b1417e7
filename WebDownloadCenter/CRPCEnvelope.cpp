#include "CRPCEnvelope.h"

#include <QJsonDocument>
#include <QJsonParseError>

QJsonObject CRPCEnvelope::make(int& nCounter, const QString& method, bool async, bool result, int id)
{
    QJsonObject envelope;
    envelope.insert(QStringLiteral("result"), result);
    envelope.insert(QStringLiteral("id"), id == -1 ? ++nCounter : id);
    envelope.insert(QStringLiteral("async"), async);
    envelope.insert(QStringLiteral("method"), method);
    return envelope;
}

QJsonObject CRPCEnvelope::message(int& nCounter, const QString& method, const QJsonObject& params)
{
    QJsonObject envelope = make(nCounter, method, false, true);
    envelope.insert(QStringLiteral("params"), params);
    return envelope;
}

QString CRPCEnvelope::toCompactText(const QJsonObject& envelope)
{
    return QString::fromUtf8(QJsonDocument(envelope).toJson(QJsonDocument::Compact));
}

bool CRPCEnvelope::parseRequest(const QString& strText, QString& strMethod, QJsonObject& params)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(strText.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return false;
    }
    const QJsonObject request = document.object();
    for (const char* pKey : {"method", "id", "async", "params"}) {
        if (!request.contains(QLatin1String(pKey))) {
            return false;
        }
    }
    strMethod = request.value(QStringLiteral("method")).toString();
    params = request.value(QStringLiteral("params")).toObject();
    return true;
}
