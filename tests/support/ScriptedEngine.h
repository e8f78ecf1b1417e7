#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtGlobal>

#include <functional>
#include <limits>

#include <downloadengine/DownloadInfo.h>

class CRecordDownloadManager;
class CPicDownloadManager;

// Scripts the download engine that unit tests link in place of the real one: every call made to
// CRecordDownloadManager / CPicDownloadManager is recorded, and every result is the one the test
// set, else what a small working engine would answer.
//
// Recorded calls read "name(arg,arg)", without spaces: ints as numbers, bools as true/false,
// EnumStopReason as its number; records (DownloadInfo, DownloadPicInfo) and output arguments are
// left out. E.g. "setMaxDownloadNum(5)", "addDownloadTask(1)", "isLeftDiskFreeSpaceEnough()",
// "stopDownload(3,2,true)", "getDownloadSpeedAndPercent(3)", "removeDownloadPicTask(2,false)".
// The combined list of both managers prefixes each call with "rec." or "pic.".
//
// A result comes from, first to last: the answer set for that method and index, the answer set
// for that method whatever the index, the next queued answer for that method, the default.
// Answers are QVariants holding the result type; getCurDownloadIndexs also takes a list of ints
// and getDownloadSpeedAndPercent takes QVariantList{fraction, speedText}. An answer that does not
// convert is logged and the default is used; a queued invalid QVariant gives the default.
// Whatever the source, the managers' state follows the answer given (startDownload answered -2
// does not make the task run). Hooks run before the answer is chosen, so they may set it.
//
// Defaults, record manager: tasks added are held until destoryDownloadObj; a task started with
// answer 0 runs until stopped or destroyed; startDownload answers 0 while fewer than the maximum
// (5 until setMaxDownloadNum) run, -2 when all slots are taken, -1 for a task never added;
// canStillDownload = a slot is free; getCurDownloadNumber / getCurDownloadIndexs = the held tasks,
// sorted; isLeftDiskFreeSpaceEnough = true; setDownloadSpeed = 1; getDownloadSpeedAndPercent =
// what setProgress set (0, "0B/s"); prepareDownloadInfo applies the prepare transform, if any.
// Picture manager: one task runs at a time; startDownload answers true and runs the task if it is
// held and no other task runs, else false; removeDownloadPicTask answers true and forgets a held
// task (false for an unknown one); once sgnPicFinishedDowndload or sgnPicDownloadError is emitted
// nothing runs; adjustFileSize sets the held record's size.
//
// The managers live for the process: call reset() in every test's init(). GUI thread only.
class ScriptedEngine
{
public:
    using Hook = std::function<void()>;
    using PrepareTransform = std::function<void(int nIndex, DownloadInfo& info)>;

    // The script of CRecordDownloadManager.
    static ScriptedEngine& record();
    // The script of CPicDownloadManager.
    static ScriptedEngine& pic();

    // Forgets calls, answers, hooks, held tasks and settings of both managers.
    static void reset();
    // Both managers' calls in call order, prefixed "rec." / "pic.".
    static QStringList allCalls() { return s_listAllCalls; }
    // Forgets the calls recorded so far; answers, hooks and tasks stay.
    static void clearCalls();

    // This manager's calls in call order, unprefixed.
    QStringList calls() const { return m_listCalls; }
    // This manager's calls whose method name is in setNames.
    QStringList calls(const QSet<QString>& setNames) const;
    // How many times strMethod was called on this manager.
    int callCount(const QString& strMethod) const { return m_hashCounts.value(strMethod); }
    // Off, calls are only counted (a benchmark's engine): writing each out costs more than the
    // list under test spends on it.
    static void setCallLog(bool bOn) { s_bCallLog = bOn; }

    // Answers strMethod for nIndex with varAnswer until reset; an invalid QVariant removes it.
    void setAnswer(const QString& strMethod, int nIndex, const QVariant& varAnswer);
    // Answers strMethod whatever the index (how index-less methods are set); invalid removes it.
    void setAnswer(const QString& strMethod, const QVariant& varAnswer)
    {
        setAnswer(strMethod, kNoIndex, varAnswer);
    }
    // Queues answers for strMethod, one used per call that no set answer covers.
    void queueAnswers(const QString& strMethod, const QVariantList& listAnswers)
    {
        m_hashQueuedAnswers[strMethod].append(listAnswers);
    }
    // Runs fnHook once, at the next call of strMethod: after it is recorded, before it is answered.
    void onNextCall(const QString& strMethod, Hook fnHook);

    // The record manager's folder for downloads (default: the temporary folder).
    static void setDownloadDir(const QString& strDir);
    // What getDownloadSpeedAndPercent reports for nIndex by default.
    static void setProgress(int nIndex, float fFraction, const QString& strSpeed);
    // Applied to the held record by prepareDownloadInfo; an empty function leaves it as it is.
    static void setPrepareTransform(PrepareTransform fnTransform);
    // The record tasks held, sorted; read without being recorded.
    static QList<int> heldRecordTasks();
    // The record tasks running, sorted.
    static QList<int> runningRecordTasks();
    // The held record of nIndex (a default record when it is not held).
    static DownloadInfo heldRecordInfo(int nIndex);

    // What getSecondDownloadSize answers by default.
    static void setSecondDownloadSize(long nBytes);

private:
    friend class CRecordDownloadManager;
    friend class CPicDownloadManager;

    static constexpr int kNoIndex = std::numeric_limits<int>::min();

    explicit ScriptedEngine(const QString& strPrefix);
    Q_DISABLE_COPY(ScriptedEngine)

    // Records a call, then runs the hooks waiting for it.
    void enter(const QString& strMethod, const QVariantList& listArgs = {});
    // The scripted answer to a call of strMethod for nIndex (kNoIndex for methods without one),
    // taken off the queue when it comes from there; invalid when the default applies.
    QVariant takeAnswer(const QString& strMethod, int nIndex = kNoIndex);
    // Records a call and answers it: the answer scripted for nIndex, converted to T, else what
    // fnDefault gives once the hooks have run (logged when an answer does not convert).
    template <typename T, typename Fn>
    T call(const QString& strMethod, Fn fnDefault, const QVariantList& listArgs = {}, int nIndex = kNoIndex);

    // Defined next to each manager, which owns the state they clear.
    static void resetRecordModel();
    static void resetPicModel();

    QString m_strPrefix;
    QStringList m_listCalls;
    // Answers set, by method and index (kNoIndex: whatever the index).
    QHash<QPair<QString, int>, QVariant> m_hashAnswers;
    QHash<QString, QVariantList> m_hashQueuedAnswers;
    QHash<QString, QList<Hook>> m_hashHooks;

    QHash<QString, int> m_hashCounts;
    static QStringList s_listAllCalls;
    static bool s_bCallLog;
};

template <typename T, typename Fn>
T ScriptedEngine::call(const QString& strMethod, Fn fnDefault, const QVariantList& listArgs, int nIndex)
{
    enter(strMethod, listArgs);
    const QVariant varAnswer = takeAnswer(strMethod, nIndex);
    QVariant varResult = varAnswer;
    if (varAnswer.isValid() && varResult.convert(qMetaTypeId<T>())) {
        return varResult.value<T>();
    }
    if (varAnswer.isValid()) {
        qWarning("ScriptedEngine: answer %s for %s does not fit, default used",
                 qUtf8Printable(varAnswer.toString()), qUtf8Printable(strMethod));
    }
    return fnDefault();
}
