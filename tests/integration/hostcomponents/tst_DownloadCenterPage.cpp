#include "PageProbe.h"

#include <CGeneratedRoute.h>
#include <CPublicFilesRoute.h>
#include <CSimServer.h>
#include <CWebClientRoute.h>
#include <hostcomponents/CBrowser.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

#include <memory>

// The web client's download-centre page (web/, as the build copies it next to the binaries)
// served by the simulator and shown in the real browser: what it lists, which requests its
// controls send, and how it shows the messages the client sends back. The test plays the
// client's side of the bridge.
class tst_DownloadCenterPage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    CSimServer m_server;
    std::unique_ptr<CBrowser> m_pBrowser;
    std::unique_ptr<PageProbe> m_pProbe;
    QStringList m_listRequestTexts;
    int m_nMessageId = 0;
    // Task ids the page chose, by file name.
    QMap<QString, QString> m_mapTaskIds;

    QString publicFolder() const { return m_dir.filePath(QStringLiteral("public")); }
    QString publicUrl(const QString& strPath) const { return m_server.baseUrl() + "/public/" + strPath; }

    static bool writeFile(const QString& strPath, const QByteArray& baData)
    {
        QFile file(strPath);
        return file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size();
    }

    static QJsonObject parse(const QString& strText)
    {
        return QJsonDocument::fromJson(strText.toUtf8()).object();
    }

    // "params" of the requests of one method, from the nFrom-th request on.
    QList<QJsonObject> paramsOf(const QString& strMethod, int nFrom = 0) const
    {
        QList<QJsonObject> listParams;
        for (int i = nFrom; i < m_listRequestTexts.size(); ++i) {
            const QJsonObject request = parse(m_listRequestTexts.at(i));
            if (request.value(QStringLiteral("method")).toString() == strMethod) {
                listParams << request.value(QStringLiteral("params")).toObject();
            }
        }
        return listParams;
    }

    // Waits for the first request of strMethod after the nFrom-th request.
    bool waitForRequest(const QString& strMethod, int nFrom, QJsonObject* pParams = nullptr)
    {
        (void)QTest::qWaitFor([&] { return !paramsOf(strMethod, nFrom).isEmpty(); }, 60000);
        const QList<QJsonObject> listParams = paramsOf(strMethod, nFrom);
        if (listParams.isEmpty()) {
            return false;
        }
        if (pParams) {
            *pParams = listParams.first();
        }
        return true;
    }

    // Answers as the client does, in its envelope.
    void sendMessage(const QString& strMethod, const QJsonObject& params)
    {
        const QJsonObject message{{"result", true},
                                  {"id", ++m_nMessageId},
                                  {"async", false},
                                  {"method", strMethod},
                                  {"params", params}};
        m_pBrowser->response(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    }

    static QJsonObject entry(const QString& strTaskId, const QString& strFileName, int nStatus,
                             double fProgress)
    {
        return QJsonObject{{"taskId", strTaskId},
                           {"url", "http://unused"},
                           {"fileName", strFileName},
                           {"status", nStatus},
                           {"downloadProgress", fProgress}};
    }

    void sendStatus(const QJsonArray& arrEntries)
    {
        sendMessage(QStringLiteral("responseDownloadTasksByPublicUrlStatus"),
                    QJsonObject{{"downloadTasksStatus", arrEntries}});
    }

    QString jobRow(const QString& strTaskId) const
    {
        return QStringLiteral("document.querySelector('#jobs tr[data-task-id=\"' + %1 + '\"]')")
            .arg(PageProbe::literal(strTaskId));
    }

    QString fileButton(const QString& strUrl, const QString& strClass) const
    {
        return QStringLiteral(
                   "Array.prototype.find.call(document.querySelectorAll('#files tbody tr'), "
                   "function (r) { return r.dataset.url === %1; }).querySelector('.%2')")
            .arg(PageProbe::literal(strUrl), strClass);
    }

    bool click(const QString& strElement)
    {
        return m_pProbe
            ->evaluate(QStringLiteral("(function () { var e = %1; if (!e || e.disabled) return false; "
                                      "e.click(); return true; })()")
                           .arg(strElement))
            .toBool();
    }

    QString text(const QString& strExpression) const { return m_pProbe->evaluate(strExpression).toString(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(publicFolder()));
        QVERIFY(writeFile(publicFolder() + "/a.txt", "hello"));
        QVERIFY(writeFile(publicFolder() + "/b.bin", QByteArray(1000, 'b')));
        QVERIFY(writeFile(publicFolder() + "/c d.bin", QByteArray(2048, 'c')));
        const QString strWeb = QCoreApplication::applicationDirPath() + QStringLiteral("/web");
        QVERIFY2(QFile::exists(strWeb + "/index.html"), qPrintable(strWeb));
        m_server.addRoute(std::make_unique<CPublicFilesRoute>(publicFolder()));
        m_server.addRoute(std::make_unique<CGeneratedRoute>());
        m_server.addRoute(std::make_unique<CWebClientRoute>(strWeb, publicFolder()));
        QVERIFY(m_server.start());

        m_pBrowser = std::make_unique<CBrowser>();
        connect(m_pBrowser.get(), &CBrowser::request, this,
                [this](CBrowser*, const QString& strText) { m_listRequestTexts << strText; });
        m_pBrowser->resize(1000, 700);
        m_pBrowser->show();
        m_pProbe = std::make_unique<PageProbe>(m_pBrowser.get());

        QSignalSpy finished(m_pBrowser.get(), &CBrowser::loadFinished);
        m_pBrowser->SetUrl(m_server.baseUrl() + QStringLiteral("/client/base/client/downloadCenter"));
        QVERIFY(finished.wait(120000));
        QCOMPARE(finished.at(0).at(0).toBool(), true);
    }

    void listsTheOfferedFiles()
    {
        QVERIFY(
            m_pProbe->waitUntil(QStringLiteral("document.querySelectorAll('#files tbody tr').length === 6")));
        const QStringList listNames =
            m_pProbe
                ->evaluate(
                    QStringLiteral("Array.prototype.map.call(document.querySelectorAll('#files tbody tr'), "
                                   "function (r) { return r.querySelector('.name').textContent; })"))
                .toStringList();
        QCOMPARE(listNames, (QStringList{"a.txt", "b.bin", "c d.bin", "sample-1MiB.bin", "sample-16MiB.bin",
                                         "paced-8MiB.bin"}));
        const QStringList listSizes =
            m_pProbe
                ->evaluate(
                    QStringLiteral("Array.prototype.map.call(document.querySelectorAll('#files tbody tr'), "
                                   "function (r) { return r.querySelector('.size').textContent; })"))
                .toStringList();
        QCOMPARE(listSizes, (QStringList{"5B", "1000B", "2.0KB", "1.0MB", "16.0MB", "8.0MB"}));
        QCOMPARE(text(QStringLiteral("document.getElementById('notice').hidden")), QStringLiteral("true"));
    }

    void asksForTheJobsWhenLoaded()
    {
        QVERIFY(waitForRequest(QStringLiteral("getDownloadTasksByPublicUrlStatus"), 0));
        // Nothing runs yet: the badge is set to 0 once the answer is in.
        sendStatus(QJsonArray());
        QJsonObject params;
        QVERIFY(waitForRequest(QStringLiteral("notifyDownloadingFileNum"), 0, &params));
        QCOMPARE(params, (QJsonObject{{"downloadingFileNum", 0}}));
        QCOMPARE(text(QStringLiteral("document.getElementById('jobs-empty').hidden")),
                 QStringLiteral("false"));
    }

    void downloadOneFile()
    {
        const int nFrom = m_listRequestTexts.size();
        QVERIFY(click(fileButton(publicUrl("a.txt"), "download")));
        QJsonObject params;
        QVERIFY(waitForRequest(QStringLiteral("AddDownloadTasksByPublicUrl"), nFrom, &params));
        const QJsonArray arrTasks = params.value(QStringLiteral("downloadTasks")).toArray();
        QCOMPARE(arrTasks.size(), 1);
        const QJsonObject task = arrTasks.at(0).toObject();
        QCOMPARE(task.keys(), (QStringList{"fileName", "taskId", "url"}));
        QCOMPARE(task.value(QStringLiteral("url")).toString(), publicUrl("a.txt"));
        QCOMPARE(task.value(QStringLiteral("fileName")).toString(), QStringLiteral("a.txt"));
        const QString strTaskId = task.value(QStringLiteral("taskId")).toString();
        QVERIFY(!strTaskId.isEmpty());
        m_mapTaskIds.insert(QStringLiteral("a.txt"), strTaskId);

        QVERIFY(waitForRequest(QStringLiteral("notifyDownloadingFileNum"), nFrom, &params));
        QCOMPARE(params, (QJsonObject{{"downloadingFileNum", 1}}));

        const QString strRow = jobRow(strTaskId);
        QVERIFY(m_pProbe->waitUntil(strRow));
        QCOMPARE(text(strRow + ".querySelector('.name').textContent"), QStringLiteral("a.txt"));
        QCOMPARE(text(strRow + ".querySelector('[role=progressbar]').getAttribute('aria-valuenow')"),
                 QStringLiteral("0"));
        QCOMPARE(text(strRow + ".querySelector('.status').textContent"), QStringLiteral("In progress"));
    }

    void downloadSeveralFiles()
    {
        const int nFrom = m_listRequestTexts.size();
        QVERIFY(click(fileButton(publicUrl("b.bin"), "select")));
        QVERIFY(click(fileButton(publicUrl("c%20d.bin"), "select")));
        QVERIFY(click(QStringLiteral("document.getElementById('download-selected')")));
        QJsonObject params;
        QVERIFY(waitForRequest(QStringLiteral("AddDownloadTasksByPublicUrl"), nFrom, &params));
        QCOMPARE(paramsOf(QStringLiteral("AddDownloadTasksByPublicUrl"), nFrom).size(), 1);
        const QJsonArray arrTasks = params.value(QStringLiteral("downloadTasks")).toArray();
        QCOMPARE(arrTasks.size(), 2);
        QCOMPARE(arrTasks.at(0).toObject().value(QStringLiteral("url")).toString(), publicUrl("b.bin"));
        QCOMPARE(arrTasks.at(0).toObject().value(QStringLiteral("fileName")).toString(),
                 QStringLiteral("b.bin"));
        QCOMPARE(arrTasks.at(1).toObject().value(QStringLiteral("url")).toString(), publicUrl("c%20d.bin"));
        QCOMPARE(arrTasks.at(1).toObject().value(QStringLiteral("fileName")).toString(),
                 QStringLiteral("c d.bin"));
        m_mapTaskIds.insert(QStringLiteral("b.bin"),
                            arrTasks.at(0).toObject().value(QStringLiteral("taskId")).toString());
        m_mapTaskIds.insert(QStringLiteral("c d.bin"),
                            arrTasks.at(1).toObject().value(QStringLiteral("taskId")).toString());
        const QStringList listIds = m_mapTaskIds.values();
        QCOMPARE(QSet<QString>(listIds.begin(), listIds.end()).size(), 3);
        QVERIFY(!listIds.contains(QString()));

        QVERIFY(waitForRequest(QStringLiteral("notifyDownloadingFileNum"), nFrom, &params));
        QCOMPARE(params, (QJsonObject{{"downloadingFileNum", 3}}));
        // The selection is used up.
        QCOMPARE(text(QStringLiteral("document.getElementById('download-selected').disabled")),
                 QStringLiteral("true"));
    }

    void pollsWhileJobsRun()
    {
        const int nFrom = m_listRequestTexts.size();
        QTRY_VERIFY_WITH_TIMEOUT(
            paramsOf(QStringLiteral("getDownloadTasksByPublicUrlStatus"), nFrom).size() >= 2, 60000);
        for (const QJsonObject& params :
             paramsOf(QStringLiteral("getDownloadTasksByPublicUrlStatus"), nFrom)) {
            QCOMPARE(params, QJsonObject());
        }
    }

    void showsTheStatusOfAJob_data()
    {
        QTest::addColumn<int>("nStatus");
        QTest::addColumn<QJsonValue>("progress");
        QTest::addColumn<QString>("strValueNow");
        QTest::addColumn<QString>("strStatusText");
        QTest::addColumn<bool>("bCanOpenFile");
        QTest::newRow("started") << 0 << QJsonValue(0.0) << "0"
                                 << "In progress" << false;
        QTest::newRow("under half") << 0 << QJsonValue(0.425) << "42"
                                    << "In progress" << false;
        QTest::newRow("all bytes, not closed") << 0 << QJsonValue(1.0) << "100"
                                               << "In progress" << false;
        QTest::newRow("failed") << 2 << QJsonValue(0.3) << "30"
                                << "Failed" << false;
        QTest::newRow("finished") << 3 << QJsonValue(1.0) << "100"
                                  << "Finished" << true;
        QTest::newRow("finished, progress short") << 3 << QJsonValue(0.5) << "100"
                                                  << "Finished" << true;
        QTest::newRow("progress above 1") << 0 << QJsonValue(7.5) << "100"
                                          << "In progress" << false;
        QTest::newRow("progress below 0") << 0 << QJsonValue(-1.0) << "0"
                                          << "In progress" << false;
        QTest::newRow("progress not a number") << 0 << QJsonValue("half") << "0"
                                               << "In progress" << false;
        QTest::newRow("progress missing") << 0 << QJsonValue(QJsonValue::Undefined) << "0"
                                          << "In progress" << false;
        QTest::newRow("unknown status") << 7 << QJsonValue(0.5) << "50"
                                        << "Unknown" << false;
    }

    void showsTheStatusOfAJob()
    {
        QFETCH(int, nStatus);
        QFETCH(QJsonValue, progress);
        QFETCH(QString, strValueNow);
        QFETCH(QString, strStatusText);
        QFETCH(bool, bCanOpenFile);
        const QString strTaskId = m_mapTaskIds.value(QStringLiteral("a.txt"));
        QVERIFY(!strTaskId.isEmpty());
        QJsonObject job = entry(strTaskId, QStringLiteral("a.txt"), nStatus, 0);
        if (progress.isUndefined()) {
            job.remove(QStringLiteral("downloadProgress"));
        } else {
            job.insert(QStringLiteral("downloadProgress"), progress);
        }
        sendStatus(QJsonArray{job, entry(m_mapTaskIds.value("b.bin"), "b.bin", 0, 0.1),
                              entry(m_mapTaskIds.value("c d.bin"), "c d.bin", 0, 0.1)});
        const QString strRow = jobRow(strTaskId);
        QVERIFY2(
            m_pProbe->waitUntil(
                QStringLiteral("%1.querySelector('.status').textContent === %2 && "
                               "%1.querySelector('[role=progressbar]').getAttribute('aria-valuenow') === %3")
                    .arg(strRow, PageProbe::literal(strStatusText), PageProbe::literal(strValueNow)),
                30000),
            qPrintable(text(strRow + ".querySelector('.status').textContent + ' ' + " + strRow +
                            ".querySelector('[role=progressbar]').getAttribute('aria-valuenow')")));
        QCOMPARE(text(strRow + ".querySelector('.percent').textContent"), strValueNow + "%");
        QCOMPARE(m_pProbe->evaluate(strRow + ".querySelector('.open-file').disabled").toBool(),
                 !bCanOpenFile);
        QCOMPARE(m_pProbe->evaluate(strRow + ".querySelector('.open-folder').disabled").toBool(), false);
    }

    void announcesStatusChanges()
    {
        const QString strTaskId = m_mapTaskIds.value(QStringLiteral("a.txt"));
        sendStatus(QJsonArray{entry(strTaskId, "a.txt", 0, 0.5),
                              entry(m_mapTaskIds.value("b.bin"), "b.bin", 0, 0.1),
                              entry(m_mapTaskIds.value("c d.bin"), "c d.bin", 0, 0.1)});
        QVERIFY(m_pProbe->waitUntil(jobRow(strTaskId) +
                                    ".querySelector('.status').textContent === 'In progress'"));
        sendStatus(QJsonArray{entry(strTaskId, "a.txt", 3, 1),
                              entry(m_mapTaskIds.value("b.bin"), "b.bin", 2, 0.1),
                              entry(m_mapTaskIds.value("c d.bin"), "c d.bin", 0, 0.1)});
        QVERIFY(
            m_pProbe->waitUntil(jobRow(strTaskId) + ".querySelector('.status').textContent === 'Finished'"));
        const QString strLive = QStringLiteral("document.getElementById('announcer')");
        QCOMPARE(text(strLive + ".getAttribute('aria-live')"), QStringLiteral("polite"));
        QCOMPARE(text(strLive + ".textContent"), QStringLiteral("b.bin failed"));
    }

    void badgeFollowsTheRunningCount()
    {
        const QString strA = m_mapTaskIds.value(QStringLiteral("a.txt"));
        const QString strB = m_mapTaskIds.value(QStringLiteral("b.bin"));
        const QString strC = m_mapTaskIds.value(QStringLiteral("c d.bin"));
        // Back to three running, then one.
        int nFrom = m_listRequestTexts.size();
        sendStatus(QJsonArray{entry(strA, "a.txt", 0, 0.2), entry(strB, "b.bin", 0, 0.2),
                              entry(strC, "c d.bin", 0, 0.2)});
        QJsonObject params;
        QVERIFY(waitForRequest(QStringLiteral("notifyDownloadingFileNum"), nFrom, &params));
        QCOMPARE(params, (QJsonObject{{"downloadingFileNum", 3}}));

        nFrom = m_listRequestTexts.size();
        const QJsonArray arrOneRunning{entry(strA, "a.txt", 3, 1), entry(strB, "b.bin", 2, 0.2),
                                       entry(strC, "c d.bin", 0, 0.6)};
        sendStatus(arrOneRunning);
        QVERIFY(waitForRequest(QStringLiteral("notifyDownloadingFileNum"), nFrom, &params));
        QCOMPARE(params, (QJsonObject{{"downloadingFileNum", 1}}));

        // The same count again is not sent again; the open-folder request marks the point by
        // which the page has handled the message.
        nFrom = m_listRequestTexts.size();
        sendStatus(arrOneRunning);
        QVERIFY(m_pProbe->waitUntil(
            jobRow(strC) + ".querySelector('[role=progressbar]').getAttribute('aria-valuenow') === '60'"));
        QVERIFY(click(QStringLiteral("document.getElementById('open-folder')")));
        QVERIFY(waitForRequest(QStringLiteral("openDownloadFiledir"), nFrom));
        QCOMPARE(paramsOf(QStringLiteral("notifyDownloadingFileNum"), nFrom).size(), 0);
    }

    void openFileAndFolder()
    {
        const QString strA = m_mapTaskIds.value(QStringLiteral("a.txt"));
        int nFrom = m_listRequestTexts.size();
        QVERIFY(click(jobRow(strA) + ".querySelector('.open-file')"));
        QJsonObject params;
        QVERIFY(waitForRequest(QStringLiteral("openDownloadFiledir"), nFrom, &params));
        QCOMPARE(params, (QJsonObject{{"taskId", strA}, {"fileName", "a.txt"}}));

        nFrom = m_listRequestTexts.size();
        QVERIFY(click(jobRow(strA) + ".querySelector('.open-folder')"));
        QVERIFY(waitForRequest(QStringLiteral("openDownloadFiledir"), nFrom, &params));
        QCOMPARE(params, QJsonObject());

        // A job still running has nothing to open yet.
        QVERIFY(
            !click(jobRow(m_mapTaskIds.value(QStringLiteral("c d.bin"))) + ".querySelector('.open-file')"));
    }

    void oddMessagesAreIgnored()
    {
        const QString strA = m_mapTaskIds.value(QStringLiteral("a.txt"));
        const int nRows =
            m_pProbe->evaluate(QStringLiteral("document.querySelectorAll('#jobs tbody tr').length")).toInt();
        m_pBrowser->response(QStringLiteral("not json"));
        m_pBrowser->response(QStringLiteral("[1,2]"));
        m_pBrowser->response(QStringLiteral("null"));
        sendMessage(QStringLiteral("someOtherMessage"), QJsonObject{{"downloadTasksStatus", QJsonArray{}}});
        sendMessage(QStringLiteral("responseDownloadTasksByPublicUrlStatus"),
                    QJsonObject{{"downloadTasksStatus", 5}});
        // Entries without a task id stand for ids the client does not know.
        sendStatus(QJsonArray{entry(QString(), QString(), 0, 0), QJsonValue(3), QJsonValue("x")});
        // Then a message that changes something, to know the others were handled.
        sendStatus(QJsonArray{entry(strA, "a.txt", 3, 1), entry(m_mapTaskIds.value("b.bin"), "b.bin", 2, 0.2),
                              entry(m_mapTaskIds.value("c d.bin"), "c d.bin", 0, 0.75)});
        QVERIFY(m_pProbe->waitUntil(
            jobRow(m_mapTaskIds.value("c d.bin")) +
            ".querySelector('[role=progressbar]').getAttribute('aria-valuenow') === '75'"));
        QCOMPARE(
            m_pProbe->evaluate(QStringLiteral("document.querySelectorAll('#jobs tbody tr').length")).toInt(),
            nRows);
        QCOMPARE(text(jobRow(strA) + ".querySelector('.status').textContent"), QStringLiteral("Finished"));
    }

    void refreshReloadsTheLists()
    {
        QVERIFY(writeFile(publicFolder() + "/added later.txt", "later"));
        const int nFrom = m_listRequestTexts.size();
        sendMessage(QStringLiteral("notifyWebRefreshDownloadFilePage"), QJsonObject());
        QVERIFY(m_pProbe->waitUntil(
            QStringLiteral("Array.prototype.some.call(document.querySelectorAll('#files tbody tr .name'), "
                           "function (n) { return n.textContent === 'added later.txt'; })")));
        QVERIFY(waitForRequest(QStringLiteral("getDownloadTasksByPublicUrlStatus"), nFrom));
        // The client's answer is the whole truth again: a job it no longer has goes away.
        const QString strA = m_mapTaskIds.value(QStringLiteral("a.txt"));
        const QString strC = m_mapTaskIds.value(QStringLiteral("c d.bin"));
        sendStatus(QJsonArray{entry(strA, "a.txt", 3, 1), entry(strC, "c d.bin", 0, 0.8)});
        QVERIFY(m_pProbe->waitUntil(QStringLiteral("!") + jobRow(m_mapTaskIds.value("b.bin"))));
        QVERIFY(m_pProbe->evaluate(jobRow(strA) + " !== null").toBool());
        QCOMPARE(text(jobRow(strC) + ".querySelector('[role=progressbar]').getAttribute('aria-valuenow')"),
                 QStringLiteral("80"));
    }

    void usableWithTheKeyboard()
    {
        QWidget* pTarget = m_pProbe->view()->focusProxy();
        QVERIFY(pTarget);
        m_pBrowser->activateWindow();
        pTarget->setFocus();
        QVERIFY(m_pProbe
                    ->evaluate(QStringLiteral("document.getElementById('logout').focus(); "
                                              "document.activeElement.id"))
                    .toString() == QStringLiteral("logout"));
        // Tab along the page's controls to the download button of a.txt, then press it.
        const QString strIsTarget =
            QStringLiteral("document.activeElement === %1").arg(fileButton(publicUrl("a.txt"), "download"));
        bool bReached = false;
        for (int i = 0; i < 12 && !bReached; ++i) {
            QVERIFY(m_pProbe->evaluate(QStringLiteral("window.focusBefore = document.activeElement; true"))
                        .toBool());
            QTest::keyClick(pTarget, Qt::Key_Tab);
            QVERIFY(m_pProbe->waitUntil(QStringLiteral("document.activeElement !== window.focusBefore")));
            bReached = m_pProbe->evaluate(strIsTarget).toBool();
        }
        QVERIFY(bReached);
        // The focus can be seen.
        QCOMPARE(text(QStringLiteral("getComputedStyle(document.activeElement).outlineStyle")),
                 QStringLiteral("solid"));
        const int nFrom = m_listRequestTexts.size();
        QTest::keyClick(pTarget, Qt::Key_Return);
        QJsonObject params;
        QVERIFY(waitForRequest(QStringLiteral("AddDownloadTasksByPublicUrl"), nFrom, &params));
        QCOMPARE(params.value(QStringLiteral("downloadTasks"))
                     .toArray()
                     .at(0)
                     .toObject()
                     .value(QStringLiteral("url"))
                     .toString(),
                 publicUrl("a.txt"));
    }

    void controlsHaveNames()
    {
        // Every control and progress bar has a name a screen reader can say.
        const QStringList listUnnamed =
            m_pProbe
                ->evaluate(QStringLiteral(
                    "Array.prototype.filter.call(document.querySelectorAll('button, input, "
                    "[role=progressbar]'), "
                    "function (e) { return !(e.getAttribute('aria-label') || e.textContent).trim(); })"
                    ".map(function (e) { return e.outerHTML; })"))
                .toStringList();
        QCOMPARE(listUnnamed, QStringList());
        QVERIFY(
            m_pProbe->evaluate(QStringLiteral("document.querySelectorAll('#jobs [role=progressbar]').length"))
                .toInt() >= 2);
    }

    void requestsAreWellFormed()
    {
        QVERIFY(!m_listRequestTexts.isEmpty());
        double fLastId = 0;
        for (const QString& strText : qAsConst(m_listRequestTexts)) {
            const QJsonDocument document = QJsonDocument::fromJson(strText.toUtf8());
            QVERIFY2(document.isObject(), qPrintable(strText));
            const QJsonObject request = document.object();
            QCOMPARE(request.keys(), (QStringList{"async", "id", "method", "params"}));
            QVERIFY2(request.value(QStringLiteral("method")).isString(), qPrintable(strText));
            QVERIFY2(request.value(QStringLiteral("params")).isObject(), qPrintable(strText));
            QVERIFY2(request.value(QStringLiteral("id")).isDouble(), qPrintable(strText));
            // A fresh id for each request.
            QVERIFY2(request.value(QStringLiteral("id")).toDouble() > fLastId, qPrintable(strText));
            fLastId = request.value(QStringLiteral("id")).toDouble();
        }
    }

    void worksWithoutTheClient()
    {
        // Inside a frame the client's channel library is not given, as in a plain browser.
        QVERIFY(m_pProbe
                    ->evaluate(
                        QStringLiteral("window.frameDone = false; var f = document.createElement('iframe');"
                                       "f.id = 'plain'; f.onload = function () { window.frameDone = true; };"
                                       "f.src = location.href; document.body.appendChild(f); true"))
                    .toBool());
        QVERIFY(m_pProbe->waitUntil(QStringLiteral("window.frameDone")));
        const QString strDoc = QStringLiteral("document.getElementById('plain').contentDocument");
        QVERIFY(m_pProbe->waitUntil(strDoc + ".querySelectorAll('#files tbody tr').length === 7"));
        QCOMPARE(text(strDoc + ".getElementById('notice').hidden"), QStringLiteral("false"));
        QVERIFY(!text(strDoc + ".getElementById('notice').textContent").isEmpty());
        QCOMPARE(text(strDoc + ".querySelector('#files button.download').disabled"), QStringLiteral("true"));
        QCOMPARE(text(strDoc + ".getElementById('logout').disabled"), QStringLiteral("true"));
        QVERIFY(
            m_pProbe->evaluate(QStringLiteral("document.getElementById('plain').remove(); true")).toBool());
    }

    void logOut()
    {
        const int nFrom = m_listRequestTexts.size();
        QVERIFY(click(QStringLiteral("document.getElementById('logout')")));
        QJsonObject params;
        QVERIFY(waitForRequest(QStringLiteral("NotifyLoginOut"), nFrom, &params));
        QCOMPARE(params, QJsonObject());
        QCOMPARE(text(QStringLiteral("document.querySelector('#files button.download').disabled")),
                 QStringLiteral("true"));
    }

    void cleanupTestCase()
    {
        m_pProbe.reset();
        m_pBrowser.reset();
        m_server.stop();
    }
};

QTEST_MAIN(tst_DownloadCenterPage)
#include "tst_DownloadCenterPage.moc"
