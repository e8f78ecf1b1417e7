#include "EventScript.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTimer>
#include <QVariant>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>

#include "ScriptedEngine.h"

namespace {

const QList<QPair<QString, QString>> kCallNames = {
    {"rec.startDownload", "start"},     {"rec.stopDownload", "stop"},
    {"rec.deleteDownloadFile", "file"}, {"rec.destoryDownloadObj", "destroy"},
    {"rec.setDownloadSpeed", "speed"},  {"rec.getDownloadSpeedAndPercent", "poll"},
    {"pic.startDownload", "pic.start"}, {"pic.removeDownloadPicTask", "pic.remove"},
    {"pic.adjustFileSize", "pic.size"}, {"pic.clearAllPicDownloadObj", "pic.clear"}};

// Answers of the engine: "s3=-2" answers startDownload(3) with -2, "slot=0" says no slot is free,
// "listed=1,3" lists tasks 1 and 3; an empty value takes the answer back.
const QHash<QString, QString> kAnswers = {{"s", "startDownload"},
                                          {"slot", "canStillDownload"},
                                          {"disk", "isLeftDiskFreeSpaceEnough"},
                                          {"n", "getCurDownloadNumber"},
                                          {"listed", "getCurDownloadIndexs"},
                                          {"v", "setDownloadSpeed"},
                                          {"ps", "pic.startDownload"},
                                          {"pr", "pic.removeDownloadPicTask"},
                                          {"pn", "pic.getPicDownloadSize"},
                                          {"pbusy", "pic.isPicDownloadingNow"}};

CRecordDownloadManager& rec()
{
    return CRecordDownloadManager::getInstance();
}

CPicDownloadManager& pic()
{
    return CPicDownloadManager::getInstance();
}

}  // namespace

EventScript::EventScript()
{
    nextRecord.strFileName = QStringLiteral("r.mp4");
    nextRecord.strChannelName = QStringLiteral("Channel of r.mp4");
    nextRecord.strShopName = QStringLiteral("Shop of r.mp4");
    nextRecord.strDeviceId = QStringLiteral("device-a");
    nextRecord.stRecordFile.strBeginTime = "2024-03-01 08:00:00";
    nextRecord.stRecordFile.strEndTime = "2024-03-01 09:00:00";
    nextRecord.stRecordFile.nFileSize = 1536;
    m_hashEvents = {
        {"size", [this](const Event& e) { nextRecord.stRecordFile.nFileSize = e.s.toLongLong(); }},
        {"kind", [this](const Event& e) { nextRecord.nSourceKind = e.s.toInt(); }},
        {"mode", [this](const Event& e) { nextRecord.nDownloadMode = e.s.toInt(); }},
        {"dev", [this](const Event& e) { nextRecord.strDeviceId = "device-" + e.s; }},
        // The engine: progress of a task and bytes of the last second, then its notices.
        {"p", [](const Event& e) { ScriptedEngine::setProgress(e.n, e.s.toFloat(), "7KB/s"); }},
        {"bytes", [](const Event& e) { ScriptedEngine::setSecondDownloadSize(e.s.toLong()); }},
        {"done", [](const Event& e) { emit rec().sgnDownloadStateNotify(e.n, true, DownloadInfo()); }},
        {"fail", [](const Event& e) { emit rec().sgnDownloadStateNotify(e.n, false, DownloadInfo()); }},
        {"decode", [](const Event& e) { emit rec().sgnBeginDecodeNotify(e.n); }},
        {"pdone", [](auto) { emit pic().sgnPicFinishedDowndload(); }},
        {"perr", [](auto) { emit pic().sgnPicDownloadError("corrupt"); }},
        {"pp", [](const Event& e) { emit pic().sgnPicDownloadProgress(e.s.toLongLong()); }},
        {"pzip", [](const Event& e) { emit pic().sgnPicGetDownloadZipInfo(e.s.toLongLong()); }},
    };
}

void EventScript::run(const QString& strEvents)
{
    static const QRegularExpression reEvent("^([a-z+*]+)(\\d*)(?:=(.*))?$");
    for (const QString& strEvent : strEvents.split(' ', Qt::SkipEmptyParts)) {
        const int nBrace = strEvent.indexOf('{');
        const QString strHead = strEvent.left(nBrace);
        const QString strInner =
            nBrace < 0 ? QString() : strEvent.mid(nBrace + 1).chopped(1).replace(',', ' ');
        const std::function<void()> fnInner = [this, strInner] { run(strInner); };
        const int nButton = QStringList{"close", "ok", "cancel"}.indexOf(strHead);
        const QRegularExpressionMatch match = reEvent.match(strEvent);
        const QString strName = match.captured(1);
        if (strHead.startsWith("stop")) {
            // 10 ms into the wait, or as many as given ("stop90{...}").
            const int nDelay = strHead.size() > 4 ? strHead.mid(4).toInt() : 10;
            ScriptedEngine::record().onNextCall("stopDownload", [=] { QTimer::singleShot(nDelay, fnInner); });
        } else if (strHead == "idx") {
            ScriptedEngine::record().onNextCall("getCurDownloadIndexs", fnInner);
        } else if (nButton >= 0 && m_fnAnswerer) {
            m_fnAnswerer(nButton, nBrace < 0 ? std::function<void()>() : fnInner);
        } else if (kAnswers.contains(strName)) {
            QString strMethod = kAnswers.value(strName);
            ScriptedEngine& engine =
                strMethod.startsWith("pic.") ? ScriptedEngine::pic() : ScriptedEngine::record();
            strMethod.remove("pic.");
            const QString strValue = match.captured(3);
            const QVariant varValue = strValue.isEmpty()       ? QVariant()
                                      : strValue.contains(',') ? QVariant(strValue.split(','))
                                                               : QVariant(strValue);
            match.captured(2).isEmpty() ? engine.setAnswer(strMethod, varValue)
                                        : engine.setAnswer(strMethod, match.captured(2).toInt(), varValue);
        } else {
            if (!m_hashEvents.contains(strName)) {
                qFatal("unknown event %s", qPrintable(strEvent));
            }
            // "+3" adds three tasks.
            for (int i = strName == "+" || strName == "*" ? match.captured(2).toInt() : 1; i > 0; --i) {
                m_hashEvents.value(strName)(Event{match.captured(2).toInt(), match.captured(3)});
            }
        }
    }
}

QString EventScript::calls()
{
    QStringList listCalls;
    for (QString strCall : ScriptedEngine::allCalls()) {
        for (const auto& name : kCallNames) {
            if (strCall.startsWith(name.first + '(')) {
                listCalls << strCall.replace(0, name.first.size(), name.second);
            }
        }
    }
    return listCalls.join(' ')
        .replace(QRegularExpression("stop\\((\\d+),2,true\\) file\\(\\1\\) destroy\\(\\1\\)"), "gone(\\1)")
        .replace(QRegularExpression("stop\\((\\d+),0,false\\) destroy\\(\\1\\)"), "done(\\1)")
        .replace(QRegularExpression("stop\\((\\d+),2,true\\) destroy\\(\\1\\)"), "kept(\\1)")
        .replace(QRegularExpression("stop\\((\\d+),2,false\\) destroy\\(\\1\\)"), "cleared(\\1)")
        .replace(QRegularExpression("file\\((\\d+)\\) destroy\\(\\1\\)"), "erased(\\1)");
}

QString EventScript::callsThen(const QStringList& listFinished)
{
    return QString(calls() + " => " + listFinished.join(' ')).remove(QRegularExpression(" => $")).trimmed();
}
