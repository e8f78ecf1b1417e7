#include "ScriptedEngine.h"

#include <QFile>

#include <hostservices/CConfig.h>

#include <algorithm>
#include <iterator>

namespace {

// The calls whose method name (the text before the argument list) is in setNames.
QStringList filterCalls(const QStringList& listCalls, const QSet<QString>& setNames)
{
    QStringList listResult;
    std::copy_if(
        listCalls.cbegin(), listCalls.cend(), std::back_inserter(listResult),
        [&](const QString& strCall) { return setNames.contains(strCall.section(QLatin1Char('('), 0, 0)); });
    return listResult;
}

}  // namespace

QStringList ScriptedEngine::s_listAllCalls;
bool ScriptedEngine::s_bCallLog = true;

ScriptedEngine::ScriptedEngine(const QString& strPrefix) : m_strPrefix(strPrefix) {}

ScriptedEngine& ScriptedEngine::record()
{
    static ScriptedEngine s_script(QStringLiteral("rec."));
    return s_script;
}

ScriptedEngine& ScriptedEngine::pic()
{
    static ScriptedEngine s_script(QStringLiteral("pic."));
    return s_script;
}

void ScriptedEngine::reset()
{
    for (ScriptedEngine* pScript : {&record(), &pic()}) {
        pScript->m_listCalls.clear();
        pScript->m_hashCounts.clear();
        pScript->m_hashAnswers.clear();
        pScript->m_hashQueuedAnswers.clear();
        pScript->m_hashHooks.clear();
    }
    s_listAllCalls.clear();
    resetRecordModel();
    resetPicModel();
    // Every test starts on a profile without stored lists.
    const QString strHistory = ConfigInfo::CConfig::instance().getDownloadConfig().strHistoryFile;
    for (const char* szSuffix : {"", "-wal", "-shm"}) {
        QFile::remove(strHistory + QLatin1String(szSuffix));
    }
}

void ScriptedEngine::clearCalls()
{
    for (ScriptedEngine* pScript : {&record(), &pic()}) {
        pScript->m_listCalls.clear();
        pScript->m_hashCounts.clear();
    }
    s_listAllCalls.clear();
}

QStringList ScriptedEngine::calls(const QSet<QString>& setNames) const
{
    return filterCalls(m_listCalls, setNames);
}

void ScriptedEngine::setAnswer(const QString& strMethod, int nIndex, const QVariant& varAnswer)
{
    if (varAnswer.isValid()) {
        m_hashAnswers.insert(qMakePair(strMethod, nIndex), varAnswer);
    } else {
        m_hashAnswers.remove(qMakePair(strMethod, nIndex));
    }
}

void ScriptedEngine::onNextCall(const QString& strMethod, Hook fnHook)
{
    if (fnHook) {
        m_hashHooks[strMethod].append(std::move(fnHook));
    }
}

void ScriptedEngine::enter(const QString& strMethod, const QVariantList& listArgs)
{
    ++m_hashCounts[strMethod];
    if (s_bCallLog) {
        QStringList listTexts;
        for (const QVariant& varArg : listArgs) {
            listTexts.append(varArg.toString());
        }
        const QString strCall =
            strMethod + QLatin1Char('(') + listTexts.join(QLatin1Char(',')) + QLatin1Char(')');
        m_listCalls.append(strCall);
        s_listAllCalls.append(m_strPrefix + strCall);
    }
    if (m_hashHooks.isEmpty()) {
        return;
    }
    // Taken out first: a hook may call the method again or wait for its next call.
    const QList<Hook> listHooks = m_hashHooks.take(strMethod);
    for (const Hook& fnHook : listHooks) {
        fnHook();
    }
}

QVariant ScriptedEngine::takeAnswer(const QString& strMethod, int nIndex)
{
    // Set for the index, set for any index, queued: the first found answers.
    for (int nKey : {nIndex, kNoIndex}) {
        const QVariant varAnswer = m_hashAnswers.value(qMakePair(strMethod, nKey));
        if (varAnswer.isValid()) {
            return varAnswer;
        }
    }
    QVariantList& listQueued = m_hashQueuedAnswers[strMethod];
    return listQueued.isEmpty() ? QVariant() : listQueued.takeFirst();
}
