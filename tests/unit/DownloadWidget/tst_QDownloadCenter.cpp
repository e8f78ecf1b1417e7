#include <QtTest>

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <hostcomponents/QRedDotLabel.h>
#include <hostservices/ClientSettings.h>
#include <orbgui/OrbSkin.h>

#include "DownloadingWidgetProbe.h"
#include "ModalAnswerer.h"
#include "QDownloadCenter.h"
#include "QDownloadDoneWidget.h"
#include "ScriptedEngine.h"

namespace {

// A skin that has a sheet for the window and none for its tab bar.
const QString kPartialSkin = QStringLiteral("tst_QDownloadCenter");

void setClientSetting(const QString& strKey, const QVariant& varValue)
{
    QSettings settings(ConfigInfo::ClientSettings::filePath(), QSettings::IniFormat);
    if (varValue.isValid()) {
        settings.setValue(strKey, varValue);
    } else {
        settings.remove(strKey);
    }
    settings.sync();
}

QString skinSheet(const QString& strSkin, const QString& strName)
{
    QFile file(QDir::currentPath() +
               QStringLiteral("/Skin/%1/DownloadApp/QssFile/%2.qss").arg(strSkin, strName));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A host widget that counts the resize events it gets itself.
class HostWidget : public QWidget
{
public:
    int m_nResizeEvents = 0;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        ++m_nResizeEvents;
        QWidget::resizeEvent(event);
    }
};

// Counts the language changes that reach an ordinary widget of the application.
class LanguageWatcher : public QWidget
{
public:
    int m_nLanguageChanges = 0;

protected:
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::LanguageChange) {
            ++m_nLanguageChanges;
        }
        QWidget::changeEvent(event);
    }
};

}  // namespace

class tst_QDownloadCenter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void singleton();
    void destroyThenCreateAnew();
    void deletedByItsParent();
    void createdHiddenAndUnembedded();
    void formSizes_data();
    void formSizes();
    void formLayouts();

    void initWidgetEmbeds();
    void initWidgetOnceOnly();
    void initWidgetWithoutParent();
    void followsParentSize();
    void skinStyleSheets();
    void skinWithoutTabBarSheet();
    void styleSheetPaintsBackground();

    void tabSlots();
    void recordBadgeAndCounters_data();
    void recordBadgeAndCounters();
    void fileBadge_data();
    void fileBadge();
    void badgeHiddenKeepsItsLook();
    void fileBadgeIgnoresOtherMessages();

    void recordTaskMovesToDone();
    void pictureTaskMovesToDone();
    void deviceStatus_data();
    void deviceStatus();
    void deviceDeleteSignal();
    void clearDownloadData();

    void englishTranslationShowsProductName();
    void translatorInstalledOnce();

private:
    template <typename T = QWidget>
    T* child(const char* szName) const
    {
        T* pChild = QDownloadCenter::instance()->findChild<T*>(QLatin1String(szName));
        if (!pChild) {
            qWarning("no child %s", szName);
        }
        return pChild;
    }
    QString text(const char* szButton) const { return child<QPushButton>(szButton)->text(); }
    bool checked(const char* szButton) const { return child<QPushButton>(szButton)->isChecked(); }
    // Whether the widget shows once the window does.
    bool shown(const char* szName) const { return child(szName)->isVisibleTo(QDownloadCenter::instance()); }
    int stackedPage() const { return child<QStackedWidget>("DownloadCenterStacked")->currentIndex(); }
    QDownloadingWidget* downloading() const { return child<QDownloadingWidget>("wgtDownloading"); }
    QStandardItemModel* doneModel() const;
    // A started record task of device-1, handed in as the facade does.
    void addStartedTask(const QString& strFileName);

    std::unique_ptr<HostWidget> m_pHost;
};

void tst_QDownloadCenter::initTestCase()
{
    // A language the module has no translation for: it falls back to English.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));

    const QString strFolder =
        QDir::currentPath() + QStringLiteral("/Skin/%1/DownloadApp/QssFile").arg(kPartialSkin);
    QVERIFY(QDir().mkpath(strFolder));
    QFile file(strFolder + QStringLiteral("/QDownloadCenter.qss"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("QWidget#QDownloadCenter { background: #FFFFFF; }\n");
}

void tst_QDownloadCenter::cleanupTestCase()
{
    QDir(QDir::currentPath() + QStringLiteral("/Skin/") + kPartialSkin).removeRecursively();
}

void tst_QDownloadCenter::init()
{
    ScriptedEngine::reset();
    ModalAnswerer::reset();
    m_pHost = std::make_unique<HostWidget>();
    m_pHost->resize(1100, 800);
}

void tst_QDownloadCenter::cleanup()
{
    QDownloadCenter::destroyInstance();
    m_pHost.reset();
    setClientSetting(QStringLiteral("Local/SkinVersion"), QVariant());
    QVERIFY2(ModalAnswerer::unexpectedBoxes().isEmpty(),
             qPrintable(ModalAnswerer::unexpectedBoxes().join('\n')));
}

QStandardItemModel* tst_QDownloadCenter::doneModel() const
{
    auto* pView = child<QDownloadDoneWidget>("wgtDone")->findChild<QAbstractItemView*>(
        QStringLiteral("tableDownloadingList"));
    return qobject_cast<QStandardItemModel*>(pView->model());
}

void tst_QDownloadCenter::addStartedTask(const QString& strFileName)
{
    emit QDownloadCenter::instance()->sgnAddDownloadTask(probe::recordTask(strFileName));
}

void tst_QDownloadCenter::singleton()
{
    QDownloadCenter* pFirst = QDownloadCenter::instance();
    QVERIFY(pFirst);
    QCOMPARE(QDownloadCenter::instance(), pFirst);
    int nWindows = 0;
    for (QWidget* pWidget : QApplication::allWidgets()) {
        nWindows += qobject_cast<QDownloadCenter*>(pWidget) ? 1 : 0;
    }
    QCOMPARE(nWindows, 1);
}

void tst_QDownloadCenter::destroyThenCreateAnew()
{
    QPointer<QDownloadCenter> pFirst = QDownloadCenter::instance();
    pFirst->initWidget(m_pHost.get());
    QVERIFY(pFirst->isInited());

    QDownloadCenter::destroyInstance();
    QVERIFY(pFirst.isNull());
    // Nothing of it is left in the host.
    QVERIFY(m_pHost->findChildren<QWidget*>().isEmpty());
    // A second destroy finds nothing to do.
    QDownloadCenter::destroyInstance();

    QDownloadCenter* pSecond = QDownloadCenter::instance();
    QVERIFY(pSecond);
    QVERIFY(!pSecond->isInited());
    QVERIFY(!pSecond->parentWidget());
}

void tst_QDownloadCenter::deletedByItsParent()
{
    QPointer<QDownloadCenter> pFirst = QDownloadCenter::instance();
    pFirst->initWidget(m_pHost.get());
    m_pHost->show();
    pFirst->show();
    addStartedTask(QStringLiteral("running while the host goes"));
    // The host goes and takes the window with it; the next use builds a new one.
    m_pHost.reset();
    QVERIFY(pFirst.isNull());
    QDownloadCenter* pSecond = QDownloadCenter::instance();
    QVERIFY(pSecond);
    QVERIFY(!pSecond->isInited());
    QDownloadCenter::destroyInstance();
}

void tst_QDownloadCenter::createdHiddenAndUnembedded()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    QVERIFY(!pWindow->parentWidget());
    QVERIFY(pWindow->isHidden());
    QVERIFY(pWindow->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(pWindow->autoFillBackground());
    QVERIFY(!pWindow->isInited());
    QCOMPARE(pWindow->objectName(), QStringLiteral("QDownloadCenter"));
    QCOMPARE(pWindow->windowTitle(), QStringLiteral("QDownloadCenter"));
    QCOMPARE(pWindow->size(), QSize(985, 735));
    QVERIFY(pWindow->styleSheet().isEmpty());

    QCOMPARE(stackedPage(), 1);
    QVERIFY(!checked("btnRecordDownload"));
    QVERIFY(!checked("btnFileDownload"));
    QVERIFY(text("btnRecordDownload").isEmpty());
    QVERIFY(text("btnFileDownload").isEmpty());
    // Counts shown from the start.
    QCOMPARE(text("btnDownloading"), QStringLiteral("Downloading 0"));
    QCOMPARE(text("btnDone"), QStringLiteral("Done 0"));
    QVERIFY(!shown("wgtRecordDownloadNum"));
}

void tst_QDownloadCenter::formSizes_data()
{
    QTest::addColumn<QString>("strName");
    QTest::addColumn<QString>("strClass");
    QTest::addColumn<QSize>("sizeMin");
    QTest::addColumn<QSize>("sizeMax");

    const QSize sizeAny(16777215, 16777215);
    QTest::newRow("tab bar") << "wgtRecordFileTabBar"
                             << "QWidget" << QSize(0, 40) << QSize(16777215, 40);
    QTest::newRow("record tab") << "btnRecordDownload"
                                << "QPushButton" << QSize(60, 25) << QSize(60, 25);
    QTest::newRow("record badge") << "wgtRecordDownloadNum"
                                  << "QWidget" << QSize(20, 40) << QSize(40, 40);
    QTest::newRow("record badge label") << "labRecordDownloadNum"
                                        << "QRedDotLabel" << QSize(20, 20) << QSize(20, 20);
    QTest::newRow("file tab") << "btnFileDownload"
                              << "QPushButton" << QSize(60, 25) << QSize(60, 25);
    QTest::newRow("file badge") << "wgtFileDownloadNum"
                                << "QWidget" << QSize(20, 40) << QSize(40, 40);
    QTest::newRow("file badge label") << "labFileDownloadNum"
                                      << "QRedDotLabel" << QSize(20, 20) << QSize(20, 20);
    QTest::newRow("stack") << "DownloadCenterStacked"
                           << "QStackedWidget" << QSize(0, 0) << sizeAny;
    QTest::newRow("record page") << "RecordDownloadPage"
                                 << "QWidget" << QSize(0, 0) << sizeAny;
    QTest::newRow("list switch") << "wgtTabBar"
                                 << "QWidget" << QSize(0, 35) << QSize(16777215, 35);
    QTest::newRow("downloading button") << "btnDownloading"
                                        << "QPushButton" << QSize(70, 30) << QSize(70, 30);
    // The maximum width below the minimum is the form's own.
    QTest::newRow("done button") << "btnDone"
                                 << "QPushButton" << QSize(75, 30) << QSize(72, 30);
    QTest::newRow("lists") << "widget"
                           << "QWidget" << QSize(0, 0) << sizeAny;
    QTest::newRow("downloading list") << "wgtDownloading"
                                      << "QDownloadingWidget" << QSize(0, 0) << sizeAny;
    QTest::newRow("finished list") << "wgtDone"
                                   << "QDownloadDoneWidget" << QSize(0, 0) << sizeAny;
    QTest::newRow("file page") << "FileDownloadPage"
                               << "QWidget" << QSize(967, 0) << sizeAny;
}

void tst_QDownloadCenter::formSizes()
{
    QFETCH(QString, strName);
    QFETCH(QString, strClass);
    QFETCH(QSize, sizeMin);
    QFETCH(QSize, sizeMax);

    const QList<QWidget*> listFound = QDownloadCenter::instance()->findChildren<QWidget*>(strName);
    QCOMPARE(listFound.size(), 1);
    QWidget* pWidget = listFound.first();
    QCOMPARE(QString::fromLatin1(pWidget->metaObject()->className()), strClass);
    QCOMPARE(pWidget->minimumSize(), sizeMin);
    QCOMPARE(pWidget->maximumSize(), sizeMax);
}

void tst_QDownloadCenter::formLayouts()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    const auto layout = [pWindow](const char* szName) {
        return pWindow->findChild<QBoxLayout*>(QLatin1String(szName));
    };
    const auto widgetAt = [](QLayout* pLayout, int nItem) {
        QWidget* pWidget = pLayout->itemAt(nItem)->widget();
        return pWidget ? pWidget->objectName() : QString();
    };
    const auto spacerAt = [](QLayout* pLayout, int nItem) { return pLayout->itemAt(nItem)->spacerItem(); };

    QBoxLayout* pTop = layout("verticalLayout_3");
    QVERIFY(pTop && qobject_cast<QVBoxLayout*>(pTop));
    QCOMPARE(pWindow->layout(), pTop);
    QCOMPARE(pTop->count(), 2);
    QCOMPARE(widgetAt(pTop, 0), QStringLiteral("wgtRecordFileTabBar"));
    QCOMPARE(widgetAt(pTop, 1), QStringLiteral("DownloadCenterStacked"));

    QBoxLayout* pTabs = layout("horizontalLayout_2");
    QVERIFY(qobject_cast<QHBoxLayout*>(pTabs));
    QCOMPARE(child("wgtRecordFileTabBar")->layout(), pTabs);
    QCOMPARE(pTabs->contentsMargins().top(), 0);
    QCOMPARE(pTabs->contentsMargins().bottom(), 0);
    QCOMPARE(pTabs->count(), 5);
    QCOMPARE(widgetAt(pTabs, 0), QStringLiteral("btnRecordDownload"));
    QCOMPARE(widgetAt(pTabs, 1), QStringLiteral("wgtRecordDownloadNum"));
    QCOMPARE(widgetAt(pTabs, 2), QStringLiteral("btnFileDownload"));
    QCOMPARE(widgetAt(pTabs, 3), QStringLiteral("wgtFileDownloadNum"));
    QVERIFY(spacerAt(pTabs, 4));
    QCOMPARE(spacerAt(pTabs, 4)->sizeHint(), QSize(789, 20));
    QCOMPARE(spacerAt(pTabs, 4)->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);

    for (const char* szBadge : {"verticalLayout_4", "verticalLayout_2"}) {
        QBoxLayout* pBadge = layout(szBadge);
        QVERIFY(qobject_cast<QVBoxLayout*>(pBadge));
        QCOMPARE(pBadge->spacing(), 0);
        QCOMPARE(pBadge->contentsMargins(), QMargins(0, 0, 0, 0));
        QCOMPARE(pBadge->count(), 2);
        QVERIFY(qobject_cast<QRedDotLabel*>(pBadge->itemAt(0)->widget()));
        QVERIFY(spacerAt(pBadge, 1));
        QCOMPARE(spacerAt(pBadge, 1)->sizeHint(), QSize(17, 17));
        QCOMPARE(spacerAt(pBadge, 1)->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
        QCOMPARE(spacerAt(pBadge, 1)->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    }
    QCOMPARE(child("wgtRecordDownloadNum")->layout(), layout("verticalLayout_4"));
    QCOMPARE(widgetAt(layout("verticalLayout_4"), 0), QStringLiteral("labRecordDownloadNum"));
    QCOMPARE(widgetAt(layout("verticalLayout_2"), 0), QStringLiteral("labFileDownloadNum"));

    auto* pStack = child<QStackedWidget>("DownloadCenterStacked");
    QCOMPARE(pStack->count(), 2);
    QCOMPARE(pStack->widget(0)->objectName(), QStringLiteral("RecordDownloadPage"));
    QCOMPARE(pStack->widget(1)->objectName(), QStringLiteral("FileDownloadPage"));

    QBoxLayout* pRecordPage = layout("verticalLayout");
    QCOMPARE(child("RecordDownloadPage")->layout(), pRecordPage);
    QVERIFY(qobject_cast<QVBoxLayout*>(pRecordPage));
    QCOMPARE(pRecordPage->spacing(), 4);
    QCOMPARE(pRecordPage->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(pRecordPage->count(), 2);
    QCOMPARE(widgetAt(pRecordPage, 0), QStringLiteral("wgtTabBar"));
    QCOMPARE(widgetAt(pRecordPage, 1), QStringLiteral("widget"));
    const QSizePolicy policy = child("wgtTabBar")->sizePolicy();
    QCOMPARE(policy.horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(policy.verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(policy.horizontalStretch(), 0);
    QCOMPARE(policy.verticalStretch(), 0);

    QBoxLayout* pSwitch = layout("horizontalLayout_3");
    QCOMPARE(child("wgtTabBar")->layout(), pSwitch);
    QVERIFY(qobject_cast<QHBoxLayout*>(pSwitch));
    QCOMPARE(pSwitch->spacing(), 40);
    QCOMPARE(pSwitch->contentsMargins(), QMargins(20, 4, 10, 1));
    QCOMPARE(pSwitch->count(), 3);
    QCOMPARE(widgetAt(pSwitch, 0), QStringLiteral("btnDownloading"));
    QCOMPARE(widgetAt(pSwitch, 1), QStringLiteral("btnDone"));
    QVERIFY(spacerAt(pSwitch, 2));
    QCOMPARE(spacerAt(pSwitch, 2)->sizeHint(), QSize(40, 20));
    QCOMPARE(spacerAt(pSwitch, 2)->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);

    QBoxLayout* pLists = layout("horizontalLayout");
    QCOMPARE(child("widget")->layout(), pLists);
    QVERIFY(qobject_cast<QHBoxLayout*>(pLists));
    QCOMPARE(pLists->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(pLists->count(), 2);
    QCOMPARE(widgetAt(pLists, 0), QStringLiteral("wgtDownloading"));
    QCOMPARE(widgetAt(pLists, 1), QStringLiteral("wgtDone"));
    QCOMPARE(downloading()->parentWidget(), child("widget"));
    QCOMPARE(child("wgtDone")->parentWidget(), child("widget"));

    // The file page's layout waits for the web page.
    QBoxLayout* pFilePage = layout("FileDownloadPageVerticalLayout");
    QVERIFY(qobject_cast<QVBoxLayout*>(pFilePage));
    QCOMPARE(child("FileDownloadPage")->layout(), pFilePage);
    QCOMPARE(pFilePage->count(), 0);
}

void tst_QDownloadCenter::initWidgetEmbeds()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());

    QVERIFY(pWindow->isInited());
    QCOMPARE(pWindow->parentWidget(), m_pHost.get());
    QVERIFY(!pWindow->isWindow());
    QCOMPARE(pWindow->geometry(), QRect(0, 0, 1100, 800));
    // Showing it is the host's call.
    QVERIFY(pWindow->isHidden());
    QCOMPARE(pWindow->objectName(), QStringLiteral("QDownloadCenter"));

    QCOMPARE(text("btnRecordDownload"), QStringLiteral("record download"));
    QCOMPARE(text("btnFileDownload"), QStringLiteral("file download"));
    for (const char* szButton : {"btnRecordDownload", "btnFileDownload", "btnDownloading", "btnDone"}) {
        QVERIFY2(child<QPushButton>(szButton)->isCheckable(), szButton);
    }
    QVERIFY(checked("btnRecordDownload"));
    QVERIFY(!checked("btnFileDownload"));
    QVERIFY(checked("btnDownloading"));
    QVERIFY(!checked("btnDone"));
    QVERIFY(!shown("wgtRecordDownloadNum"));
    QVERIFY(!shown("wgtFileDownloadNum"));
    // The record page with the downloading list.
    QCOMPARE(stackedPage(), 0);
    QVERIFY(shown("wgtDownloading"));
    QVERIFY(!shown("wgtDone"));
}

void tst_QDownloadCenter::initWidgetOnceOnly()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    pWindow->notifyDownloadingFileNum(QJsonObject{{"downloadingFileNum", 3}});
    QTest::mouseClick(child<QPushButton>("btnDone"), Qt::LeftButton);

    QWidget otherHost;
    otherHost.resize(300, 200);
    pWindow->initWidget(&otherHost);

    QCOMPARE(pWindow->parentWidget(), m_pHost.get());
    QCOMPARE(pWindow->geometry(), QRect(0, 0, 1100, 800));
    // Nothing was set up again: the badge stays, the finished list stays current.
    QVERIFY(shown("wgtFileDownloadNum"));
    QVERIFY(shown("wgtDone"));
    QVERIFY(!shown("wgtDownloading"));

    // Only the first parent is followed.
    otherHost.resize(500, 400);
    otherHost.show();
    QVERIFY(QTest::qWaitForWindowExposed(&otherHost));
    QCOMPARE(pWindow->geometry(), QRect(0, 0, 1100, 800));
}

void tst_QDownloadCenter::initWidgetWithoutParent()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(nullptr);
    QVERIFY(!pWindow->isInited());
    QVERIFY(!pWindow->parentWidget());

    pWindow->initWidget(m_pHost.get());
    QVERIFY(pWindow->isInited());
    QCOMPARE(pWindow->parentWidget(), m_pHost.get());
}

void tst_QDownloadCenter::followsParentSize()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    m_pHost->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pHost.get()));
    pWindow->initWidget(m_pHost.get());
    pWindow->show();

    const int nResizesBefore = m_pHost->m_nResizeEvents;
    m_pHost->resize(1300, 900);
    QCOMPARE(pWindow->geometry(), QRect(0, 0, 1300, 900));
    m_pHost->resize(700, 500);
    QCOMPARE(pWindow->geometry(), QRect(0, 0, 700, 500));
    // The host still gets its own resize events.
    QCOMPARE(m_pHost->m_nResizeEvents, nResizesBefore + 2);

    // Moved away by someone: the next resize puts it back in the corner.
    pWindow->move(50, 60);
    m_pHost->resize(800, 600);
    QCOMPARE(pWindow->geometry(), QRect(0, 0, 800, 600));
}

void tst_QDownloadCenter::skinStyleSheets()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    QVERIFY(pWindow->styleSheet().isEmpty());
    pWindow->initWidget(m_pHost.get());

    const QString strSkin = ORBGUI::GetSkinVersion();
    const QString strWindowSheet = skinSheet(strSkin, QStringLiteral("QDownloadCenter"));
    const QString strTabBarSheet = skinSheet(strSkin, QStringLiteral("wgtTabBar"));
    QVERIFY(!strWindowSheet.isEmpty());
    QVERIFY(!strTabBarSheet.isEmpty());
    QCOMPARE(pWindow->styleSheet(), strWindowSheet);
    QCOMPARE(child("wgtTabBar")->styleSheet(), strTabBarSheet);
}

void tst_QDownloadCenter::skinWithoutTabBarSheet()
{
    setClientSetting(QStringLiteral("Local/SkinVersion"), kPartialSkin);
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());

    QVERIFY(pWindow->isInited());
    QCOMPARE(pWindow->styleSheet(), skinSheet(kPartialSkin, QStringLiteral("QDownloadCenter")));
    QVERIFY(!pWindow->styleSheet().isEmpty());
    QVERIFY(child("wgtTabBar")->styleSheet().isEmpty());
}

void tst_QDownloadCenter::styleSheetPaintsBackground()
{
    // Inside a red host: only the window's own painting of its style sheet can make it white.
    QPalette palette = m_pHost->palette();
    palette.setColor(QPalette::Window, QColor(200, 40, 40));
    m_pHost->setPalette(palette);
    m_pHost->setAutoFillBackground(true);
    m_pHost->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pHost.get()));

    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    pWindow->show();
    QCoreApplication::processEvents();

    const QImage image = m_pHost->grab().toImage();
    // A spot in the window's own margin, which no child covers.
    const QPoint ptFree(2, 2);
    QVERIFY(!pWindow->childAt(ptFree));
    QCOMPARE(image.pixelColor(pWindow->mapTo(m_pHost.get(), ptFree)), QColor(255, 255, 255));
}

void tst_QDownloadCenter::tabSlots()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    auto* pDone = child<QPushButton>("btnDone");
    auto* pDownloading = child<QPushButton>("btnDownloading");
    auto* pFile = child<QPushButton>("btnFileDownload");
    auto* pRecord = child<QPushButton>("btnRecordDownload");

    // The finished list, without leaving the record page.
    QTest::mouseClick(pDone, Qt::LeftButton);
    QCOMPARE(stackedPage(), 0);
    QVERIFY(!shown("wgtDownloading"));
    QVERIFY(shown("wgtDone"));
    QVERIFY(pDone->isChecked());
    QVERIFY(!pDownloading->isChecked());

    // The web page's tab.
    QTest::mouseClick(pFile, Qt::LeftButton);
    QCOMPARE(stackedPage(), 1);
    QVERIFY(pFile->isChecked());
    QVERIFY(!pRecord->isChecked());

    // Back to the record tab: the list shown last is still shown.
    QTest::mouseClick(pRecord, Qt::LeftButton);
    QCOMPARE(stackedPage(), 0);
    QVERIFY(pRecord->isChecked());
    QVERIFY(!pFile->isChecked());
    QVERIFY(shown("wgtDone"));

    // The downloading list, from the web page's tab: back to the record page as well.
    QTest::mouseClick(pFile, Qt::LeftButton);
    QTest::mouseClick(pDownloading, Qt::LeftButton);
    QCOMPARE(stackedPage(), 0);
    QVERIFY(shown("wgtDownloading"));
    QVERIFY(!shown("wgtDone"));
    QVERIFY(pDownloading->isChecked());
    QVERIFY(!pDone->isChecked());
}

void tst_QDownloadCenter::recordBadgeAndCounters_data()
{
    QTest::addColumn<int>("nCount");
    QTest::addColumn<bool>("bShown");
    QTest::addColumn<QSize>("sizeBadge");
    QTest::addColumn<QString>("strBadge");
    QTest::addColumn<QString>("strCount");

    QTest::newRow("0") << 0 << false << QSize(20, 20) << ""
                       << "0";
    QTest::newRow("1") << 1 << true << QSize(16, 16) << "1"
                       << "1";
    QTest::newRow("9") << 9 << true << QSize(16, 16) << "9"
                       << "9";
    QTest::newRow("10") << 10 << true << QSize(26, 16) << "10"
                        << "10";
    QTest::newRow("99") << 99 << true << QSize(26, 16) << "99"
                        << "99";
    QTest::newRow("100") << 100 << true << QSize(32, 16) << "99+"
                         << "99+";
    QTest::newRow("250") << 250 << true << QSize(32, 16) << "99+"
                         << "99+";
}

void tst_QDownloadCenter::recordBadgeAndCounters()
{
    QFETCH(int, nCount);
    QFETCH(bool, bShown);
    QFETCH(QSize, sizeBadge);
    QFETCH(QString, strBadge);
    QFETCH(QString, strCount);

    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    pWindow->onDownloadingItemNumChanaged(nCount);
    pWindow->onDoneItemNumChanged(nCount);

    QCOMPARE(shown("wgtRecordDownloadNum"), bShown);
    auto* pLabel = child<QRedDotLabel>("labRecordDownloadNum");
    QCOMPARE(pLabel->size(), sizeBadge);
    QCOMPARE(pLabel->minimumSize(), sizeBadge);
    QCOMPARE(pLabel->maximumSize(), sizeBadge);
    QCOMPARE(pLabel->text(), strBadge);
    QCOMPARE(text("btnDownloading"), QStringLiteral("Downloading ") + strCount);
    QCOMPARE(text("btnDone"), QStringLiteral("Done ") + strCount);
    // The file tab's badge belongs to the web page.
    QVERIFY(!shown("wgtFileDownloadNum"));
}

void tst_QDownloadCenter::fileBadge_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<bool>("bShown");
    QTest::addColumn<QSize>("sizeBadge");
    QTest::addColumn<QString>("strBadge");

    QTest::newRow("0") << QJsonValue(0) << false << QSize(20, 20) << "";
    QTest::newRow("1") << QJsonValue(1) << true << QSize(16, 16) << "1";
    QTest::newRow("9") << QJsonValue(9) << true << QSize(16, 16) << "9";
    QTest::newRow("10") << QJsonValue(10) << true << QSize(26, 16) << "10";
    QTest::newRow("12") << QJsonValue(12) << true << QSize(26, 16) << "12";
    QTest::newRow("99") << QJsonValue(99) << true << QSize(26, 16) << "99";
    QTest::newRow("100") << QJsonValue(100) << true << QSize(32, 16) << "99+";
    QTest::newRow("250") << QJsonValue(250) << true << QSize(32, 16) << "99+";
    QTest::newRow("negative") << QJsonValue(-4) << false << QSize(20, 20) << "";
    QTest::newRow("text") << QJsonValue(QStringLiteral("7")) << false << QSize(20, 20) << "";
    QTest::newRow("null") << QJsonValue() << false << QSize(20, 20) << "";
}

void tst_QDownloadCenter::fileBadge()
{
    QFETCH(QJsonValue, value);
    QFETCH(bool, bShown);
    QFETCH(QSize, sizeBadge);
    QFETCH(QString, strBadge);

    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    pWindow->notifyDownloadingFileNum(QJsonObject{{"downloadingFileNum", value}});

    QCOMPARE(shown("wgtFileDownloadNum"), bShown);
    auto* pLabel = child<QRedDotLabel>("labFileDownloadNum");
    QCOMPARE(pLabel->size(), sizeBadge);
    QCOMPARE(pLabel->text(), strBadge);
    QVERIFY(!shown("wgtRecordDownloadNum"));
}

void tst_QDownloadCenter::badgeHiddenKeepsItsLook()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    pWindow->onDownloadingItemNumChanaged(12);
    pWindow->notifyDownloadingFileNum(QJsonObject{{"downloadingFileNum", 100}});
    QVERIFY(shown("wgtRecordDownloadNum"));
    QVERIFY(shown("wgtFileDownloadNum"));

    pWindow->onDownloadingItemNumChanaged(0);
    pWindow->notifyDownloadingFileNum(QJsonObject{{"downloadingFileNum", 0}});
    QVERIFY(!shown("wgtRecordDownloadNum"));
    QVERIFY(!shown("wgtFileDownloadNum"));
    QCOMPARE(child<QRedDotLabel>("labRecordDownloadNum")->text(), QStringLiteral("12"));
    QCOMPARE(child("labRecordDownloadNum")->size(), QSize(26, 16));
    QCOMPARE(child<QRedDotLabel>("labFileDownloadNum")->text(), QStringLiteral("99+"));
    QCOMPARE(text("btnDownloading"), QStringLiteral("Downloading 0"));
}

void tst_QDownloadCenter::fileBadgeIgnoresOtherMessages()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    pWindow->notifyDownloadingFileNum(QJsonObject{{"downloadingFileNum", 12}});

    pWindow->notifyDownloadingFileNum(QJsonObject());
    pWindow->notifyDownloadingFileNum(QJsonObject{{"downloadingFilenum", 0}});
    QVERIFY(shown("wgtFileDownloadNum"));
    QCOMPARE(child<QRedDotLabel>("labFileDownloadNum")->text(), QStringLiteral("12"));
}

void tst_QDownloadCenter::recordTaskMovesToDone()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    addStartedTask(QStringLiteral("front door.mp4"));
    addStartedTask(QStringLiteral("back door.mp4"));
    QCOMPARE(probe::recordTasks(*downloading()), QList<int>({1, 2}));
    QCOMPARE(text("btnDownloading"), QStringLiteral("Downloading 2"));
    QCOMPARE(child<QRedDotLabel>("labRecordDownloadNum")->text(), QStringLiteral("2"));

    DownloadInfo finished = ScriptedEngine::heldRecordInfo(1);
    emit CRecordDownloadManager::getInstance().sgnDownloadStateNotify(1, true, finished);

    QCOMPARE(probe::recordTasks(*downloading()), QList<int>{2});
    QCOMPARE(doneModel()->rowCount(), 1);
    QCOMPARE(doneModel()->index(0, 1).data().toString(), QStringLiteral("front door.mp4"));
    QCOMPARE(text("btnDownloading"), QStringLiteral("Downloading 1"));
    QCOMPARE(text("btnDone"), QStringLiteral("Done 1"));
    QCOMPARE(child<QRedDotLabel>("labRecordDownloadNum")->text(), QStringLiteral("1"));
}

void tst_QDownloadCenter::pictureTaskMovesToDone()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    DownloadPicInfo task;
    task.strDeviceId = QStringLiteral("device-1");
    task.strFileName = QStringLiteral("pictures.zip");
    task.nFileSize = 4096;
    emit pWindow->sgnAddPicDownloadTask(task);
    QCOMPARE(probe::picModel(*downloading())->rowCount(), 1);
    QCOMPARE(text("btnDownloading"), QStringLiteral("Downloading 1"));
    QCOMPARE(ScriptedEngine::runningPicTask(), 1);

    emit CPicDownloadManager::getInstance().sgnPicFinishedDowndload();

    QCOMPARE(probe::picModel(*downloading())->rowCount(), 0);
    QCOMPARE(doneModel()->rowCount(), 1);
    QCOMPARE(doneModel()->index(0, 1).data().toString(), QStringLiteral("pictures.zip"));
    QCOMPARE(doneModel()->index(0, 2).data().toString(), QStringLiteral("--"));
    QCOMPARE(text("btnDone"), QStringLiteral("Done 1"));
    QCOMPARE(text("btnDownloading"), QStringLiteral("Downloading 0"));
    QVERIFY(!shown("wgtRecordDownloadNum"));
}

void tst_QDownloadCenter::deviceStatus_data()
{
    QTest::addColumn<QJsonObject>("params");
    QTest::addColumn<bool>("bRemoved");

    QTest::newRow("delete, channel as text")
        << QJsonObject{{"deviceId", "device-1"}, {"channelId", "3"}, {"event", "delete"}} << true;
    QTest::newRow("delete, channel as number")
        << QJsonObject{{"deviceId", "device-1"}, {"channelId", 3}, {"event", "delete"}} << true;
    QTest::newRow("delete, no channel") << QJsonObject{{"deviceId", "device-1"}, {"event", "delete"}} << true;
    QTest::newRow("another device") << QJsonObject{{"deviceId", "device-2"},
                                                   {"channelId", "3"},
                                                   {"event", "delete"}}
                                    << false;
    QTest::newRow("no device") << QJsonObject{{"channelId", "3"}, {"event", "delete"}} << false;
    QTest::newRow("another event") << QJsonObject{{"deviceId", "device-1"},
                                                  {"channelId", "3"},
                                                  {"event", "offline"}}
                                   << false;
    QTest::newRow("no event") << QJsonObject{{"deviceId", "device-1"}, {"channelId", "3"}} << false;
    QTest::newRow("event in capitals")
        << QJsonObject{{"deviceId", "device-1"}, {"channelId", "3"}, {"event", "DELETE"}} << false;
}

void tst_QDownloadCenter::deviceStatus()
{
    QFETCH(QJsonObject, params);
    QFETCH(bool, bRemoved);

    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    addStartedTask(QStringLiteral("front door.mp4"));
    QCOMPARE(probe::state(*downloading(), 1), 1);
    ScriptedEngine::clearCalls();

    pWindow->notifyDeviceStatus(params);

    QCOMPARE(probe::recordTasks(*downloading()).isEmpty(), bRemoved);
    QCOMPARE(ScriptedEngine::record().calls({QStringLiteral("stopDownload")}),
             bRemoved ? QStringList{QStringLiteral("stopDownload(1,2,true)")} : QStringList());
    QCOMPARE(text("btnDownloading"),
             bRemoved ? QStringLiteral("Downloading 0") : QStringLiteral("Downloading 1"));
}

void tst_QDownloadCenter::deviceDeleteSignal()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    addStartedTask(QStringLiteral("front door.mp4"));
    emit pWindow->sgnDeviceDeleteNotify(QStringLiteral("device-1"), 7);
    QVERIFY(probe::recordTasks(*downloading()).isEmpty());
}

void tst_QDownloadCenter::clearDownloadData()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(m_pHost.get());
    addStartedTask(QStringLiteral("a"));
    addStartedTask(QStringLiteral("b"));
    addStartedTask(QStringLiteral("c"));
    emit CRecordDownloadManager::getInstance().sgnDownloadStateNotify(1, true,
                                                                      ScriptedEngine::heldRecordInfo(1));
    QCOMPARE(text("btnDone"), QStringLiteral("Done 1"));
    QCOMPARE(text("btnDownloading"), QStringLiteral("Downloading 2"));

    pWindow->clearDownloadData();

    QCOMPARE(probe::recordModel(*downloading())->rowCount(), 0);
    QCOMPARE(doneModel()->rowCount(), 0);
    QCOMPARE(text("btnDone"), QStringLiteral("Done 0"));
    QCOMPARE(text("btnDownloading"), QStringLiteral("Downloading 0"));
    QVERIFY(!shown("wgtRecordDownloadNum"));
    QVERIFY(ScriptedEngine::heldRecordTasks().isEmpty());
}

void tst_QDownloadCenter::englishTranslationShowsProductName()
{
    QDownloadCenter* pWindow = QDownloadCenter::instance();
    QString strProduct = QStringLiteral("Acme Stores");
    pWindow->setProductInfo(strProduct);

    // Without the module's English translation both titles would read "ProductName".
    QCOMPARE(doneModel()->headerData(3, Qt::Horizontal).toString(), strProduct);
    QCOMPARE(probe::recordModel(*downloading())->headerData(3, Qt::Horizontal).toString(), strProduct);
    QCOMPARE(doneModel()->headerData(7, Qt::Horizontal).toString(), QStringLiteral("Done time"));
}

void tst_QDownloadCenter::translatorInstalledOnce()
{
    QDownloadCenter::instance();
    LanguageWatcher watcher;
    // Every window after the first finds the module's texts already in place.
    for (int i = 0; i < 2; ++i) {
        QDownloadCenter::destroyInstance();
        QDownloadCenter::instance();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    }
    QCOMPARE(watcher.m_nLanguageChanges, 0);
    QCOMPARE(text("btnDone"), QStringLiteral("Done 0"));
}

QTEST_MAIN(tst_QDownloadCenter)
#include "tst_QDownloadCenter.moc"
