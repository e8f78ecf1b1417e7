#include "ScriptedEngine.h"

#include <QLatin1Char>

namespace {

// The method name of a recorded call: the text before its argument list.
QString methodOf(const QString& strCall)
{
    return strCall.left(strCall.indexOf(QLatin1Char('(')));
}

QStringList filterCalls(const QStringList& listCalls, const QSet<QString>& setNames)
{
    QStringList listResult;
    for (const QString& strCall : listCalls) {
        if (setNames.contains(methodOf(strCall))) {
            listResult.append(strCall);
        }
    }
    return listResult;
}

}  // namespace

QStringList ScriptedEngine::s_listAllCalls;

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
    record().clear();
    pic().clear();
    s_listAllCalls.clear();
    resetRecordModel();
    resetPicModel();
}

QStringList ScriptedEngine::allCalls()
{
    return s_listAllCalls;
}

QStringList ScriptedEngine::allCalls(const QSet<QString>& setNames)
{
    return filterCalls(s_listAllCalls, setNames);
}

void ScriptedEngine::clearCalls()
{
    record().m_listCalls.clear();
    pic().m_listCalls.clear();
    s_listAllCalls.clear();
}

QStringList ScriptedEngine::calls() const
{
    return m_listCalls;
}

QStringList ScriptedEngine::calls(const QSet<QString>& setNames) const
{
    return filterCalls(m_listCalls, setNames);
}

int ScriptedEngine::callCount(const QString& strMethod) const
{
    return filterCalls(m_listCalls, {strMethod}).size();
}

void ScriptedEngine::setAnswer(const QString& strMethod, int nIndex, const QVariant& varAnswer)
{
    if (varAnswer.isValid()) {
        m_hashIndexAnswers[strMethod].insert(nIndex, varAnswer);
    } else if (m_hashIndexAnswers.contains(strMethod)) {
        m_hashIndexAnswers[strMethod].remove(nIndex);
    }
}

void ScriptedEngine::setAnswer(const QString& strMethod, const QVariant& varAnswer)
{
    if (varAnswer.isValid()) {
        m_hashAnyIndexAnswers.insert(strMethod, varAnswer);
    } else {
        m_hashAnyIndexAnswers.remove(strMethod);
    }
}

void ScriptedEngine::queueAnswers(const QString& strMethod, const QVariantList& listAnswers)
{
    m_hashQueuedAnswers[strMethod].append(listAnswers);
}

void ScriptedEngine::onNextCall(const QString& strMethod, Hook fnHook)
{
    if (!fnHook) {
        return;
    }
    m_hashHooks[strMethod].append(std::move(fnHook));
}

void ScriptedEngine::enter(const QString& strMethod, const QStringList& listArgs)
{
    const QString strCall = strMethod + QLatin1Char('(') + listArgs.join(QLatin1Char(',')) + QLatin1Char(')');
    m_listCalls.append(strCall);
    s_listAllCalls.append(m_strPrefix + strCall);

    // Taken out first: a hook may call the method again or wait for its next call.
    const QList<Hook> listHooks = m_hashHooks.take(strMethod);
    for (const Hook& fnHook : listHooks) {
        fnHook();
    }
}

QVariant ScriptedEngine::takeAnswer(const QString& strMethod, int nIndex)
{
    if (nIndex != kNoIndex) {
        const QVariant varAnswer = m_hashIndexAnswers.value(strMethod).value(nIndex);
        if (varAnswer.isValid()) {
            return varAnswer;
        }
    }
    const QVariant varAnswer = m_hashAnyIndexAnswers.value(strMethod);
    if (varAnswer.isValid()) {
        return varAnswer;
    }
    auto it = m_hashQueuedAnswers.find(strMethod);
    if (it != m_hashQueuedAnswers.end() && !it->isEmpty()) {
        return it->takeFirst();
    }
    return QVariant();
}

void ScriptedEngine::clear()
{
    m_listCalls.clear();
    m_hashIndexAnswers.clear();
    m_hashAnyIndexAnswers.clear();
    m_hashQueuedAnswers.clear();
    m_hashHooks.clear();
}
