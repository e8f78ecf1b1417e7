#include "CDemoTour.h"

#include <FileSha256.h>
#include <QAbstractItemView>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTextStream>

#include <CGeneratedBody.h>
#include <CSimDevices.h>
#include <ncl/NPrintLog.h>

#include "CDemoEnvironment.h"
#include "CDoneTableModel.h"
#include "QDemoMainWindow.h"
#include "QModulesPanel.h"

namespace {

// A file the web page offers from the simulator's generator: 8 MiB paced at 1 MiB/s, so that it
// is seen in progress. Pattern 0 is the generator's default.
const char* const kPacedName = "paced-8MiB.bin";
constexpr qint64 kPacedBytes = 8 * 1024 * 1024;

const char* const kDroppingDevice = "NVR-7F3A21";
const int kDroppingChannel = 2;
const char* const kDeletedDevice = "NVR-19C4E0";

QDateTime morning(int nHour, int nMinute, int nSecond = 0)
{
    return QDateTime(QDate::currentDate().addDays(-1), QTime(nHour, nMinute, nSecond));
}

CDemoTaskFactory::RecordRequest record(
    const char* pDeviceId, int nChannel, const QDateTime& begin, int nSeconds,
    CDemoTaskFactory::DeviceLink eLink = CDemoTaskFactory::DeviceLink::Normal, int nSourceKind = 0)
{
    CDemoTaskFactory::RecordRequest request;
    request.strDeviceId = QLatin1String(pDeviceId);
    request.nChannel = nChannel;
    request.begin = begin;
    request.end = begin.addSecs(nSeconds);
    request.nSourceKind = nSourceKind;
    request.eLink = eLink;
    return request;
}

}  // namespace

CDemoTour::CDemoTour(QDemoMainWindow* pWindow, CDemoEnvironment* pEnvironment,
                     const QString& strScreenshotFolder, int nTimeoutSeconds, QObject* parent)
    : QObject(parent),
      m_pWindow(pWindow),
      m_pEnvironment(pEnvironment),
      m_driver(pWindow->contentArea()),
      m_strScreenshotFolder(strScreenshotFolder),
      m_nTimeoutSeconds(nTimeoutSeconds)
{
}

void CDemoTour::run()
{
    m_deadline = QDeadlineTimer(qint64(m_nTimeoutSeconds) * 1000);
    say(QStringLiteral("simulator at %1, profile in %2")
            .arg(m_pEnvironment->baseUrl(), m_pEnvironment->profileFolder()));
    if (!QDir().mkpath(m_strScreenshotFolder)) {
        check(QStringLiteral("the screenshot folder can be created"), false, m_strScreenshotFolder);
    }

    const bool bCompleted = showCentre() && downloadRecordings() && downloadPictures() && showDoneList() &&
                            downloadFromWebPage() && deleteDevice() && logOutAndIn() &&
                            restartMidRecording() && darkSkin();

    QTextStream out(stdout);
    out << "\n== Tour summary ==\n";
    int nPassed = 0;
    for (const Check& result : qAsConst(m_listChecks)) {
        nPassed += result.bPassed ? 1 : 0;
        out << (result.bPassed ? "ok    " : "FAIL  ") << result.strWhat;
        if (!result.bPassed && !result.strDetail.isEmpty()) {
            out << ": " << result.strDetail;
        }
        out << "\n";
    }
    if (!bCompleted) {
        out << "The tour stopped at the first failure above.\n";
    }
    if (!bCompleted || nPassed != m_listChecks.size()) {
        out << "\n== Notifications and calls ==\n" << m_pWindow->activityText() << "\n";
        printLogTail(out);
    }
    out << nPassed << " of " << m_listChecks.size() << " checks passed; screenshots in "
        << m_strScreenshotFolder << "\n";
    out.flush();
    const bool bAllPassed = bCompleted && nPassed == m_listChecks.size();
    QCoreApplication::exit(bAllPassed ? 0 : 1);
}

bool CDemoTour::showCentre()
{
    say(QStringLiteral("the download centre"));
    m_pWindow->selectEntry(QDemoMainWindow::MenuEntry::DownloadCentre);
    if (!waitFor([this] { return m_driver.isShown(); }, 30,
                 QStringLiteral("the download centre shows from the menu"))) {
        return false;
    }
    check(QStringLiteral("the download centre covers the content area"),
          m_driver.centre()->geometry() == m_pWindow->contentArea()->rect());
    // The version comes from the loaded library's metadata, not from the client.
    check(QStringLiteral("Help > About names the module's version"),
          m_pWindow->aboutText().contains(QLatin1String("version " DC_PROJECT_VERSION)),
          m_pWindow->aboutText());

    m_pWindow->selectEntry(QDemoMainWindow::MenuEntry::LiveView);
    if (!waitFor([this] { return !m_driver.isShown(); }, 10,
                 QStringLiteral("another module hides the download centre"))) {
        return false;
    }
    m_pWindow->selectEntry(QDemoMainWindow::MenuEntry::DownloadCentre);
    if (!waitFor([this] { return m_driver.isShown(); }, 10,
                 QStringLiteral("the download centre shows again"))) {
        return false;
    }

    m_pWindow->modulesPanel()->setProductName(QStringLiteral("Store"));
    const QAbstractItemView* pRecords = m_driver.recordTable();
    return check(
        QStringLiteral("the product name titles the lists"),
        pRecords && pRecords->model()->headerData(CRecordTableModel::ColumnShop, Qt::Horizontal).toString() ==
                        QLatin1String("Store"),
        pRecords ? pRecords->model()->headerData(CRecordTableModel::ColumnShop, Qt::Horizontal).toString()
                 : QStringLiteral("no list"));
}

bool CDemoTour::downloadRecordings()
{
    say(QStringLiteral("record downloads"));
    using Link = CDemoTaskFactory::DeviceLink;
    // Six tasks for five parallel downloads: the last one waits. The second breaks half-way;
    // the fifth is of a kind whose size the list does not show.
    m_listRecords = {
        record("NVR-7F3A21", 1, morning(8, 0), 120),
        record(kDroppingDevice, kDroppingChannel, morning(8, 0), 60, Link::DropsHalfWay),
        record("NVR-7F3A21", 3, morning(9, 0), 150),
        record("NVR-19C4E0", 1, morning(8, 0), 120),
        record("NVR-19C4E0", 2, morning(12, 0), 90, Link::Normal, 2),
        record("IPC-5520B8", 1, morning(8, 0), 60),
    };
    for (const CDemoTaskFactory::RecordRequest& request : qAsConst(m_listRecords)) {
        m_pWindow->modulesPanel()->addRecordDownload(request);
    }
    const CDemoTaskFactory factory(m_pEnvironment->baseUrl());
    const QString strFirst = factory.recordTask(m_listRecords.at(0)).strFileName;
    const QString strDropping = factory.recordTask(m_listRecords.at(1)).strFileName;

    if (!waitFor(
            [this, strDropping] {
                const int nRow = m_driver.recordRow(strDropping);
                return nRow >= 0 &&
                       CCentreDriver::cell(m_driver.recordTable(), nRow, CCentreDriver::kRecordStatusColumn,
                                           Qt::UserRole) == CCentreDriver::kStateFailed &&
                       m_driver.recordRowsIn(CCentreDriver::kStateDownloading) >= 3;
            },
            60, QStringLiteral("a recording fails half-way while others download"))) {
        return false;
    }

    const int nFirstRow = m_driver.recordRow(strFirst);
    check(QStringLiteral("the speed icon of a downloading recording can be clicked"),
          nFirstRow >= 0 &&
              CCentreDriver::clickIcon(m_driver.recordTable(), nFirstRow, CCentreDriver::kRecordOperateColumn,
                                       CCentreDriver::kSpeedIconRole));
    waitFor(
        [this, strFirst] {
            const int nRow = m_driver.recordRow(strFirst);
            return nRow >= 0 && CCentreDriver::cell(m_driver.recordTable(), nRow,
                                                    CCentreDriver::kRecordOperateColumn, Qt::UserRole) == 2;
        },
        10, QStringLiteral("the speed switch goes to 2x"));
    // One more progress tick, so that the picture shows the bars moving on.
    waitFor(
        [this, strFirst] {
            const int nRow = m_driver.recordRow(strFirst);
            return nRow < 0 ||
                   CCentreDriver::cell(m_driver.recordTable(), nRow, CCentreDriver::kRecordPercentColumn,
                                       CCentreDriver::kProgressValueRole)
                           .toInt() >= 40;
        },
        30, QStringLiteral("the recordings make progress"));
    screenshot(QStringLiteral("downloading.png"));

    QMenu* pMenu = CCentreDriver::openRowMenu(m_driver.recordTable(), m_driver.recordRow(strDropping));
    if (check(QStringLiteral("a right click on the failed recording opens its menu"),
              pMenu && pMenu->actions().size() >= 4)) {
        screenshot(QStringLiteral("context-menu.png"), pMenu);
        pMenu->hide();
    }
    const int nDroppingRow = m_driver.recordRow(strDropping);
    if (!check(QStringLiteral("the continue icon of the failed recording can be clicked"),
               nDroppingRow >= 0 && CCentreDriver::clickIcon(m_driver.recordTable(), nDroppingRow,
                                                             CCentreDriver::kRecordOperateColumn,
                                                             CCentreDriver::kContinueIconRole))) {
        return false;
    }
    if (!waitFor([this] { return CCentreDriver::rowCount(m_driver.recordTable()) == 0; }, 120,
                 QStringLiteral("every recording finishes"))) {
        return false;
    }

    // The continued task asked the device for the rest only.
    bool bResumed = false;
    const QList<CSimDevices::Request> listRequests =
        m_pEnvironment->devices()->requests(QLatin1String(kDroppingDevice));
    for (const CSimDevices::Request& request : listRequests) {
        if (request.nChannel == kDroppingChannel && request.strMethod == QLatin1String("GET") &&
            request.strRange.startsWith(QLatin1String("bytes=")) &&
            !request.strRange.startsWith(QLatin1String("bytes=0-"))) {
            bResumed = true;
        }
    }
    check(QStringLiteral("the continued recording resumed where it broke (HTTP Range)"), bResumed);

    bool bAllExact = true;
    for (const CDemoTaskFactory::RecordRequest& request : qAsConst(m_listRecords)) {
        const QString strName = factory.recordTask(request).strFileName;
        bAllExact &= checkFile(QStringLiteral("recording %1 is byte-exact").arg(strName),
                               QDir(CDemoEnvironment::recordFolder()).filePath(strName),
                               CDemoTaskFactory::recordSha256(request));
    }
    return bAllExact;
}

bool CDemoTour::downloadPictures()
{
    say(QStringLiteral("picture downloads"));
    check(QStringLiteral("the picture list can be chosen"),
          m_driver.clickButton(QStringLiteral("btnPictureDownloading")));
    CDemoTaskFactory::PictureRequest first;
    first.strDeviceId = QStringLiteral("NVR-7F3A21");
    first.nChannel = 1;
    first.begin = morning(8, 0);
    first.end = morning(8, 30);
    first.nPictureCount = 12;
    CDemoTaskFactory::PictureRequest second = first;
    second.strDeviceId = QStringLiteral("IPC-5520B8");
    second.nPictureCount = 40;
    m_listPictures = {first, second};
    for (const CDemoTaskFactory::PictureRequest& request : qAsConst(m_listPictures)) {
        m_pWindow->modulesPanel()->addPictureDownload(request);
    }
    if (!waitFor([this] { return CCentreDriver::rowCount(m_driver.pictureTable()) == 0; }, 60,
                 QStringLiteral("the picture packages finish"))) {
        return false;
    }
    const CDemoTaskFactory factory(m_pEnvironment->baseUrl());
    bool bAllExact = true;
    for (const CDemoTaskFactory::PictureRequest& request : qAsConst(m_listPictures)) {
        const QString strName = factory.pictureTask(request).strFileName;
        bAllExact &= checkFile(QStringLiteral("picture package %1 is byte-exact").arg(strName),
                               QDir(CDemoEnvironment::recordFolder()).filePath(strName),
                               CDemoTaskFactory::pictureSha256(request));
    }
    m_driver.clickButton(QStringLiteral("btnRecordDownloading"));
    return bAllExact;
}

bool CDemoTour::showDoneList()
{
    say(QStringLiteral("the Done list"));
    const int nExpected = m_listRecords.size() + m_listPictures.size();
    check(QStringLiteral("the Done list can be chosen"), m_driver.clickButton(QStringLiteral("btnDone")));
    if (!waitFor([this, nExpected] { return CCentreDriver::rowCount(m_driver.doneTable()) == nExpected; }, 10,
                 QStringLiteral("the Done list holds every finished task"))) {
        return false;
    }
    const QString strTitle =
        m_driver.doneTable()->model()->headerData(CDoneTableModel::ColumnShop, Qt::Horizontal).toString();
    check(QStringLiteral("the product name titles the Done list too"), strTitle == QLatin1String("Store"),
          strTitle);
    screenshot(QStringLiteral("done.png"));
    m_driver.clickButton(QStringLiteral("btnDownloading"));
    return true;
}

bool CDemoTour::downloadFromWebPage()
{
    say(QStringLiteral("file download in the web page"));
    m_pWindow->selectEntry(QDemoMainWindow::MenuEntry::FileDownload);
    // The first start of the browser is slow on small machines.
    if (!waitFor(
            [this] {
                return m_driver.isShown() &&
                       pageQuery(QStringLiteral(
                                     "String(document.querySelectorAll('#files button.download').length)"))
                               .toInt() > 0;
            },
            120, QStringLiteral("the web page lists the files on offer"))) {
        return false;
    }
    const QString strFirmware = CDemoEnvironment::firmwareName();
    const QString strPaced = QLatin1String(kPacedName);
    for (const QString& strName : {strFirmware, strPaced}) {
        if (!check(QStringLiteral("the page's download button of %1 can be clicked").arg(strName),
                   m_driver.clickInPage(
                       QStringLiteral("#files button.download[aria-label=\"Download %1\"]").arg(strName),
                       10000))) {
            return false;
        }
    }

    // Name -> "finished", "failed" or the percent, as the page shows each job.
    const QString strJobs = QStringLiteral(
        "(function () {"
        "  var jobs = {};"
        "  document.querySelectorAll('#jobs tbody tr').forEach(function (row) {"
        "    var bar = row.querySelector('[role=progressbar]');"
        "    jobs[row.querySelector('.name').textContent] = row.classList.contains('finished') ? 'finished'"
        "      : row.classList.contains('failed') ? 'failed' : bar.getAttribute('aria-valuenow');"
        "  });"
        "  return JSON.stringify(jobs);"
        "})()");
    const auto jobs = [this, strJobs] {
        return QJsonDocument::fromJson(pageQuery(strJobs).toUtf8()).object();
    };
    if (!waitFor(
            [&] {
                const QJsonObject state = jobs();
                // The paced one on its way, so that the picture shows both kinds of row.
                const QString strPacedState = state.value(strPaced).toString();
                return state.value(strFirmware).toString() == QLatin1String("finished") &&
                       (strPacedState == QLatin1String("finished") || strPacedState.toInt() >= 5);
            },
            60, QStringLiteral("the page shows the first download finished"))) {
        say(QStringLiteral("the page's downloads: %1").arg(pageQuery(strJobs)));
        return false;
    }
    // The bars glide to their new width: the picture waits until they are drawn where they belong.
    CCentreDriver::waitUntil(
        [this] {
            return pageQuery(QStringLiteral(
                       "String(Array.prototype.every.call(document.querySelectorAll('#jobs "
                       "[role=progressbar]'),"
                       "  function (bar) {"
                       "    var nWanted = bar.getBoundingClientRect().width * "
                       "Number(bar.getAttribute('aria-valuenow')) / 100;"
                       "    return Math.abs(bar.firstChild.getBoundingClientRect().width - nWanted) < 2;"
                       "  }))")) == QLatin1String("true");
        },
        5000);
    screenshot(QStringLiteral("file-download.png"));
    if (!waitFor(
            [&] {
                const QJsonObject state = jobs();
                return state.value(strPaced).toString() == QLatin1String("finished");
            },
            60, QStringLiteral("the page shows the paced download finished"))) {
        say(QStringLiteral("the page's downloads: %1").arg(pageQuery(strJobs)));
        return false;
    }
    const QDir folder(CDemoEnvironment::fileFolder());
    const bool bFirmware = checkFile(QStringLiteral("%1 from the page is byte-exact").arg(strFirmware),
                                     folder.filePath(strFirmware),
                                     fileSha256(QDir(m_pEnvironment->publicFolder()).filePath(strFirmware)));
    const bool bPaced = checkFile(QStringLiteral("%1 from the page is byte-exact").arg(strPaced),
                                  folder.filePath(strPaced), generatedSha256(0, kPacedBytes));
    return bFirmware && bPaced;
}

bool CDemoTour::deleteDevice()
{
    say(QStringLiteral("device deletion"));
    m_pWindow->selectEntry(QDemoMainWindow::MenuEntry::DownloadCentre);
    if (!waitFor([this] { return m_driver.isShown(); }, 10,
                 QStringLiteral("the download centre shows again"))) {
        return false;
    }
    m_driver.clickButton(QStringLiteral("btnRecordDownload"));

    using Link = CDemoTaskFactory::DeviceLink;
    const QList<CDemoTaskFactory::RecordRequest> listSlow = {
        record(kDeletedDevice, 1, morning(10, 0), 300, Link::Slow),
        record(kDeletedDevice, 3, morning(10, 0), 300, Link::Slow),
        record("IPC-5520B8", 1, morning(10, 0), 300, Link::Slow),
    };
    for (const CDemoTaskFactory::RecordRequest& request : listSlow) {
        m_pWindow->modulesPanel()->addRecordDownload(request);
    }
    if (!waitFor([this] { return m_driver.recordRowsIn(CCentreDriver::kStateDownloading) == 3; }, 30,
                 QStringLiteral("three slow recordings download"))) {
        return false;
    }
    m_pWindow->modulesPanel()->deleteDevice(QLatin1String(kDeletedDevice), 1);

    const CDemoTaskFactory factory(m_pEnvironment->baseUrl());
    const QString strKept = factory.recordTask(listSlow.at(2)).strFileName;
    if (!waitFor(
            [this, strKept] {
                return CCentreDriver::rowCount(m_driver.recordTable()) == 1 &&
                       m_driver.recordRow(strKept) == 0;
            },
            30, QStringLiteral("deleting a device removes its recordings and keeps the others"))) {
        return false;
    }
    // The profile deletes the partial files of removed tasks (Base/OpenOSD).
    QStringList listLeft;
    const QStringList listFiles = QDir(CDemoEnvironment::recordFolder()).entryList(QDir::Files);
    for (int i = 0; i < 2; ++i) {
        const QString strStem = QFileInfo(factory.recordTask(listSlow.at(i)).strFileName).completeBaseName();
        for (const QString& strFile : listFiles) {
            if (strFile.startsWith(strStem)) {
                listLeft << strFile;
            }
        }
    }
    check(QStringLiteral("the deleted device's partial files are gone"), listLeft.isEmpty(),
          listLeft.join(", "));

    m_pWindow->modulesPanel()->clearLists();
    return waitFor(
        [this] {
            return CCentreDriver::rowCount(m_driver.recordTable()) == 0 &&
                   CCentreDriver::rowCount(m_driver.doneTable()) == 0;
        },
        10, QStringLiteral("clearing empties both lists"));
}

bool CDemoTour::logOutAndIn()
{
    say(QStringLiteral("log-out and log-in"));
    m_pWindow->onLogOut();
    if (!waitFor([this] { return m_driver.centre() == nullptr; }, 10,
                 QStringLiteral("log-out closes the download centre"))) {
        return false;
    }
    m_pWindow->onLogIn();
    if (!waitFor([this] { return m_driver.isShown(); }, 30,
                 QStringLiteral("log-in brings a fresh download centre"))) {
        return false;
    }
    return check(QStringLiteral("the fresh download centre starts with empty lists"),
                 m_driver.recordTable() && CCentreDriver::rowCount(m_driver.recordTable()) == 0 &&
                     m_driver.doneTable() && CCentreDriver::rowCount(m_driver.doneTable()) == 0);
}

bool CDemoTour::restartMidRecording()
{
    say(QStringLiteral("restart in the middle of a recording"));
    const CDemoTaskFactory::RecordRequest request =
        record("IPC-5520B8", 2, morning(14, 0), 8, CDemoTaskFactory::DeviceLink::Slow);
    const QString strName = CDemoTaskFactory(m_pEnvironment->baseUrl()).recordTask(request).strFileName;
    const QString strPart =
        QDir(CDemoEnvironment::recordFolder()).filePath(strName + QStringLiteral(".part"));
    m_pWindow->modulesPanel()->addRecordDownload(request);
    if (!waitFor([strPart] { return QFileInfo(strPart).size() > 0; }, 30,
                 QStringLiteral("a slow recording is under way"))) {
        return false;
    }
    // What the module sees of a client that quits and starts again: its window goes, a new one
    // comes up from the stored lists.
    m_pWindow->onLogOut();
    if (!waitFor([this] { return m_driver.centre() == nullptr; }, 10, QStringLiteral("the client quits"))) {
        return false;
    }
    m_pWindow->onLogIn();
    if (!waitFor([this, strName] { return m_driver.isShown() && m_driver.recordRow(strName) >= 0; }, 30,
                 QStringLiteral("after the restart the recording is back in the list"))) {
        return false;
    }
    if (!waitFor([this, strName] { return m_driver.recordRow(strName) < 0; }, 60,
                 QStringLiteral("the recording cut by the restart finishes"))) {
        return false;
    }
    bool bResumed = false;
    for (const CSimDevices::Request& sent :
         m_pEnvironment->devices()->requests(QStringLiteral("IPC-5520B8"))) {
        bResumed |= sent.nChannel == 2 && sent.strRange.startsWith(QLatin1String("bytes=")) &&
                    !sent.strRange.startsWith(QLatin1String("bytes=0-"));
    }
    check(QStringLiteral("after the restart it went on where its file stopped (HTTP Range)"), bResumed);
    return checkFile(QStringLiteral("the recording cut by the restart is byte-exact"),
                     QDir(CDemoEnvironment::recordFolder()).filePath(strName),
                     CDemoTaskFactory::recordSha256(request));
}

bool CDemoTour::darkSkin()
{
    say(QStringLiteral("the dark skin"));
    const QString strDefaultSheet = m_driver.centre()->styleSheet();
    m_pWindow->modulesPanel()->setSkin(QStringLiteral("Dark"));
    m_pWindow->onLogOut();
    m_pWindow->onLogIn();
    if (!waitFor([this] { return m_driver.isShown(); }, 30,
                 QStringLiteral("log-in brings the download centre in the dark skin"))) {
        return false;
    }
    check(QStringLiteral("the dark skin has a sheet of its own"),
          !m_driver.centre()->styleSheet().isEmpty() && m_driver.centre()->styleSheet() != strDefaultSheet);
    m_pWindow->modulesPanel()->addRecordDownload(record("NVR-7F3A21", 1, morning(10, 0), 120));
    m_pWindow->modulesPanel()->addRecordDownload(record(kDroppingDevice, kDroppingChannel, morning(10, 0), 60,
                                                        CDemoTaskFactory::DeviceLink::DropsHalfWay));
    if (!waitFor([this] { return m_driver.recordRowsIn(CCentreDriver::kStateFailed) == 1; }, 60,
                 QStringLiteral("in the dark skin, one recording downloads and one fails"))) {
        return false;
    }
    screenshot(QStringLiteral("downloading-dark.png"));
    m_pWindow->modulesPanel()->setSkin(QStringLiteral("Default"));
    return true;
}

bool CDemoTour::waitFor(const std::function<bool()>& fnDone, int nSeconds, const QString& strWhat)
{
    const qint64 nLeftMs = m_deadline.remainingTime();
    const int nTimeoutMs = static_cast<int>(qMin<qint64>(qint64(nSeconds) * 1000, qMax<qint64>(0, nLeftMs)));
    if (CCentreDriver::waitUntil(fnDone, nTimeoutMs)) {
        return check(strWhat, true);
    }
    const bool bTourTimedOut = nTimeoutMs < nSeconds * 1000;
    return check(strWhat, false,
                 bTourTimedOut ? QStringLiteral("the tour's %1 s ran out").arg(m_nTimeoutSeconds)
                               : QStringLiteral("not within %1 s").arg(nSeconds));
}

bool CDemoTour::check(const QString& strWhat, bool bPassed, const QString& strDetail)
{
    m_listChecks.append({strWhat, bPassed, strDetail});
    if (!bPassed) {
        say(QStringLiteral("FAILED: %1%2")
                .arg(strWhat, strDetail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(strDetail)));
    }
    return bPassed;
}

bool CDemoTour::checkFile(const QString& strWhat, const QString& strPath, const QByteArray& baSha256)
{
    if (!QFile::exists(strPath)) {
        return check(strWhat, false, QStringLiteral("no file %1").arg(strPath));
    }
    const QByteArray baActual = fileSha256(strPath);
    return check(strWhat, baActual == baSha256,
                 QStringLiteral("SHA-256 %1, expected %2")
                     .arg(QString::fromLatin1(baActual), QString::fromLatin1(baSha256)));
}

void CDemoTour::screenshot(const QString& strName, QWidget* pPopup)
{
    const QString strLanguage = QLocale().bcp47Name().section(QLatin1Char('-'), 0, 0);
    const QString strFile =
        strLanguage == QLatin1String("en") || strLanguage == QLatin1String("C")
            ? strName
            : QFileInfo(strName).completeBaseName() + QLatin1Char('-') + strLanguage + QStringLiteral(".png");
    const QString strPath = QDir(m_strScreenshotFolder).filePath(strFile);
    // The module alone, painted now, not whenever the next repaint would have come.
    QWidget* pModule = m_pWindow->contentArea();
    pModule->repaint();
    QPixmap pixmap = pModule->grab();
    if (pPopup) {
        QPainter(&pixmap).drawPixmap(pPopup->mapToGlobal(QPoint()) - pModule->mapToGlobal(QPoint()),
                                     pPopup->grab());
    }
    const bool bSaved = pixmap.save(strPath, "PNG");
    check(QStringLiteral("screenshot %1 saved").arg(strName), bSaved, strPath);
}

void CDemoTour::say(const QString& strText)
{
    QTextStream(stdout) << "tour: " << strText << Qt::endl;
}

void CDemoTour::printLogTail(QTextStream& out)
{
    // The log lives in the temporary profile, which goes with the application.
    const int nLines = 60;
    QFile log(ncl::NPrintLog::instance()->logFilePath());
    if (!log.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return;
    }
    QStringList listLines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    listLines = listLines.mid(qMax(0, listLines.size() - nLines));
    out << "\n== Last lines of the module's log (" << log.fileName() << ") ==\n"
        << listLines.join(QLatin1Char('\n')) << "\n";
}

QString CDemoTour::pageQuery(const QString& strScript) const
{
    return m_driver.evaluate(strScript, 5000).toString();
}

QByteArray CDemoTour::generatedSha256(quint64 nPattern, qint64 nSize)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray baChunk(64 * 1024, Qt::Uninitialized);
    for (qint64 nOffset = 0; nOffset < nSize; nOffset += baChunk.size()) {
        const int nLength = static_cast<int>(qMin<qint64>(baChunk.size(), nSize - nOffset));
        CGeneratedBody::fill(nPattern, static_cast<std::uint64_t>(nOffset), baChunk.data(),
                             static_cast<std::size_t>(nLength));
        hash.addData(baChunk.constData(), nLength);
    }
    return hash.result().toHex();
}
