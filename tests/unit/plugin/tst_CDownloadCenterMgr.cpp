#include <QtTest>

#include <QApplication>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>

#include <downloadengine/CRecordDownloadManager.h>
#include <hostcomponents/QRedDotLabel.h>

#include <memory>

#include "CDownloadCenterMgr.h"
#include "DownloadingWidgetProbe.h"
#include "ModalAnswerer.h"
#include "QDownloadCenter.h"
#include "QDownloadDoneWidget.h"
#include "ScriptedEngine.h"

namespace {

// Every download centre window that exists, embedded or not.
QList<QDownloadCenter*> windows()
{
    QList<QDownloadCenter*> listWindows;
    for (QWidget* pWidget : QApplication::allWidgets()) {
        if (auto* pWindow = qobject_cast<QDownloadCenter*>(pWidget)) {
            listWindows.append(pWindow);
        }
    }
    return listWindows;
}

// The engine calls that move a record task through its life.
QStringList lifeCalls()
{
    return ScriptedEngine::record().calls(
        {QStringLiteral("isLeftDiskFreeSpaceEnough"), QStringLiteral("addDownloadTask"),
         QStringLiteral("prepareDownloadInfo"), QStringLiteral("startDownload"),
         QStringLiteral("stopDownload"), QStringLiteral("destoryDownloadObj")});
}

}  // namespace

class tst_CDownloadCenterMgr : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sameObjectTwice();
    void windowComesWithTheFacade();
    void destroyThenCreateAnew();
    void destroyWithoutFacade();
    void deletedDirectly();
    void isInitedFollowsInitWidget();

    void roadOfARecordTask();
    void taskBeforeInitWidget();
    void pictureTaskOnItsOwnCopy();
    void clearDownloadData();
    void productName();
    void windowDestroyedElsewhere();

private:
    QDownloadCenter* window() const { return windows().value(0); }
    template <typename T = QWidget>
    T* child(const char* szName) const
    {
        return window()->findChild<T*>(QLatin1String(szName));
    }
    QString buttonText(const char* szName) const { return child<QPushButton>(szName)->text(); }
    bool badgeShown() const { return child("wgtRecordDownloadNum")->isVisibleTo(window()); }
    QDownloadingWidget* downloading() const { return child<QDownloadingWidget>("wgtDownloading"); }
    QStandardItemModel* doneModel() const;
    QStringList doneNames() const;

    std::unique_ptr<QWidget> m_pHost;
};

void tst_CDownloadCenterMgr::initTestCase()
{
    // English texts whatever the machine's language.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void tst_CDownloadCenterMgr::init()
{
    ScriptedEngine::reset();
    ModalAnswerer::reset();
    m_pHost = std::make_unique<QWidget>();
    m_pHost->resize(1200, 800);
}

void tst_CDownloadCenterMgr::cleanup()
{
    CDownloadCenterMgr::destroyInstance();
    QVERIFY(windows().isEmpty());
    m_pHost.reset();
    QVERIFY2(ModalAnswerer::unexpectedBoxes().isEmpty(),
             qPrintable(ModalAnswerer::unexpectedBoxes().join('\n')));
}

QStandardItemModel* tst_CDownloadCenterMgr::doneModel() const
{
    auto* pView = child<QDownloadDoneWidget>("wgtDone")->findChild<QAbstractItemView*>(
        QStringLiteral("tableDownloadingList"));
    return qobject_cast<QStandardItemModel*>(pView->model());
}

QStringList tst_CDownloadCenterMgr::doneNames() const
{
    QStringList listNames;
    for (int nRow = 0; nRow < doneModel()->rowCount(); ++nRow) {
        listNames.append(doneModel()->index(nRow, QDownloadDoneWidget::DoneColumnFileName).data().toString());
    }
    return listNames;
}

void tst_CDownloadCenterMgr::sameObjectTwice()
{
    CDownloadCenterMgr& first = CDownloadCenterMgr::instance();
    CDownloadCenterMgr& second = CDownloadCenterMgr::instance();
    QCOMPARE(&first, &second);
    QCOMPARE(windows().size(), 1);
}

void tst_CDownloadCenterMgr::windowComesWithTheFacade()
{
    QVERIFY(windows().isEmpty());
    CDownloadCenterMgr::instance();
    // The one window, shared with whoever else asks for it; hidden and not embedded yet.
    QCOMPARE(windows().size(), 1);
    QCOMPARE(window(), QDownloadCenter::instance());
    QVERIFY(window()->isHidden());
    QVERIFY(!window()->parentWidget());
    QVERIFY(!window()->isInited());
}

void tst_CDownloadCenterMgr::destroyThenCreateAnew()
{
    QPointer<CDownloadCenterMgr> pFirst = &CDownloadCenterMgr::instance();
    pFirst->initWidget(m_pHost.get());
    QPointer<QDownloadCenter> pFirstWindow = window();
    QCOMPARE(pFirstWindow->parentWidget(), m_pHost.get());

    CDownloadCenterMgr::destroyInstance();
    QVERIFY(pFirst.isNull());
    QVERIFY(pFirstWindow.isNull());
    // No window left behind, neither free nor in the host.
    QVERIFY(windows().isEmpty());
    QVERIFY(m_pHost->findChildren<QWidget*>().isEmpty());

    CDownloadCenterMgr& second = CDownloadCenterMgr::instance();
    QVERIFY(!second.isInited());
    QCOMPARE(windows().size(), 1);
    QVERIFY(!window()->parentWidget());
    QVERIFY(!window()->isInited());
}

void tst_CDownloadCenterMgr::destroyWithoutFacade()
{
    CDownloadCenterMgr::destroyInstance();
    CDownloadCenterMgr::destroyInstance();
    QVERIFY(windows().isEmpty());
    QVERIFY(!CDownloadCenterMgr::instance().isInited());
}

void tst_CDownloadCenterMgr::deletedDirectly()
{
    QPointer<CDownloadCenterMgr> pFirst = &CDownloadCenterMgr::instance();
    delete pFirst.data();
    QVERIFY(windows().isEmpty());
    // The next use builds a new one rather than returning the deleted one.
    QPointer<CDownloadCenterMgr> pSecond = &CDownloadCenterMgr::instance();
    QVERIFY(pSecond);
    QCOMPARE(windows().size(), 1);
    pSecond->initWidget(m_pHost.get());
    QVERIFY(pSecond->isInited());
}

void tst_CDownloadCenterMgr::isInitedFollowsInitWidget()
{
    CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
    QVERIFY(!facade.isInited());
    facade.initWidget(m_pHost.get());
    QVERIFY(facade.isInited());
    QCOMPARE(window()->parentWidget(), m_pHost.get());
    QCOMPARE(window()->geometry(), QRect(0, 0, 1200, 800));

    // Later calls change nothing.
    QWidget otherHost;
    facade.initWidget(&otherHost);
    QCOMPARE(window()->parentWidget(), m_pHost.get());
    QVERIFY(otherHost.findChildren<QWidget*>().isEmpty());
}

void tst_CDownloadCenterMgr::roadOfARecordTask()
{
    CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
    facade.initWidget(m_pHost.get());
    m_pHost->show();
    window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pHost.get()));
    QCOMPARE(buttonText("btnDownloading"), QStringLiteral("Downloading 0"));
    QCOMPARE(buttonText("btnDone"), QStringLiteral("Done 0"));
    QVERIFY(!badgeShown());
    ScriptedEngine::clearCalls();

    // Handed in: registered, shown and started at once, counted on the button and the badge.
    facade.addDownloadTask(probe::recordTask(QStringLiteral("front door.mp4"), 0, 0, 1536));
    QCOMPARE(lifeCalls(), QStringList({"isLeftDiskFreeSpaceEnough()", "addDownloadTask(1)",
                                       "prepareDownloadInfo(1)", "startDownload(1)"}));
    QCOMPARE(probe::recordTasks(*downloading()), QList<int>{1});
    QCOMPARE(probe::state(*downloading(), 1), 1);
    QCOMPARE(buttonText("btnDownloading"), QStringLiteral("Downloading 1"));
    QVERIFY(badgeShown());
    QCOMPARE(child<QRedDotLabel>("labRecordDownloadNum")->text(), QStringLiteral("1"));
    QCOMPARE(child("labRecordDownloadNum")->size(), QSize(16, 16));

    // Under way: the engine's progress reaches the row.
    ScriptedEngine::setProgress(1, 0.5f, QStringLiteral("1.2MB/s"));
    QTRY_COMPARE_WITH_TIMEOUT(probe::speedText(*downloading(), 1), QStringLiteral("1.2MB/s"), 10000);

    // Finished: the row leaves the downloading list for the top of the finished one.
    ScriptedEngine::clearCalls();
    emit CRecordDownloadManager::getInstance().sgnDownloadStateNotify(1, true,
                                                                      ScriptedEngine::heldRecordInfo(1));
    QCOMPARE(lifeCalls(), QStringList({"stopDownload(1,0,false)", "destoryDownloadObj(1)"}));
    QVERIFY(probe::recordTasks(*downloading()).isEmpty());
    QCOMPARE(doneNames(), QStringList{QStringLiteral("front door.mp4")});
    QCOMPARE(doneModel()->index(0, QDownloadDoneWidget::DoneColumnChannel).data().toString(),
             QStringLiteral("Channel of front door.mp4"));
    QCOMPARE(doneModel()->index(0, QDownloadDoneWidget::DoneColumnFileSize).data().toString(),
             QStringLiteral("1.5KB"));
    QCOMPARE(buttonText("btnDownloading"), QStringLiteral("Downloading 0"));
    QCOMPARE(buttonText("btnDone"), QStringLiteral("Done 1"));
    QVERIFY(!badgeShown());

    // The next one to finish goes above it.
    facade.addDownloadTask(probe::recordTask(QStringLiteral("back door.mp4")));
    QCOMPARE(buttonText("btnDownloading"), QStringLiteral("Downloading 1"));
    emit CRecordDownloadManager::getInstance().sgnDownloadStateNotify(2, true,
                                                                      ScriptedEngine::heldRecordInfo(2));
    QCOMPARE(doneNames(), QStringList({"back door.mp4", "front door.mp4"}));
    QCOMPARE(buttonText("btnDone"), QStringLiteral("Done 2"));
    QVERIFY(!badgeShown());
}

void tst_CDownloadCenterMgr::taskBeforeInitWidget()
{
    CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
    facade.addDownloadTask(probe::recordTask(QStringLiteral("early.mp4")));
    QVERIFY(!facade.isInited());
    QCOMPARE(probe::recordTasks(*downloading()), QList<int>{1});
    QCOMPARE(buttonText("btnDownloading"), QStringLiteral("Downloading 1"));

    // Embedding later keeps what arrived.
    facade.initWidget(m_pHost.get());
    QCOMPARE(probe::recordTasks(*downloading()), QList<int>{1});
}

void tst_CDownloadCenterMgr::pictureTaskOnItsOwnCopy()
{
    CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
    facade.initWidget(m_pHost.get());

    DownloadPicInfo task;
    task.strDeviceId = QStringLiteral("device-1");
    task.strFileName = QStringLiteral("pictures.zip");
    task.nFileSize = 4096;
    task.strNotifyText = QStringLiteral("pictures on their way");
    const DownloadPicInfo original = task;
    facade.addPicDownloadTask(task);

    QCOMPARE(probe::picModel(*downloading())->rowCount(), 1);
    QCOMPARE(ScriptedEngine::heldPicInfo(1).strFileName, QStringLiteral("pictures.zip"));
    QCOMPARE(buttonText("btnDownloading"), QStringLiteral("Downloading 1"));
    // The caller's record is as it was.
    QCOMPARE(task.strFileName, original.strFileName);
    QCOMPARE(task.nFileSize, original.nFileSize);
    QCOMPARE(task.strNotifyText, original.strNotifyText);
    QCOMPARE(task.nStartDownloadTime, original.nStartDownloadTime);
}

void tst_CDownloadCenterMgr::clearDownloadData()
{
    CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
    facade.initWidget(m_pHost.get());
    facade.addDownloadTask(probe::recordTask(QStringLiteral("a")));
    facade.addDownloadTask(probe::recordTask(QStringLiteral("b")));
    emit CRecordDownloadManager::getInstance().sgnDownloadStateNotify(1, true,
                                                                      ScriptedEngine::heldRecordInfo(1));
    QCOMPARE(buttonText("btnDone"), QStringLiteral("Done 1"));

    facade.clearDownloadData();
    QVERIFY(probe::recordTasks(*downloading()).isEmpty());
    QCOMPARE(doneModel()->rowCount(), 0);
    QCOMPARE(buttonText("btnDone"), QStringLiteral("Done 0"));
    QCOMPARE(buttonText("btnDownloading"), QStringLiteral("Downloading 0"));
}

void tst_CDownloadCenterMgr::productName()
{
    CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
    QString strName = QStringLiteral("Acme Stores");
    facade.setProductInfo(strName);
    QCOMPARE(doneModel()->headerData(QDownloadDoneWidget::DoneColumnShop, Qt::Horizontal).toString(),
             strName);
    QCOMPARE(probe::recordModel(*downloading())->headerData(3, Qt::Horizontal).toString(), strName);
    QCOMPARE(strName, QStringLiteral("Acme Stores"));
}

void tst_CDownloadCenterMgr::windowDestroyedElsewhere()
{
    CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
    // The plugin object may take the window down on its own at log-out.
    QDownloadCenter::destroyInstance();
    QVERIFY(windows().isEmpty());
    ScriptedEngine::clearCalls();

    // Then every operation does nothing, and none brings a window back.
    QVERIFY(!facade.isInited());
    facade.initWidget(m_pHost.get());
    facade.addDownloadTask(probe::recordTask(QStringLiteral("lost")));
    facade.addPicDownloadTask(DownloadPicInfo());
    QString strName = QStringLiteral("name");
    facade.setProductInfo(strName);
    facade.clearDownloadData();
    QVERIFY(!facade.isInited());
    QVERIFY(windows().isEmpty());
    QVERIFY(m_pHost->findChildren<QWidget*>().isEmpty());
    QVERIFY(ScriptedEngine::allCalls().isEmpty());
}

QTEST_MAIN(tst_CDownloadCenterMgr)
#include "tst_CDownloadCenterMgr.moc"
