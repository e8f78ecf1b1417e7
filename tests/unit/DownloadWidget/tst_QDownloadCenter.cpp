#include <QtTest>

#include <QAbstractItemModelTester>
#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTranslator>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <hostcomponents/CBrowser.h>
#include <hostcomponents/QRedDotLabel.h>
#include <hostservices/CConfig.h>
#include <hostservices/WebNotifyBus.h>
#include <orbgui/OrbMessageBox.h>
#include <orbgui/OrbTableView.h>

#include <memory>

#include "CDoneTableModel.h"
#include "CPicTableModel.h"
#include "CRecordTableModel.h"
#include "DataRows.h"
#include "DownloadingWidgetProbe.h"
#include "LogCapture.h"
#include "ModalAnswerer.h"
#include "NotificationCapture.h"
#include "QDownloadCenter.h"
#include "QDownloadDoneWidget.h"
#include "ScriptedEngine.h"

using datarows::row;

// The window as the host, the user and the web page meet it: tabs, counts and red dots, the
// "Done" list and its questions, and the requests of the page.
namespace {

using Box = ORBGUI::OrbMessageBox;
using Role = ORBGUI::struTreeViewData;
using Done = CDoneTableModel;

QString request(const QString& strMethod, const QString& strParams = QStringLiteral("{}"))
{
    return QStringLiteral(R"({"method":"%1","id":1,"async":false,"params":%2})").arg(strMethod, strParams);
}

QJsonObject parse(const QString& strText)
{
    return QJsonDocument::fromJson(strText.toUtf8()).object();
}

}  // namespace

class tst_QDownloadCenter : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl& url) { m_listEvents << "open " + url.toLocalFile(); }

private slots:
    void initTestCase()
    {
        // A language the module has no translation for: it falls back to English.
        QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
        QVERIFY(m_dirRecords.isValid() && m_dirFiles.isValid());
        // Nothing listens there: the page never loads, so only the test talks to the window.
        probe::setClientSetting(QStringLiteral("Local/WebUrl"), QStringLiteral("http://127.0.0.1:9/web"));
        probe::setClientSetting(QStringLiteral("Download/DownloadPath"), m_dirRecords.path());
        probe::setClientSetting(QStringLiteral("Download/FileDownloadPath"), m_dirFiles.path());
        // Files of the rows' names: taking rows off the list never touches them.
        for (int i = 0; i < 6; ++i) {
            QFile file(m_dirRecords.filePath(QStringLiteral("row %1").arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }

    void init()
    {
        ScriptedEngine::reset();
        ModalAnswerer::reset();
        m_listEvents.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
        WebNotifyBus::registerReceiver(QStringLiteral("Main"), &m_busContext,
                                       [this](const QJsonObject& message) {
                                           m_listEvents << "main " + message.value("method").toString();
                                       });
        m_pHost = std::make_unique<QWidget>();
        m_pHost->resize(1100, 800);
        m_pWindow = QDownloadCenter::instance();
        m_pWindow->initWidget(m_pHost.get());
        m_pBrowser = m_pWindow->findChild<CBrowser*>();
        QVERIFY(m_pBrowser);
        checkDoneModel();
        connect(m_pBrowser, &CBrowser::sgnResponseSent, this, [this](const QString& strText) {
            // The method, and the jobs of a status message.
            const QJsonObject message = parse(strText);
            QString strEvent = "page " + message.value("method").toString();
            for (const QJsonValue& task :
                 message.value("params").toObject().value("downloadTasksStatus").toArray()) {
                strEvent += ' ' + task.toObject().value("taskId").toString();
            }
            m_listEvents << strEvent;
        });
    }

    void cleanup()
    {
        QDownloadCenter::destroyInstance();
        // The page goes with the window, also after a log-out.
        QTRY_VERIFY(m_pBrowser.isNull());
        m_pHost.reset();
        WebNotifyBus::unregisterReceiver(QStringLiteral("Main"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(ModalAnswerer::problems(), QStringList());
        QCOMPARE(QDir(m_dirRecords.path()).entryList(QDir::Files).size(), 6);
    }

    void embedsAndCoversHost()
    {
        QCOMPARE(m_pWindow->parentWidget(), m_pHost.get());
        // Showing it is the host's call.
        QVERIFY(m_pWindow->isHidden());
        m_pHost->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pHost.get()));
        m_pWindow->show();
        // Every button has its own accelerator.
        QCOMPARE(probe::accelerators(*m_pWindow), QString("RIWODFCP"));
        m_pHost->resize(700, 500);
        QCOMPARE(m_pWindow->geometry(), QRect(0, 0, 700, 500));
        // Only the first host counts.
        QWidget otherHost;
        m_pWindow->initWidget(&otherHost);
        QCOMPARE(m_pWindow->parentWidget(), m_pHost.get());

        QPointer<QDownloadCenter> pFirst = m_pWindow;
        QDownloadCenter::destroyInstance();
        QVERIFY(!pFirst && m_pHost->findChildren<QWidget*>().isEmpty());
        // The next use builds a new one, which a missing host does not embed.
        m_pWindow = QDownloadCenter::instance();
        m_pWindow->initWidget(nullptr);
        QVERIFY(!m_pWindow->isInited() && !m_pWindow->parentWidget());
    }

    void tabs_data()
    {
        datarows::columns<QStringList, QString, QStringList>("listClicks", "strShown", "listEvents");

        // Opening the file tab asks the page to reload its lists. Each pair of buttons keeps one
        // checked, also when that one is clicked again (the record table ends in front in all).
        const QStringList listRefresh{QStringLiteral("page notifyWebRefreshDownloadFilePage")};
        row("start", QStringList(), "0 wgtDownloading btnRecordDownload btnDownloading", QStringList());
        row("done list", QStringList{"btnDone"}, "0 wgtDone btnRecordDownload btnDone", QStringList());
        row("file tab", QStringList{"btnFileDownload"}, "1 btnFileDownload btnDownloading", listRefresh);
        row("back keeps the list", QStringList{"btnDone", "btnFileDownload", "btnRecordDownload"},
            "0 wgtDone btnRecordDownload btnDone", listRefresh);
        row("back to downloading", QStringList{"btnDone", "btnDownloading"},
            "0 wgtDownloading btnRecordDownload btnDownloading", QStringList());
        row("file tab twice", QStringList{"btnFileDownload", "btnFileDownload"},
            "1 btnFileDownload btnDownloading", listRefresh + listRefresh);
        row("checked ones again",
            QStringList{"btnRecordDownload", "btnDownloading", "btnRecordDownloading",
                        "btnPictureDownloading", "btnRecordDownloading"},
            "0 wgtDownloading btnRecordDownload btnDownloading", QStringList());
    }

    void skins_data()
    {
        QTest::addColumn<QString>("strSkin");
        row("default", "Default");
        row("dark", "Dark");
    }

    // Each skin styles every part of the window with its own sheet, and its texts are readable.
    void skins()
    {
        QFETCH(QString, strSkin);
        // The default skin is the one of a client that names none.
        probe::setClientSetting(QStringLiteral("Local/SkinVersion"),
                                strSkin == "Default" ? QVariant() : QVariant(strSkin));
        QDownloadCenter::destroyInstance();
        m_pWindow = QDownloadCenter::instance();
        m_pWindow->initWidget(m_pHost.get());
        probe::setClientSetting(QStringLiteral("Local/SkinVersion"), QVariant());
        // At the window's default size, from the first frame: every label whole.
        m_pHost->resize(985, 735);
        m_pHost->show();
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pHost.get()));
        QCOMPARE(probe::cutLabels(*m_pWindow), QString());
        // What is not text reads at 3:1 against the list (WCAG 1.4.11), measured as drawn: a
        // row's check box, its progress track and icons, the frame of the focused list.
        emit m_pWindow->sgnAddDownloadTask(probe::recordTask(QStringLiteral("front door.mp4")));
        auto* pView = m_pWindow->findChild<QDownloadingWidget*>()->findChild<ORBGUI::OrbTableView*>(
            QStringLiteral("tableDownloadingList"));
        pView->setFocus();
        QTRY_VERIFY(pView->hasFocus());
        QStringList listFaint;
        for (int nColumn : {int(CRecordTableModel::ColumnCheck), int(CRecordTableModel::ColumnPercent),
                            int(CRecordTableModel::ColumnOperate)}) {
            const QModelIndex index = pView->model()->index(0, nColumn);
            pView->scrollTo(index);
            const QImage image = pView->grab().toImage();
            const QPoint offset = pView->viewport()->geometry().topLeft();
            const QColor back =
                image.pixelColor(offset + pView->viewport()->rect().bottomRight() - QPoint(5, 5));
            // Inside the row's lines; the frame is the view's top line.
            const QRect cell = pView->visualRect(index).translated(offset).adjusted(1, 2, -1, -2);
            if (probe::strongest(image, cell, back) < 3) {
                listFaint << QString::number(nColumn);
            }
            if (probe::strongest(image, QRect(0, 0, image.width(), 1), back) < 3) {
                listFaint << "focus frame";
            }
        }
        QCOMPARE(listFaint.join(", "), QString());
        const QList<QPair<QString, QWidget*>> listParts = {
            {"QDownloadCenter", m_pWindow},
            {"wgtTabBar", m_pWindow->findChild<QWidget*>("wgtTabBar")},
            {"QDownloadingWidget", m_pWindow->findChild<QDownloadingWidget*>()},
            {"QDownloadDoneWidget", m_pWindow->findChild<QDownloadDoneWidget*>()}};
        QString strBackground;
        for (const auto& part : listParts) {
            QFile sheet(QStringLiteral("Skin/%1/DownloadApp/QssFile/%2.qss").arg(strSkin, part.first));
            QVERIFY(sheet.open(QIODevice::ReadOnly) && part.second);
            QCOMPARE(part.second->styleSheet(), QString::fromUtf8(sheet.readAll()));
            QCOMPARE(probe::lowContrast(part.second->styleSheet(), strBackground).join("; "), QString());
        }
    }

    void tabs()
    {
        QFETCH(QStringList, listClicks);
        QFETCH(QString, strShown);
        QFETCH(QStringList, listEvents);

        for (const QString& strButton : listClicks) {
            child<QPushButton>(qPrintable(strButton))->click();
        }
        // The page of the stack, the list shown and the buttons checked.
        QStringList listShown{
            QString::number(child<QStackedWidget>("DownloadCenterStacked")->currentIndex())};
        for (const char* szName :
             {"wgtDownloading", "wgtDone", "btnRecordDownload", "btnFileDownload", "btnDownloading",
              "btnDone", "btnRecordDownloading", "btnPictureDownloading"}) {
            auto* pButton = child<QAbstractButton>(szName);
            if (pButton ? pButton->isChecked() : child(szName)->isVisibleTo(m_pWindow)) {
                listShown << szName;
            }
        }
        QCOMPARE(listShown.join(' '), strShown + " btnRecordDownloading");
        QCOMPARE(m_listEvents, listEvents);
    }

    // Tab walks the window in reading order, in both lists: the chosen tab, the chosen list,
    // Delete, Open folder, the chosen kind of table, the table. As in any tab bar, the arrows
    // choose another tab, list or kind.
    void keyboardOrder()
    {
        m_pHost->show();
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pHost.get()));
        QApplication::setActiveWindow(m_pHost.get());
        const auto walk = [this](const char* szFrom, int nSteps) {
            child<QWidget>(szFrom)->setFocus();
            QStringList listFocus;
            for (int i = 0; i < nSteps && QApplication::focusWidget(); ++i) {
                listFocus << QApplication::focusWidget()->objectName();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            return listFocus.join(' ');
        };
        QCOMPARE(walk("btnRecordDownload", 7),
                 QString("btnRecordDownload btnDownloading btnDelete btnFolder "
                         "btnRecordDownloading tableDownloadingList btnRecordDownload"));
        QTest::keyClick(child<QWidget>("btnDownloading"), Qt::Key_Right);
        QVERIFY(child<QAbstractButton>("btnDone")->isChecked() && child<QWidget>("btnDone")->hasFocus());
        QCOMPARE(
            walk("btnRecordDownload", 6),
            QString("btnRecordDownload btnDone btnDelete btnFolder tableDownloadingList btnRecordDownload"));
    }

    void readableAtDefaultSize_data()
    {
        QTest::addColumn<QString>("strLanguage");
        row("English", "en");
        row("German", "de");
    }

    // At the window's default size, with the widest typical rows, every number, time and state
    // shows whole in each list and every column is in sight; only names may be cut, in the middle.
    void readableAtDefaultSize()
    {
        QFETCH(QString, strLanguage);
        QTranslator translator;
        QVERIFY(translator.load("DownloadApp_" + strLanguage, ":/DownloadApp/translations"));
        QCoreApplication::installTranslator(&translator);
        const QLocale before;
        QLocale::setDefault(QLocale(strLanguage));
        const auto restore = qScopeGuard([&] {
            QCoreApplication::removeTranslator(&translator);
            QLocale::setDefault(before);
        });
        restart();
        m_pHost->resize(985, 735);
        m_pHost->show();
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pHost.get()));

        const qint64 nLargest = qint64(1023.9 * 1024 * 1024);
        DownloadInfo record = probe::recordTask("Entrance_20261205_235959_channel_01.mp4", 0, 0, nLargest);
        record.strChannelName = QStringLiteral("Entrance camera of the north gate");
        record.strShopName = QStringLiteral("Shop 1024 at the central station");
        record.stRecordFile.strBeginTime = "2026-12-05 08:00:00";
        record.stRecordFile.strEndTime = "2026-12-05 23:59:59";
        for (int i = 0; i < 7; ++i) {  // five run, two wait
            emit m_pWindow->sgnAddDownloadTask(record);
        }
        auto& engine = CRecordDownloadManager::getInstance();
        ScriptedEngine::setProgress(1, 1.0f, QStringLiteral("1023.9KB/s"));
        emit engine.sgnBeginDecodeNotify(2);
        emit engine.sgnDownloadStateNotify(3, false, ScriptedEngine::heldRecordInfo(3));
        auto* pDownloading = child<QDownloadingWidget>("wgtDownloading");
        pDownloading->onTimeOut();
        DownloadPicInfo picture = probe::picTask("Entrance_20261205_235959_pictures.zip");
        picture.strBeginTime = QStringLiteral("2026-12-05 08:00:00");
        picture.strEndTime = QStringLiteral("2026-12-05 23:59:59");
        emit m_pWindow->sgnAddPicDownloadTask(picture);
        emit m_pWindow->sgnAddPicDownloadTask(picture);
        pDownloading->onPicGetDownloadZipInfo(nLargest);
        pDownloading->onPicDownloadProgress(100);
        record.nStartDownloadTime = picture.nStartDownloadTime = QDateTime::currentSecsSinceEpoch() - 86399;
        done()->onDownloadFinished(record);
        done()->onPicDownloadFinished(picture);

        using Rec = CRecordTableModel;
        using Pic = CPicTableModel;
        // The list's button, its table, the columns shown whole, those where an icon may stand for
        // the text (the record list has three names to show as well).
        const QList<std::tuple<const char*, const char*, QList<int>, QList<int>>> listLists = {
            {"btnRecordDownloading",
             "tableDownloadingList",
             {Rec::ColumnBeginTime, Rec::ColumnEndTime, Rec::ColumnFileSize, Rec::ColumnSpeed,
              Rec::ColumnStatus},
             {Rec::ColumnStatus}},
            {"btnPictureDownloading",
             "tablePicDownloadingList",
             {Pic::ColumnBeginTime, Pic::ColumnEndTime, Pic::ColumnFileSize, Pic::ColumnSpeed,
              Pic::ColumnStatus},
             {}},
            {"btnDone",
             nullptr,
             {Done::ColumnBeginTime, Done::ColumnEndTime, Done::ColumnFileSize, Done::ColumnDoneTime},
             {}}};
        QStringList listCut;
        for (const auto& list : listLists) {
            child<QAbstractButton>(std::get<0>(list))->click();
            auto* pView = std::get<1>(list) ? child<ORBGUI::OrbTableView>(std::get<1>(list))
                                            : done()->findChild<ORBGUI::OrbTableView*>();
            QVERIFY(pView->isVisible() && pView->model()->rowCount() >= 2);
            QCoreApplication::processEvents();
            listCut << probe::cutCells(*pView, std::get<2>(list), std::get<3>(list));
            // Names are cut in the middle: their start and extension stay.
            QCOMPARE(pView->textElideMode(), Qt::ElideMiddle);
        }
        QCOMPARE(listCut.join("; "), QString());
    }

    void counts_data()
    {
        datarows::columns<QList<int>, QStringList, QString>("listCounts", "listFromPage", "strCounts");

        const QList<int> listNone;
        const QString strNone = QStringLiteral("Downloading 0, Done 0, dots -, ");
        row("none", listNone, QStringList(), strNone + "-");
        row("9", QList<int>{9}, QStringList(), "Downloading 9, Done 9, dots 9 16x16, -");
        row("10", QList<int>{10}, QStringList(), "Downloading 10, Done 10, dots 10 26x16, -");
        row("99", QList<int>{99}, QStringList(), "Downloading 99, Done 99, dots 99 26x16, -");
        row("100", QList<int>{100}, QStringList(), "Downloading 99+, Done 99+, dots 99+ (100) 32x16, -");
        row("back to 0", QList<int>{12, 0}, QStringList(), strNone + "-");
        // The page's own count only sets the file tab's dot; anything but a whole number is none.
        row("page 10", listNone, QStringList{"10"}, strNone + "10 26x16");
        row("page 100", listNone, QStringList{"100"}, strNone + "99+ (100) 32x16");
        row("page negative", listNone, QStringList{"-4"}, strNone + "-");
        row("page text", listNone, QStringList{"\"7\""}, strNone + "-");
        row("page without count", listNone, QStringList{"12", ""}, strNone + "12 26x16");
    }

    void counts()
    {
        QFETCH(QList<int>, listCounts);
        QFETCH(QStringList, listFromPage);
        QFETCH(QString, strCounts);

        // The counts both lists report, in order.
        for (int nCount : listCounts) {
            emit child<QDownloadingWidget>("wgtDownloading")->sgnDownloadingItemNumChanaged(nCount);
            emit done()->sgnDoneItemNumChanged(nCount);
        }
        for (const QString& strCount : listFromPage) {
            const QString strParams = QStringLiteral(R"({"downloadingFileNum":%1})").arg(strCount);
            emit m_pBrowser->request(m_pBrowser,
                                     request(QStringLiteral("notifyDownloadingFileNum"),
                                             strCount.isEmpty() ? QStringLiteral("{}") : strParams));
        }
        QCOMPARE(shownCounts(), strCounts);
        QCOMPARE(m_listEvents, QStringList());
    }

    void finishedTasksAndDeviceEvents()
    {
        emit m_pWindow->sgnAddDownloadTask(probe::recordTask(QStringLiteral("front door.mp4")));
        emit m_pWindow->sgnAddDownloadTask(probe::recordTask(QStringLiteral("back door.mp4")));
        emit m_pWindow->sgnAddPicDownloadTask(probe::picTask(QStringLiteral("pictures.zip")));
        QCOMPARE(shownCounts(), QStringLiteral("Downloading 3, Done 0, dots 3 16x16, -"));

        emit CRecordDownloadManager::getInstance().sgnDownloadStateNotify(1, true,
                                                                          ScriptedEngine::heldRecordInfo(1));
        emit CPicDownloadManager::getInstance().sgnPicFinishedDowndload();
        QCOMPARE(doneNames(), QStringList({"pictures.zip", "front door.mp4"}));
        QCOMPARE(shownCounts(), QStringLiteral("Downloading 1, Done 2, dots 1 16x16, -"));

        // Only the deletion of the tasks' own device takes them away.
        ScriptedEngine::clearCalls();
        m_pWindow->notifyDeviceStatus({{"deviceId", "device-2"}, {"channelId", "3"}, {"event", "delete"}});
        m_pWindow->notifyDeviceStatus({{"deviceId", "device-1"}, {"channelId", "3"}, {"event", "offline"}});
        QCOMPARE(shownCounts(), QStringLiteral("Downloading 1, Done 2, dots 1 16x16, -"));
        m_pWindow->notifyDeviceStatus({{"deviceId", "device-1"}, {"channelId", "3"}, {"event", "delete"}});
        QCOMPARE(ScriptedEngine::record().calls({QStringLiteral("stopDownload")}),
                 QStringList{"stopDownload(2,2,true)"});
        QCOMPARE(shownCounts(), QStringLiteral("Downloading 0, Done 2, dots -, -"));

        m_pWindow->clearDownloadData();
        QCOMPARE(doneNames(), QStringList());
        QCOMPARE(shownCounts(), QStringLiteral("Downloading 0, Done 0, dots -, -"));
        // Cleared for good: nothing comes back at the next start.
        restart();
        QCOMPARE(shownCounts(), QStringLiteral("Downloading 0, Done 0, dots -, -"));
    }

    void pageRequests_data()
    {
        datarows::columns<QStringList, QStringList, QStringList>("listRequests", "listEvents", "listLogged");

        const QStringList listNone;
        row("open folder", QStringList{request("openDownloadFiledir")},
            QStringList{"open " + m_dirFiles.path()}, listNone);
        // An address the jobs refuse at once: no transfer, a failed job the status lists.
        row("add, then status",
            QStringList{
                request("AddDownloadTasksByPublicUrl",
                        R"({"downloadTasks":[{"taskId":"t-1","url":"ftp:a.bin","fileName":"a.bin"}]})"),
                request("getDownloadTasksByPublicUrlStatus", R"({"downloadTasks":["t-1"]})")},
            QStringList{"page responseDownloadTasksByPublicUrlStatus t-1"},
            QStringList{"6 rejected address [ftp:a.bin] of task [t-1]: not an http or https address"});
        row("add without a list", QStringList{request("AddDownloadTasksByPublicUrl")}, listNone,
            QStringList{"6 refused a request without a list of downloadTasks"});
        row("log-out", QStringList{request("NotifyLoginOut")}, QStringList{"main notifyWebLoginOut"},
            listNone);
        row("unknown or miscased",
            QStringList{request("getDownloadTasks"), request("notifyLoginOut"),
                        request("OpenDownloadFiledir")},
            listNone, listNone);

        // Malformed requests are logged as warnings and get no answer.
        const QString strTruncated = QStringLiteral(R"({"method":"NotifyLoginOut","id":1,"async")");
        QJsonParseError error;
        QJsonDocument::fromJson(strTruncated.toUtf8(), &error);
        row("truncated", QStringList{strTruncated}, listNone,
            QStringList{"6 Json error[" + error.errorString() + "]"});
        const QString strArray = QStringLiteral(R"([{"method":"NotifyLoginOut"}])");
        row("array", QStringList{strArray}, listNone, QStringList{"6 Json format error[" + strArray + "]"});
        const QString strNoId = QStringLiteral(R"({"method":"NotifyLoginOut","async":false,"params":{}})");
        row("no id", QStringList{strNoId}, listNone, QStringList{"6 Json context error[" + strNoId + "]"});
        // Percent signs reach the log as they came.
        const QString strPercent = QStringLiteral(R"({"method":"%s%n","id":"%1%2","async":"%%"})");
        row("percent signs", QStringList{strPercent}, listNone,
            QStringList{"6 Json context error[" + strPercent + "]"});
    }

    void pageRequests()
    {
        QFETCH(QStringList, listRequests);
        QFETCH(QStringList, listEvents);
        QFETCH(QStringList, listLogged);

        LogCapture capture;
        for (const QString& strRequest : listRequests) {
            emit m_pBrowser->request(m_pBrowser, strRequest);
        }
        QCoreApplication::processEvents();
        QTRY_COMPARE(m_listEvents, listEvents);
        // Told of a log-out, the page outlives the window: the host destroys that next.
        QCOMPARE(!m_pBrowser->parent(), listEvents.contains("main notifyWebLoginOut"));
        QStringList listRecords;
        for (const ncl::NLogRecord& record : capture.records()) {
            listRecords << QStringLiteral("%1 %2").arg(record.nLevel).arg(record.strMessage);
        }
        QCOMPARE(listRecords, listLogged);
    }

    void doneRows_data()
    {
        datarows::columns<int, int, qint64, QString>("nSourceKind", "nDownloadMode", "nFileSize", "strRow");

        const QString strRecord = QStringLiteral("r|Channel of r|Shop of r|2024-03-01 08:00:00|09:00:00|");
        row("record", 0, 0, qint64(1536), strRecord + "1.5KB");
        row("no size reported", 0, 0, qint64(0), strRecord + "unknown size");
        row("kind 2, mode 0", 2, 0, qint64(5000), strRecord + "unknown size");
        row("kind 2, mode 2", 2, 2, qint64(5000), strRecord + "4.9KB");
        row("kind 23, mode 2", 23, 2, qint64(5000), strRecord + "unknown size");
        row("kind 23, mode 1", 23, 1, qint64(5000), strRecord + "4.9KB");
        // A picture package always has a size, even 0, and no channel or shop.
        row("picture", -1, 0, qint64(0), "p|--|--|2024-03-01 08:00:00|09:00:00|0B");
    }

    void doneRows()
    {
        QFETCH(int, nSourceKind);
        QFETCH(int, nDownloadMode);
        QFETCH(qint64, nFileSize);
        QFETCH(QString, strRow);

        // Started 833,334 hours, a minute and a second ago: more seconds than 32 bits hold.
        const qint64 nStart = QDateTime::currentSecsSinceEpoch() - 3000003661;
        DownloadInfo record = probe::recordTask(QStringLiteral("r"), nSourceKind, nDownloadMode, nFileSize);
        record.strFilePath = QStringLiteral("/srv/records/r");
        DownloadPicInfo picture = probe::picTask(QStringLiteral("p"));
        record.nStartDownloadTime = picture.nStartDownloadTime = nStart;
        nSourceKind < 0 ? done()->onPicDownloadFinished(picture) : done()->onDownloadFinished(record);
        QStringList listCells;
        QList<int> listColumns;
        for (int nColumn = Done::ColumnFileName; nColumn <= Done::ColumnDoneTime; ++nColumn) {
            listColumns << nColumn;
            listCells << doneModel()->index(0, nColumn).data().toString();
        }
        const QString strTook = listCells.takeLast();
        QCOMPARE(listCells.join('|'), strRow);
        // A name cut short shows where the file is.
        const QModelIndex name = doneModel()->index(0, Done::ColumnFileName);
        QCOMPARE(name.data(Qt::ToolTipRole).toString(), nSourceKind < 0 ? "" : record.strFilePath);
        // How long it took, read within a few seconds.
        QVERIFY2(QRegularExpression("^833.?334 h 21 min [1-5] s$").match(strTook).hasMatch(),
                 qPrintable(strTook));
        QCOMPARE(shownCounts(), QStringLiteral("Downloading 0, Done 1, dots -, -"));
        // Kept as shown: every column, the file's place, the time it took.
        const auto shownRows = [&] {
            return probe::doneRows(*m_pWindow, listColumns) +
                   QStringList(doneModel()->index(0, Done::ColumnFileName).data(Qt::ToolTipRole).toString());
        };
        const QStringList listShown = shownRows();
        restart();
        QCOMPARE(shownRows(), listShown);
        QCOMPARE(shownCounts(), QStringLiteral("Downloading 0, Done 1, dots -, -"));
    }

    void deleteRows_data()
    {
        // nMeanwhile:while the box is open: 1 a row arrives, 2 the host logs out
        datarows::columns<QList<int>, int, int, int, QStringList>("listChecked", "nIconSlot", "nAnswer",
                                                                  "nMeanwhile", "listLeft");

        // Top to bottom: row 5 to row 0. "Delete" takes the checked rows, the icon slot (-1: none) of
        // the third row that row.
        const QStringList listAll{"row 5", "row 4", "row 3", "row 2", "row 1", "row 0"};
        const QList<int> listChecked{1, 3, 4};
        const QList<int> listThird{2};
        row("OK", listChecked, -1, int(Box::Ok), 0, QStringList{"row 5", "row 3", "row 0"});
        row("Cancel", listChecked, -1, int(Box::Cancel), 0, listAll);
        row("a row arrives above meanwhile", listChecked, -1, int(Box::Ok), 1,
            QStringList{"new", "row 5", "row 3", "row 0"});
        row("logged out meanwhile", listChecked, -1, int(Box::Ok), 2, QStringList());
        row("nothing checked", QList<int>(), -1, 0, 0, listAll);
        row("icon, OK", listThird, 0, int(Box::Ok), 0,
            QStringList{"row 5", "row 4", "row 2", "row 1", "row 0"});
        row("icon, Cancel", listThird, 0, int(Box::Cancel), 0, listAll);
        row("icon, a row arrives above meanwhile", listThird, 0, int(Box::Ok), 1,
            QStringList{"new", "row 5", "row 4", "row 2", "row 1", "row 0"});
        row("icon, logged out meanwhile", listThird, 0, int(Box::Ok), 2, QStringList());
        row("another icon slot", listThird, 1, int(Box::Ok), 0, listAll);
    }

    void deleteRows()
    {
        QFETCH(QList<int>, listChecked);
        QFETCH(int, nIconSlot);
        QFETCH(int, nAnswer);
        QFETCH(int, nMeanwhile);
        QFETCH(QStringList, listLeft);

        for (int i = 0; i < 6; ++i) {
            done()->onDownloadFinished(probe::recordTask(QStringLiteral("row %1").arg(i)));
        }
        if (nAnswer) {
            ModalAnswerer::answerNext(nAnswer, [this, nMeanwhile] {
                if (nMeanwhile == 2) {
                    QDownloadCenter::destroyInstance();
                } else if (nMeanwhile == 1) {
                    done()->onPicDownloadFinished(probe::picTask(QStringLiteral("new")));
                }
            });
        }
        NotificationCapture notifications;
        if (nIconSlot < 0) {
            for (int nRow : listChecked) {
                doneModel()->setData(doneModel()->index(nRow, Done::ColumnCheck), Qt::Checked,
                                     Qt::CheckStateRole);
            }
            done()->findChild<QPushButton*>(QStringLiteral("btnDelete"))->click();
        } else {
            emit done()->findChild<ORBGUI::OrbTableView*>()->SignalPixmapClicked(
                doneModel()->index(listChecked.first(), Done::ColumnOperate),
                static_cast<Role::OrbItemDataRole>(Role::PixmapRole0 + nIconSlot));
        }
        const QString strAsked =
            nIconSlot >= 0 ? QStringLiteral("Are you sure you want to delete the selected file?")
            : nAnswer      ? QStringLiteral("Are you sure you want to delete the selected files?")
                           : QStringLiteral("No record selected.");
        QCOMPARE(ModalAnswerer::questions() + notifications.texts(), QStringList{strAsked});
        if (nMeanwhile == 2) {
            return;
        }
        QCOMPARE(doneNames(), listLeft);
        QCOMPARE(shownCounts(), QStringLiteral("Downloading 0, Done %1, dots -, -").arg(listLeft.size()));
        restart();
        QCOMPARE(doneNames(), listLeft);
    }

    // The stored file as this client finds it: of an earlier version, damaged, of a newer client, or
    // in use by another client on the same profile.
    void storedFile_data()
    {
        // nVersion: -1: not a database; listAfterRestart: once a row was added
        datarows::columns<int, bool, QStringList, QStringList, QString>("nVersion", "bInUse", "listShown",
                                                                        "listAfterRestart", "strLog");

        const QStringList listOld{"old.mp4"};
        row("version 1", 1, false, listOld, QStringList{"new", "old.mp4"}, "up to date");
        row("damaged", -1, false, QStringList(), QStringList{"new"}, "renamed");
        row("newer client", 99, false, listOld, listOld, "newer client");
        row("in use", 1, true, listOld, listOld, "read-only");
    }

    void storedFile()
    {
        QFETCH(int, nVersion);
        QFETCH(bool, bInUse);
        QFETCH(QStringList, listShown);
        QFETCH(QStringList, listAfterRestart);
        QFETCH(QString, strLog);

        QDownloadCenter::destroyInstance();
        const QString strPath = ConfigInfo::CConfig::instance().getDownloadConfig().strHistoryFile;
        const QDir folder = QFileInfo(strPath).dir();
        const QStringList listOld = folder.entryList({"*.damaged-*"}) << QFileInfo(strPath).fileName();
        for (const QString& strOld : listOld) {
            QFile::remove(folder.filePath(strOld));
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
            db.setDatabaseName(strPath);
            QVERIFY(db.open());
            QSqlQuery query(db);
            // The first layout: finished downloads only.
            QVERIFY(
                query.exec("CREATE TABLE done (id INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER NOT "
                           "NULL, info TEXT NOT NULL, seconds INTEGER NOT NULL DEFAULT 0)"));
            QVERIFY(
                query.exec(R"(INSERT INTO done (kind, info, seconds) VALUES (0, '{"name":"old.mp4"}', 5))"));
            QVERIFY(query.exec(QString("PRAGMA user_version=%1").arg(nVersion)));
        }
        QSqlDatabase::removeDatabase("old");
        const QByteArray baDamaged(4096, 'x');
        QFile file(strPath);
        QVERIFY(nVersion >= 0 || (file.open(QIODevice::WriteOnly) && file.write(baDamaged) == 4096));
        file.close();
        QLockFile otherClient(strPath + ".lock");
        QVERIFY(!bInUse || otherClient.tryLock(0));

        LogCapture log;
        NotificationCapture notifications;
        restart();
        QCOMPARE(doneNames(), listShown);
        // Only a file this client may write is switched to its own journal.
        QCOMPARE(QFileInfo::exists(strPath + "-wal"), listAfterRestart.contains("new"));
        QVERIFY2(log.contains(nVersion == 1 && !bInUse ? 5 : 6, strLog),
                 qPrintable(log.messages().join('\n')));
        // Set aside whole, and said once.
        const QStringList listAside = folder.entryList({"*.damaged-*"});
        QCOMPARE(listAside.size(), nVersion < 0 ? 1 : 0);
        QCOMPARE(notifications.texts().size(), nVersion < 0 ? 1 : 0);
        if (nVersion < 0) {
            QFile aside(folder.filePath(listAside.first()));
            QVERIFY(aside.open(QIODevice::ReadOnly) && aside.readAll() == baDamaged && aside.remove());
        }
        done()->onDownloadFinished(probe::recordTask("new"));
        restart();
        QCOMPARE(doneNames(), listAfterRestart);
        // A row added before the stored ones are read shows once, above them; after a clear
        // meanwhile they never show.
        restart([this] { done()->onDownloadFinished(probe::recordTask("newer")); });
        QCOMPARE(doneNames(), QStringList{"newer"} + listAfterRestart);
        restart([this] { done()->clearDoneList(); });
        QCOMPARE(doneNames(), QStringList());
    }

    // The button, then the row's context menu: its entries, and what "Open file" and "Open folder" open.
    void openFolder()
    {
        done()->findChild<QPushButton*>(QStringLiteral("btnFolder"))->click();
        DownloadInfo record = probe::recordTask(QStringLiteral("r"));
        record.strFilePath = m_dirRecords.filePath(QStringLiteral("r.mp4"));
        done()->onDownloadFinished(record);
        m_pHost->show();
        m_pWindow->show();
        auto* pView = done()->findChild<ORBGUI::OrbTableView*>();
        QStringList listEntries;
        for (const QString strEntry : {"Open file", "Open folder"}) {
            emit pView->customContextMenuRequested(
                pView->visualRect(doneModel()->index(0, Done::ColumnFileName)).center());
            QMenu* pMenu = done()->findChild<QMenu*>();
            pMenu->hide();
            listEntries.clear();
            for (QAction* pAction : pMenu->actions()) {
                listEntries << pAction->text();
                pAction->text() == strEntry ? pAction->trigger() : void();
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QCOMPARE(listEntries, QStringList({"Open file", "Delete", "Open folder", "Select all"}));
        const QString strFolder = "open " + m_dirRecords.path();
        QCOMPARE(m_listEvents, QStringList({strFolder, "open " + record.strFilePath, strFolder}));
    }

private:
    template <typename T = QWidget>
    T* child(const char* szName) const
    {
        return m_pWindow->findChild<T*>(QLatin1String(szName));
    }
    // The two list buttons and the two red dots, as the user reads them.
    QString shownCounts() const
    {
        const auto dot = [this](const char* szDot, const char* szLabel) {
            const auto* pLabel = child<QRedDotLabel>(szLabel);
            // The whole count for screen readers, in brackets where the dot cuts it.
            const QString strSpoken = pLabel->accessibleDescription();
            return child(szDot)->isVisibleTo(m_pWindow)
                       ? QStringLiteral("%1%4 %2x%3")
                             .arg(pLabel->text())
                             .arg(pLabel->width())
                             .arg(pLabel->height())
                             .arg(strSpoken == pLabel->text() ? QString() : " (" + strSpoken + ")")
                       : QStringLiteral("-");
        };
        return QStringLiteral("%1, %2, dots %3, %4")
            .arg(child<QPushButton>("btnDownloading")->text().remove('&'),
                 child<QPushButton>("btnDone")->text().remove('&'),
                 dot("wgtRecordDownloadNum", "labRecordDownloadNum"),
                 dot("wgtFileDownloadNum", "labFileDownloadNum"));
    }
    // The client closed and started again on the same profile.
    void restart(const std::function<void()>& fnBeforeRead = {})
    {
        QDownloadCenter::destroyInstance();
        m_pWindow = QDownloadCenter::instance();
        m_pWindow->initWidget(m_pHost.get());
        checkDoneModel();
        // The stored Done rows arrive once read, off the window's thread.
        QSignalSpy restored(done(), &QDownloadDoneWidget::sgnDoneItemNumChanged);
        if (fnBeforeRead) {
            fnBeforeRead();
        }
        QTRY_VERIFY(restored.size() == (fnBeforeRead ? 2 : 1));
    }
    // Qt's checks of the Done model, on every change the tests make; they go with the model.
    void checkDoneModel() const
    {
        new QAbstractItemModelTester(doneModel(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     doneModel());
    }
    QDownloadDoneWidget* done() const { return child<QDownloadDoneWidget>("wgtDone"); }
    QAbstractItemModel* doneModel() const { return probe::doneModel(*m_pWindow); }
    QStringList doneNames() const { return probe::doneRows(*m_pWindow, {Done::ColumnFileName}); }

    // '#', '?' and '%' in the path are part of the folder's name, not URL syntax.
    QTemporaryDir m_dirRecords{QDir::tempPath() + "/records #1 ?%41-XXXXXX"};
    QTemporaryDir m_dirFiles;
    std::unique_ptr<QWidget> m_pHost;
    QDownloadCenter* m_pWindow = nullptr;
    QPointer<CBrowser> m_pBrowser;
    QObject m_busContext;
    // What left the window, in order: messages to the page and to "Main", folders opened.
    QStringList m_listEvents;
};

QTEST_MAIN(tst_QDownloadCenter)
#include "tst_QDownloadCenter.moc"
