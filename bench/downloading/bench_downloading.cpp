// Cost of the downloading list's hot paths against the scripted engine, at table sizes a busy
// client reaches: adding a record task while all five slots are taken, one progress tick, and
// deleting every checked row with one press of "Delete". Ends with the figure lines that
// ./run bench collects.
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <downloadengine/CRecordDownloadManager.h>
#include <hostservices/CBaseInfo.h>
#include <orbgui/OrbMessageBox.h>
#include <orbgui/OrbPushButton.h>
#include <orbgui/OrbTableView.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CDownloadHistory.h"
#include "CRecordTaskList.h"
#include "QDownloadingWidget.h"
#include "ScriptedEngine.h"

namespace {

DownloadInfo benchTask(int nNumber)
{
    DownloadInfo info;
    info.strFileName = QStringLiteral("camera-%1.mp4").arg(nNumber);
    info.strChannelName = QStringLiteral("Channel %1").arg(nNumber % 16);
    info.strShopName = QStringLiteral("Shop %1").arg(nNumber % 7);
    info.strDeviceId = QStringLiteral("device-%1").arg(nNumber % 7);
    info.stRecordFile.strBeginTime = "2024-03-01 08:00:00";
    info.stRecordFile.strEndTime = "2024-03-01 09:00:00";
    info.stRecordFile.nFileSize = 734003200 + nNumber;
    return info;
}

// A shown downloading list holding nRows record tasks, the first five of them downloading.
struct LoadedList
{
    // With bStored the list keeps its tasks in a history file, as the window has it.
    explicit LoadedList(int nRows, bool bStored = false)
    {
        ScriptedEngine::reset();
        pWidget = std::make_unique<QDownloadingWidget>();
        if (bStored) {
            pHistory =
                std::make_unique<CDownloadHistory>(dirHistory.filePath(QStringLiteral("history.sqlite")));
            pWidget->attachHistory(pHistory.get());
        }
        pWidget->show();
        for (int i = 1; i <= nRows; ++i) {
            pWidget->onAddDownloadTask(benchTask(i));
            if (i % 1000 == 0) {
                ScriptedEngine::clearCalls();
            }
        }
        // Lay the view out once, as the event loop would have between tasks.
        QApplication::processEvents();
        ScriptedEngine::clearCalls();
        pModel = pWidget->findChild<ORBGUI::OrbTableView*>(QStringLiteral("tableDownloadingList"))->model();
        pRecords = pWidget->findChild<CRecordTaskList*>();
    }
    ~LoadedList()
    {
        pWidget.reset();
        pHistory.reset();
        ScriptedEngine::reset();
    }

    QTemporaryDir dirHistory;
    std::unique_ptr<CDownloadHistory> pHistory;
    std::unique_ptr<QDownloadingWidget> pWidget;
    QAbstractItemModel* pModel = nullptr;
    CRecordTaskList* pRecords = nullptr;
};

// The second argument keeps the tasks in a history file (1) or not (0).
void BM_RecordAdd(benchmark::State& state)
{
    const int nRows = static_cast<int>(state.range(0));
    LoadedList list(nRows, state.range(1) != 0);
    if (ScriptedEngine::runningRecordTasks().size() != 5 || list.pModel->rowCount() != nRows) {
        state.SkipWithError("list not loaded as intended");
        return;
    }
    int nNumber = nRows;
    for (auto _ : state) {
        list.pWidget->onAddDownloadTask(benchTask(++nNumber));

        // Back to nRows rows and tasks, so every add meets the same table.
        state.PauseTiming();
        // The last one waits: it goes as its delete icon takes it, without a stop.
        list.pRecords->deleteTask(list.pRecords->taskIndexAt(list.pModel->rowCount() - 1));
        ScriptedEngine::clearCalls();
        state.ResumeTiming();
    }
    if (list.pModel->rowCount() != nRows || ScriptedEngine::runningRecordTasks().size() != 5) {
        state.SkipWithError("table size drifted");
    }
}

// The same add followed by one turn of the event loop: what a user waits for, including the kit
// view's deferred relayout and the repaint. Not a figure; shows where the remaining cost lies.
void BM_RecordAddAndRepaint(benchmark::State& state)
{
    const int nRows = static_cast<int>(state.range(0));
    LoadedList list(nRows);
    int nNumber = nRows;
    for (auto _ : state) {
        list.pWidget->onAddDownloadTask(benchTask(++nNumber));
        QApplication::processEvents();

        state.PauseTiming();
        // The last one waits: it goes as its delete icon takes it, without a stop.
        list.pRecords->deleteTask(list.pRecords->taskIndexAt(list.pModel->rowCount() - 1));
        QApplication::processEvents();
        ScriptedEngine::clearCalls();
        state.ResumeTiming();
    }
}

void BM_RecordTick(benchmark::State& state)
{
    const int nRows = static_cast<int>(state.range(0));
    LoadedList list(nRows);
    if (ScriptedEngine::runningRecordTasks().size() != 5) {
        state.SkipWithError("list not loaded as intended");
        return;
    }
    int nStep = 0;
    for (auto _ : state) {
        // New figures every tick, as a running download gives.
        state.PauseTiming();
        ++nStep;
        for (int nTask = 1; nTask <= 5; ++nTask) {
            ScriptedEngine::setProgress(nTask, static_cast<float>(nStep % 1000) / 1000.0f,
                                        QStringLiteral("%1.%2MB/s").arg(nStep % 9).arg(nTask));
        }
        ScriptedEngine::clearCalls();
        state.ResumeTiming();

        list.pWidget->onTimeOut();
    }
}

qint64 residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLongLong() * 4 : -1;
}

// Resident memory that a shown list holding nRows record rows takes beyond the same list empty,
// in KiB. Measured before any benchmark, so that no memory freed by another is reused.
qint64 rowsMemoryKiB(int nRows)
{
    const qint64 nEmpty = [] {
        LoadedList list(0);
        return residentKiB();
    }();
    LoadedList list(nRows);
    return residentKiB() - nEmpty;
}

// How late a 16 ms heartbeat fires while the list works as a busy client's does: nRows rows shown
// (offscreen, painted), the top five downloading with new figures every second, the list's own
// one-second tick, and 50 new tasks a second, for nSeconds. Returns the 99th percentile of the
// lateness in ms: how long past its 16 ms each interval between two heartbeats ran.
double uiLagP99Ms(int nRows, int nSeconds)
{
    LoadedList list(nRows);
    list.pWidget->resize(1100, 700);
    QApplication::processEvents();
    int nNumber = nRows;
    QTimer adder;
    adder.setInterval(20);
    QObject::connect(&adder, &QTimer::timeout, [&] {
        list.pWidget->onAddDownloadTask(benchTask(++nNumber));
        ScriptedEngine::clearCalls();
    });
    int nStep = 0;
    QTimer progress;
    progress.setInterval(1000);
    QObject::connect(&progress, &QTimer::timeout, [&] {
        ++nStep;
        for (int nTask = 1; nTask <= 5; ++nTask) {
            ScriptedEngine::setProgress(nTask, static_cast<float>(nStep % 100) / 100.0f,
                                        QStringLiteral("%1.%2MB/s").arg(nStep % 9).arg(nTask));
        }
    });
    std::vector<double> vecLate;
    QElapsedTimer clock;
    QTimer heart;
    heart.setTimerType(Qt::PreciseTimer);
    heart.setInterval(16);
    QObject::connect(&heart, &QTimer::timeout, [&] {
        const double dElapsed = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        clock.restart();
        vecLate.push_back(std::max(0.0, dElapsed - 16.0));
    });
    QEventLoop loop;
    QTimer::singleShot(nSeconds * 1000, &loop, &QEventLoop::quit);
    adder.start();
    progress.start();
    clock.start();
    heart.start();
    loop.exec();
    if (vecLate.size() < 2) {
        return -1;
    }
    // The first interval ran from the start, not from a heartbeat.
    vecLate.erase(vecLate.begin());
    std::sort(vecLate.begin(), vecLate.end());
    return vecLate[static_cast<size_t>(0.99 * static_cast<double>(vecLate.size() - 1))];
}

// Answers the next modal question as a user would: a timer finds the box and presses its button.
void answerNextQuestion(ORBGUI::OrbMessageBox::StandardButton eButton)
{
    QTimer::singleShot(0, [eButton] {
        QWidget* pBox = QApplication::activeModalWidget();
        if (!pBox) {
            // Not open yet: look again shortly.
            answerNextQuestion(eButton);
            return;
        }
        const QList<QAbstractButton*> listButtons = pBox->findChildren<QAbstractButton*>();
        for (QAbstractButton* pButton : listButtons) {
            if (pButton->property(ORBGUI::OrbMessageBox::kButtonProperty).toInt() == eButton) {
                pButton->click();
                return;
            }
        }
    });
}

// One press of "Delete" on N checked waiting record rows, open-OSD off: one question, then every
// row goes and the engine disposes of every task. Timed from the press until the call returns,
// the user's answer included (a zero-delay timer); filling and checking the table is not timed.
void BM_DeleteChecked(benchmark::State& state)
{
    const int nRows = static_cast<int>(state.range(0));
    // Read, not written: a settings file that exists makes every settings read dearer, the
    // other benchmarks' included.
    if (ConfigInfo::CBaseInfo::instance().getOpenOSD()) {
        state.SkipWithError("open-OSD is on in the settings file");
        return;
    }
    ScriptedEngine::reset();
    // Nothing starts: every row stays waiting.
    ScriptedEngine::record().setAnswer(QStringLiteral("canStillDownload"), false);
    QDownloadingWidget widget;
    widget.show();
    QAbstractItemModel* pModel =
        widget.findChild<ORBGUI::OrbTableView*>(QStringLiteral("tableDownloadingList"))->model();
    auto* pDelete = widget.findChild<ORBGUI::OrbPushButton*>(QStringLiteral("btnDelete"));
    int nNumber = 0;
    for (auto _ : state) {
        for (int i = 0; i < nRows; ++i) {
            widget.onAddDownloadTask(benchTask(++nNumber));
            if (i % 1000 == 0) {
                ScriptedEngine::clearCalls();
            }
        }
        for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
            pModel->setData(pModel->index(nRow, 0), Qt::Checked, Qt::CheckStateRole);
        }
        QApplication::processEvents();
        ScriptedEngine::clearCalls();

        answerNextQuestion(ORBGUI::OrbMessageBox::Ok);
        QElapsedTimer timer;
        timer.start();
        pDelete->click();
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);

        if (pModel->rowCount() != 0 || !ScriptedEngine::heldRecordTasks().isEmpty() ||
            ScriptedEngine::record().callCount(QStringLiteral("destoryDownloadObj")) != nRows) {
            state.SkipWithError("rows or engine tasks left after the press");
            break;
        }
        QApplication::processEvents();
    }
    ScriptedEngine::reset();
}

// Only the aggregate medians of the repetitions, by benchmark name, in the run's unit.
class FigureReporter : public benchmark::ConsoleReporter
{
public:
    // Plain text: the lines end up in logs and in the figures summary.
    FigureReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& reports) override
    {
        for (const Run& run : reports) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" && !run.error_occurred) {
                m_mapMedians[run.run_name.function_name + "/" + run.run_name.args] =
                    run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(reports);
    }

    // The median of "function/argument", or a negative value when it did not run.
    double median(const std::string& strName) const
    {
        const auto it = m_mapMedians.find(strName);
        return it == m_mapMedians.end() ? -1.0 : it->second;
    }

private:
    std::map<std::string, double> m_mapMedians;
};

}  // namespace

BENCHMARK(BM_RecordAdd)
    ->Args({100, 0})
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RecordAddAndRepaint)
    ->Arg(100)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(300)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DeleteChecked)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RecordTick)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

namespace {

QtMessageHandler s_fnDefaultHandler = nullptr;

// The offscreen platform says so for every window shown; nothing to learn from it here.
void dropPlatformNoise(QtMsgType eType, const QMessageLogContext& context, const QString& strMessage)
{
    if (strMessage.startsWith(QLatin1String("This plugin does not support"))) {
        return;
    }
    s_fnDefaultHandler(eType, context, strMessage);
}

}  // namespace

int main(int argc, char** argv)
{
    s_fnDefaultHandler = qInstallMessageHandler(dropPlatformNoise);
    QApplication app(argc, argv);
    // The engine is a stand-in: it counts the calls it gets, it does not write each one out.
    ScriptedEngine::setCallLog(false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const qint64 nRows100kKiB = rowsMemoryKiB(100000);
    const double dLag10k = uiLagP99Ms(10000, 30);
    const double dLag100k = uiLagP99Ms(100000, 30);
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double dAdd100 = reporter.median("BM_RecordAdd/100/0");
    const double dAdd10k = reporter.median("BM_RecordAdd/10000/0");
    const double dAdd10kStored = reporter.median("BM_RecordAdd/10000/1");
    const double dTick10k = reporter.median("BM_RecordTick/10000");
    const double dDelete10k = reporter.median("BM_DeleteChecked/10000");
    const double dAdd100k = reporter.median("BM_RecordAdd/100000/0");
    const double dTick100k = reporter.median("BM_RecordTick/100000");
    const double dDelete100k = reporter.median("BM_DeleteChecked/100000");
    // What ran is printed; a filtered run gives fewer figures and says so.
    bool bAll = true;
    const auto figure = [&bAll](bool bRan, const char* szFormat, auto... values) {
        if (bRan) {
            std::printf(szFormat, values...);
        }
        bAll = bAll && bRan;
    };
    figure(dAdd100 > 0 && dAdd10k >= 0, "figure record-add-10k: %.2f us (goal <= 1.5x record-add-100)\n",
           dAdd10k);
    figure(dAdd100 > 0 && dAdd10k >= 0, "figure record-add-ratio: %.2f x (goal <= 1.5)\n", dAdd10k / dAdd100);
    figure(dAdd10k > 0 && dAdd10kStored >= 0,
           "figure record-add-10k-stored: %.2f us (goal <= 1.2x record-add-10k)\n", dAdd10kStored);
    figure(dAdd10k > 0 && dAdd10kStored >= 0, "figure record-add-stored-ratio: %.2f x (goal <= 1.2)\n",
           dAdd10kStored / dAdd10k);
    figure(dTick10k >= 0, "figure record-tick-10k: %.3f ms (goal < 1)\n", dTick10k);
    figure(dDelete10k >= 0, "figure delete-10k: %.0f ms (goal < 1000)\n", dDelete10k);
    figure(dAdd100 > 0 && dAdd100k >= 0, "figure record-add-ratio-100k: %.2f x (goal <= 1.2)\n",
           dAdd100k / dAdd100);
    figure(dTick100k >= 0, "figure record-tick-100k: %.3f ms (goal <= 3)\n", dTick100k);
    figure(dDelete100k >= 0, "figure delete-100k: %.0f ms (goal <= 300)\n", dDelete100k);
    figure(nRows100kKiB > 0, "figure rows-100k-rss: %.1f MiB (%lld bytes a row; goal <= 100 MiB)\n",
           static_cast<double>(nRows100kKiB) / 1024, nRows100kKiB * 1024 / 100000);
    figure(dLag10k >= 0, "figure ui-lag-p99-10k: %.1f ms (goal <= 16)\n", dLag10k);
    figure(dLag100k >= 0, "figure ui-lag-p99-100k: %.1f ms (goal <= 16)\n", dLag100k);
    if (!bAll) {
        std::fprintf(stderr, "bench_downloading: some benchmarks did not run, their figures are missing\n");
        return 1;
    }
    return 0;
}
