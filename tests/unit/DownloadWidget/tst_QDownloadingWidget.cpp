#include <QtTest>

#include <QAbstractItemView>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSettings>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>

#include <downloadengine/CPicDownloadManager.h>
#include <downloadengine/CRecordDownloadManager.h>
#include <hostservices/ClientSettings.h>
#include <orbgui/OrbPushButton.h>

#include <memory>

#include "CDownloadCenterTableDelegate.h"
#include "DownloadingWidgetProbe.h"
#include "ScriptedEngine.h"

namespace {

using Role = ORBGUI::struTreeViewData;

// Gives "ProductName" the place for the name that a real translation has.
class ProductNameTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override
    {
        Q_UNUSED(disambiguation)
        Q_UNUSED(n)
        if (qstrcmp(context, "QDownloadingWidget") == 0 && qstrcmp(sourceText, "ProductName") == 0) {
            return QStringLiteral("%1 name");
        }
        return QString();
    }
    bool isEmpty() const override { return false; }
};

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

ORBGUI::OrbPushButton* button(const QDownloadingWidget& widget, const char* szName)
{
    return widget.findChild<ORBGUI::OrbPushButton*>(QLatin1String(szName));
}

// Adds a picture row as the picture side would, enough for the frame's counters and tick.
void addPicRow(QDownloadingWidget& widget, int nState)
{
    QList<QStandardItem*> listItems;
    for (int nColumn = 0; nColumn < QDownloadingWidget::PicColumnCount; ++nColumn) {
        listItems << new QStandardItem(QStringLiteral("--"));
    }
    listItems.at(QDownloadingWidget::PicColumnStatus)->setData(nState, Qt::UserRole);
    probe::picModel(widget)->appendRow(listItems);
}

}  // namespace

class tst_QDownloadingWidget : public QObject
{
    Q_OBJECT

public slots:
    // The desktop's handler for file URLs while a test runs.
    void openFileUrl(const QUrl& url) { m_listOpenedUrls.append(url); }

private slots:
    void init();
    void cleanup();

    void constructionTellsTheEngineItsLimit();
    void formObjectsAndTexts();
    void tableViewSettings();
    void recordHeader_data();
    void recordHeader();
    void pictureHeader_data();
    void pictureHeader();
    void switchButtons();
    void counters_data();
    void counters();
    void styleSheetFromSkin();
    void missingStyleSheetIsSilent();
    void styleSheetPaintsBackground();
    void productNameOnShow();
    void openFolder();
    void timerStartsWithFirstTaskOnly();
    void tickPercentAndSpeed_data();
    void tickPercentAndSpeed();
    void tickStopsAfterEngineCount();
    void tickPicturesFirstDownloadingRowOnly();
    void destructionClearsPictureTasks();

private:
    std::unique_ptr<QDownloadingWidget> m_pWidget;
    QList<QUrl> m_listOpenedUrls;
};

void tst_QDownloadingWidget::init()
{
    ScriptedEngine::reset();
    m_listOpenedUrls.clear();
    m_pWidget = std::make_unique<QDownloadingWidget>();
}

void tst_QDownloadingWidget::cleanup()
{
    m_pWidget.reset();
    setClientSetting(QStringLiteral("Base/ProductName"), QVariant());
    setClientSetting(QStringLiteral("Local/SkinVersion"), QVariant());
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void tst_QDownloadingWidget::constructionTellsTheEngineItsLimit()
{
    QCOMPARE(ScriptedEngine::record().calls().value(0), QStringLiteral("setMaxDownloadNum(5)"));
    QCOMPARE(ScriptedEngine::maxDownloadNum(), 5);
    // Nothing is registered, started or polled before a task arrives.
    QCOMPARE(ScriptedEngine::record().calls(), QStringList{QStringLiteral("setMaxDownloadNum(5)")});
    QVERIFY(ScriptedEngine::pic().calls().isEmpty());
}

void tst_QDownloadingWidget::formObjectsAndTexts()
{
    QDownloadingWidget& widget = *m_pWidget;
    QCOMPARE(widget.objectName(), QStringLiteral("QDownloadingWidget"));
    QCOMPARE(widget.windowTitle(), QStringLiteral("DownloadingWidget"));
    QCOMPARE(widget.size(), QSize(657, 644));

    QCOMPARE(button(widget, "btnDelete")->text(), QStringLiteral("Delete"));
    QCOMPARE(button(widget, "btnFolder")->text(), QStringLiteral("Open folder"));
    QVERIFY(button(widget, "btnRecordDownloading"));
    QVERIFY(button(widget, "btnPictureDownloading"));
    QCOMPARE(button(widget, "btnRecordDownloading")->maximumSize(), QSize(16777215, 16777215));

    // Buttons in the first row in order, the spacer before the switch; the tables in the second.
    auto* pTop = widget.findChild<QVBoxLayout*>(QStringLiteral("verticalLayout"));
    QVERIFY(pTop);
    QCOMPARE(widget.layout(), pTop);
    auto* pButtons = widget.findChild<QHBoxLayout*>(QStringLiteral("horizontalLayout"));
    auto* pTables = widget.findChild<QHBoxLayout*>(QStringLiteral("horizontalLayout_2"));
    QVERIFY(pButtons && pTables);
    QCOMPARE(pTop->itemAt(0)->layout(), pButtons);
    QCOMPARE(pTop->itemAt(1)->layout(), pTables);
    QCOMPARE(pButtons->count(), 5);
    QCOMPARE(pButtons->itemAt(0)->widget()->objectName(), QStringLiteral("btnDelete"));
    QCOMPARE(pButtons->itemAt(1)->widget()->objectName(), QStringLiteral("btnFolder"));
    QVERIFY(pButtons->itemAt(2)->spacerItem());
    QCOMPARE(pButtons->itemAt(2)->spacerItem()->sizeHint(), QSize(40, 20));
    QCOMPARE(pButtons->itemAt(2)->spacerItem()->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(pButtons->itemAt(3)->widget()->objectName(), QStringLiteral("btnRecordDownloading"));
    QCOMPARE(pButtons->itemAt(4)->widget()->objectName(), QStringLiteral("btnPictureDownloading"));
    QCOMPARE(pTables->itemAt(0)->widget(), probe::recordView(widget));
    QCOMPARE(pTables->itemAt(1)->widget(), probe::picView(widget));
}

void tst_QDownloadingWidget::tableViewSettings()
{
    ORBGUI::OrbTableView* pRecordView = probe::recordView(*m_pWidget);
    ORBGUI::OrbTableView* pPicView = probe::picView(*m_pWidget);
    QVERIFY(pRecordView && pPicView);

    for (ORBGUI::OrbTableView* pView : {pRecordView, pPicView}) {
        QVERIFY(dynamic_cast<CDownloadCenterTableDelegate*>(pView->itemDelegate()));
        QCOMPARE(pView->itemDelegate()->parent(), pView);
        QCOMPARE(pView->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(pView->focusPolicy(), Qt::NoFocus);
        for (int nSection = 0; nSection < pView->header()->count(); ++nSection) {
            QCOMPARE(pView->header()->sectionResizeMode(nSection), QHeaderView::Fixed);
        }
    }
    // One delegate per table.
    QVERIFY(pRecordView->itemDelegate() != pPicView->itemDelegate());
    QCOMPARE(pRecordView->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(pPicView->selectionBehavior(), ORBGUI::OrbTableView().selectionBehavior());

    // The widget owns the models; the views only show them.
    QCOMPARE(probe::recordModel(*m_pWidget)->parent(), m_pWidget.get());
    QCOMPARE(probe::picModel(*m_pWidget)->parent(), m_pWidget.get());
    QCOMPARE(probe::recordModel(*m_pWidget)->columnCount(), 11);
    QCOMPARE(probe::picModel(*m_pWidget)->columnCount(), 9);
}

void tst_QDownloadingWidget::recordHeader_data()
{
    QTest::addColumn<int>("nSection");
    QTest::addColumn<QString>("strTitle");
    QTest::addColumn<int>("nWidth");

    const QStringList listTitles = {"",          "File name", "Channel", "Shop",   "Begin time", "End time",
                                    "File Size", "Percent",   "Speed",   "Status", "Operate"};
    const QList<int> listWidths = {32, 146, 146, 146, 140, 140, 100, 140, 75, 95, 40};
    for (int i = 0; i < listTitles.size(); ++i) {
        QTest::addRow("section %d", i) << i << listTitles.at(i) << listWidths.at(i);
    }
}

void tst_QDownloadingWidget::recordHeader()
{
    QFETCH(int, nSection);
    QFETCH(QString, strTitle);
    QFETCH(int, nWidth);

    const QStandardItemModel* pModel = probe::recordModel(*m_pWidget);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Qt::DisplayRole).toString(), strTitle);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), 132);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Role::HeaderWidthRole).toInt(), nWidth);
    const bool bCheckAll = nSection == 0;
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Role::HeaderCheckableRole).toBool(), bCheckAll);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Qt::CheckStateRole).isValid(), bCheckAll);
    if (bCheckAll) {
        QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Qt::CheckStateRole).toInt(),
                 int(Qt::Unchecked));
    }
}

void tst_QDownloadingWidget::pictureHeader_data()
{
    QTest::addColumn<int>("nSection");
    QTest::addColumn<QString>("strTitle");
    QTest::addColumn<int>("nWidth");

    const QStringList listTitles = {"",        "File name", "Begin time", "End time", "File Size",
                                    "Percent", "Speed",     "Status",     "Operate"};
    const QList<int> listWidths = {32, 246, 146, 146, 100, 170, 80, 100, 60};
    for (int i = 0; i < listTitles.size(); ++i) {
        QTest::addRow("section %d", i) << i << listTitles.at(i) << listWidths.at(i);
    }
}

void tst_QDownloadingWidget::pictureHeader()
{
    QFETCH(int, nSection);
    QFETCH(QString, strTitle);
    QFETCH(int, nWidth);

    const QStandardItemModel* pModel = probe::picModel(*m_pWidget);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Qt::DisplayRole).toString(), strTitle);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), 132);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Role::HeaderWidthRole).toInt(), nWidth);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Role::HeaderCheckableRole).toBool(), nSection == 0);
    QCOMPARE(pModel->headerData(nSection, Qt::Horizontal, Qt::CheckStateRole).isValid(), nSection == 0);
}

void tst_QDownloadingWidget::switchButtons()
{
    QDownloadingWidget& widget = *m_pWidget;
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    ORBGUI::OrbPushButton* pRecord = button(widget, "btnRecordDownloading");
    ORBGUI::OrbPushButton* pPicture = button(widget, "btnPictureDownloading");
    QVERIFY(pRecord->isCheckable());
    QVERIFY(pPicture->isCheckable());
    QVERIFY(pRecord->isChecked());

    // The record side first.
    QVERIFY(probe::recordView(widget)->isVisible());
    QVERIFY(!probe::picView(widget)->isVisible());
    QCOMPARE(pRecord->property("selected").toBool(), true);
    QCOMPARE(pPicture->property("selected").toBool(), false);
    // The skin's rules on the property are in force (bold when selected).
    QVERIFY(pRecord->font().bold());
    QVERIFY(!pPicture->font().bold());

    QTest::mouseClick(pPicture, Qt::LeftButton);
    QVERIFY(!probe::recordView(widget)->isVisible());
    QVERIFY(probe::picView(widget)->isVisible());
    QCOMPARE(pRecord->property("selected").toBool(), false);
    QCOMPARE(pPicture->property("selected").toBool(), true);
    QVERIFY(!pRecord->font().bold());
    QVERIFY(pPicture->font().bold());

    QTest::mouseClick(pRecord, Qt::LeftButton);
    QVERIFY(probe::recordView(widget)->isVisible());
    QVERIFY(!probe::picView(widget)->isVisible());
    QCOMPARE(pRecord->property("selected").toBool(), true);
    QCOMPARE(pPicture->property("selected").toBool(), false);
    QVERIFY(pRecord->font().bold());
}

void tst_QDownloadingWidget::counters_data()
{
    QTest::addColumn<int>("nRecordRows");
    QTest::addColumn<int>("nPicRows");
    QTest::addColumn<QString>("strRecord");
    QTest::addColumn<QString>("strPicture");

    QTest::newRow("one record") << 1 << 0 << "record 1"
                                << "picture 0";
    QTest::newRow("99 records") << 99 << 2 << "record 99"
                                << "picture 2";
    QTest::newRow("100 records") << 100 << 3 << "record 99+"
                                 << "picture 3";
    QTest::newRow("100 pictures") << 1 << 100 << "record 1"
                                  << "picture 99+";
}

void tst_QDownloadingWidget::counters()
{
    QFETCH(int, nRecordRows);
    QFETCH(int, nPicRows);
    QFETCH(QString, strRecord);
    QFETCH(QString, strPicture);

    QDownloadingWidget& widget = *m_pWidget;
    QCOMPARE(button(widget, "btnRecordDownloading")->text(), QStringLiteral("record 0"));
    QCOMPARE(button(widget, "btnPictureDownloading")->text(), QStringLiteral("picture 0"));

    QSignalSpy spyCount(&widget, &QDownloadingWidget::sgnDownloadingItemNumChanaged);
    for (int i = 0; i < nPicRows; ++i) {
        addPicRow(widget, 0);
    }
    for (int i = 0; i < nRecordRows; ++i) {
        widget.onAddDownloadTask(probe::recordTask(QStringLiteral("task %1").arg(i)));
    }
    QCOMPARE(button(widget, "btnRecordDownloading")->text(), strRecord);
    QCOMPARE(button(widget, "btnPictureDownloading")->text(), strPicture);
    // One report per added row; the total counts every row of both tables, uncapped.
    QCOMPARE(spyCount.count(), nRecordRows);
    QCOMPARE(spyCount.last().at(0).toInt(), nRecordRows + nPicRows);
}

void tst_QDownloadingWidget::styleSheetFromSkin()
{
    QFile file(QDir::currentPath() + QStringLiteral("/Skin/") + ORBGUI::GetSkinVersion() +
               QStringLiteral("/DownloadApp/QssFile/QDownloadingWidget.qss"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QString strSheet = QString::fromUtf8(file.readAll());
    QVERIFY(!strSheet.isEmpty());
    QCOMPARE(m_pWidget->styleSheet(), strSheet);
}

void tst_QDownloadingWidget::missingStyleSheetIsSilent()
{
    m_pWidget.reset();
    setClientSetting(QStringLiteral("Local/SkinVersion"), QStringLiteral("NoSuchSkin"));
    QCOMPARE(ORBGUI::GetSkinVersion(), QStringLiteral("NoSuchSkin"));

    m_pWidget = std::make_unique<QDownloadingWidget>();
    QVERIFY(m_pWidget->styleSheet().isEmpty());
    QCOMPARE(m_pWidget->objectName(), QStringLiteral("QDownloadingWidget"));
    // Icons of a new row follow the skin in use.
    m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("a")));
    QCOMPARE(probe::statusIcon(*m_pWidget, 1),
             QStringLiteral("./Skin/NoSuchSkin/DownloadApp/down-downloading.svg"));
}

void tst_QDownloadingWidget::styleSheetPaintsBackground()
{
    // Inside a red host: only the widget's own painting of its style sheet can make it white.
    QWidget host;
    QPalette palette = host.palette();
    palette.setColor(QPalette::Window, QColor(200, 40, 40));
    host.setPalette(palette);
    host.setAutoFillBackground(true);
    auto* pLayout = new QVBoxLayout(&host);
    pLayout->setContentsMargins(20, 20, 20, 20);
    auto* pWidget = new QDownloadingWidget(&host);
    pLayout->addWidget(pWidget);
    host.resize(700, 700);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    const QImage image = host.grab().toImage();
    QCOMPARE(image.pixelColor(5, 5), QColor(200, 40, 40));
    // A spot of the widget that no child covers: the top margin, at the far right.
    const QPoint ptFree(pWidget->width() - 3, 2);
    QVERIFY(!pWidget->childAt(ptFree));
    QCOMPARE(image.pixelColor(pWidget->mapTo(&host, ptFree)), QColor(255, 255, 255));
}

void tst_QDownloadingWidget::productNameOnShow()
{
    ProductNameTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QStandardItemModel* pModel = probe::recordModel(*m_pWidget);
    QCOMPARE(pModel->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Shop"));

    setClientSetting(QStringLiteral("Base/ProductName"), QStringLiteral("Harbour"));
    m_pWidget->show();
    QCOMPARE(pModel->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Harbour name"));

    // Shown again with the same name: the title is left alone.
    m_pWidget->hide();
    pModel->setHeaderData(3, Qt::Horizontal, QStringLiteral("untouched"), Qt::EditRole);
    m_pWidget->show();
    QCOMPARE(pModel->headerData(3, Qt::Horizontal).toString(), QStringLiteral("untouched"));

    // The name changed meanwhile: retitled.
    m_pWidget->hide();
    setClientSetting(QStringLiteral("Base/ProductName"), QStringLiteral("Lighthouse"));
    m_pWidget->show();
    QCOMPARE(pModel->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Lighthouse name"));

    // Set from outside, then shown with the same name: nothing more to do.
    m_pWidget->hide();
    m_pWidget->setProductName(QStringLiteral("Lighthouse"));
    pModel->setHeaderData(3, Qt::Horizontal, QStringLiteral("untouched"), Qt::EditRole);
    m_pWidget->show();
    QCOMPARE(pModel->headerData(3, Qt::Horizontal).toString(), QStringLiteral("untouched"));
    QCoreApplication::removeTranslator(&translator);

    // Untranslated, the title has no place for a name and reads as written.
    m_pWidget->setProductName(QStringLiteral("Quay"));
    QCOMPARE(pModel->headerData(3, Qt::Horizontal).toString(), QStringLiteral("ProductName"));
    // The picture table has no such column.
    QCOMPARE(probe::picModel(*m_pWidget)->headerData(3, Qt::Horizontal).toString(),
             QStringLiteral("End time"));
}

void tst_QDownloadingWidget::openFolder()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openFileUrl");
    ScriptedEngine::setDownloadDir(QStringLiteral("/srv/records/my folder"));

    QTest::mouseClick(button(*m_pWidget, "btnFolder"), Qt::LeftButton);
    QCOMPARE(m_listOpenedUrls.size(), 1);
    QCOMPARE(m_listOpenedUrls.first(),
             QUrl(QStringLiteral("file:////srv/records/my folder"), QUrl::TolerantMode));
    QCOMPARE(ScriptedEngine::record().callCount(QStringLiteral("getDownloadDir")), 1);

    // The record folder, whichever table is shown.
    QTest::mouseClick(button(*m_pWidget, "btnPictureDownloading"), Qt::LeftButton);
    m_pWidget->onOpenFolder();
    QCOMPARE(m_listOpenedUrls.size(), 2);
    QCOMPARE(m_listOpenedUrls.last(), m_listOpenedUrls.first());
}

void tst_QDownloadingWidget::timerStartsWithFirstTaskOnly()
{
    const QList<QTimer*> listTimers = m_pWidget->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(listTimers.size(), 1);
    QTimer* pTimer = listTimers.first();
    QVERIFY(!pTimer->isActive());

    m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("a")));
    QVERIFY(pTimer->isActive());
    QCOMPARE(pTimer->interval(), 1000);
    QVERIFY(!pTimer->isSingleShot());

    // A second task leaves the running timer alone: its next tick does not move.
    QTRY_VERIFY_WITH_TIMEOUT(pTimer->remainingTime() < 700, 5000);
    m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("b")));
    QVERIFY(pTimer->remainingTime() < 700);

    // It ticks: the engine is asked for the downloading rows' progress.
    ScriptedEngine::setProgress(1, 0.25f, QStringLiteral("3.0MB/s"));
    QTRY_COMPARE_WITH_TIMEOUT(probe::speedText(*m_pWidget, 1), QStringLiteral("3.0MB/s"), 5000);
}

void tst_QDownloadingWidget::tickPercentAndSpeed_data()
{
    QTest::addColumn<float>("fFraction");
    QTest::addColumn<QString>("strSpeed");
    QTest::addColumn<int>("nPercent");

    QTest::newRow("nothing yet") << 0.0f << "0B/s" << 0;
    QTest::newRow("truncated, not rounded") << 0.999f << "1.2MB/s" << 99;
    QTest::newRow("half") << 0.5f << "512.0KB/s" << 50;
    QTest::newRow("small") << 0.123f << "12B/s" << 12;
    QTest::newRow("done") << 1.0f << "" << 100;
    QTest::newRow("negative shows nothing") << -0.5f << "--" << 0;
}

void tst_QDownloadingWidget::tickPercentAndSpeed()
{
    QFETCH(float, fFraction);
    QFETCH(QString, strSpeed);
    QFETCH(int, nPercent);

    m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("a")));
    ScriptedEngine::setProgress(1, fFraction, strSpeed);
    m_pWidget->onTimeOut();

    const QModelIndex percentCell = probe::recordCell(*m_pWidget, 1, QDownloadingWidget::RecordColumnPercent);
    QCOMPARE(percentCell.data(CDownloadCenterTableDelegate::ProgressValueRole).toInt(), nPercent);
    QCOMPARE(probe::speedText(*m_pWidget, 1), strSpeed);
    // State and bar marker are the row's, untouched by the tick.
    QCOMPARE(percentCell.data(Qt::UserRole).toInt(), 1);
    QCOMPARE(percentCell.data(CDownloadCenterTableDelegate::ProgressBarRole).toBool(), true);
}

void tst_QDownloadingWidget::tickStopsAfterEngineCount()
{
    // Five downloading rows between a failed one and a waiting one.
    ScriptedEngine::record().setAnswer(QStringLiteral("startDownload"), 1, -1);
    for (int i = 1; i <= 7; ++i) {
        m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("task %1").arg(i)));
    }
    QCOMPARE(probe::state(*m_pWidget, 1), 2);
    QCOMPARE(probe::state(*m_pWidget, 7), 0);
    for (int i = 1; i <= 7; ++i) {
        ScriptedEngine::setProgress(i, 0.5f, QStringLiteral("speed %1").arg(i));
    }

    const QSet<QString> setPoll = {QStringLiteral("getCurDownloadNumber"),
                                   QStringLiteral("getDownloadSpeedAndPercent")};
    ScriptedEngine::clearCalls();
    ScriptedEngine::record().setAnswer(QStringLiteral("getCurDownloadNumber"), 3);
    m_pWidget->onTimeOut();
    QCOMPARE(ScriptedEngine::record().calls(setPoll),
             QStringList({"getCurDownloadNumber()", "getDownloadSpeedAndPercent(2)",
                          "getDownloadSpeedAndPercent(3)", "getDownloadSpeedAndPercent(4)"}));
    QCOMPARE(probe::speedText(*m_pWidget, 4), QStringLiteral("speed 4"));
    QCOMPARE(probe::speedText(*m_pWidget, 5), QStringLiteral("--"));
    QCOMPARE(probe::speedText(*m_pWidget, 1), QStringLiteral("--"));

    // The engine holds more than run: every downloading row is refreshed, no other.
    ScriptedEngine::clearCalls();
    ScriptedEngine::record().setAnswer(QStringLiteral("getCurDownloadNumber"), 7);
    m_pWidget->onTimeOut();
    QCOMPARE(ScriptedEngine::record().calls({QStringLiteral("getDownloadSpeedAndPercent")}),
             QStringList({"getDownloadSpeedAndPercent(2)", "getDownloadSpeedAndPercent(3)",
                          "getDownloadSpeedAndPercent(4)", "getDownloadSpeedAndPercent(5)",
                          "getDownloadSpeedAndPercent(6)"}));
    QCOMPARE(probe::speedText(*m_pWidget, 6), QStringLiteral("speed 6"));
    QCOMPARE(probe::speedText(*m_pWidget, 7), QStringLiteral("--"));
}

void tst_QDownloadingWidget::tickPicturesFirstDownloadingRowOnly()
{
    m_pWidget->onAddDownloadTask(probe::recordTask(QStringLiteral("a")));
    QStandardItemModel* pPicModel = probe::picModel(*m_pWidget);

    // No downloading picture row: the picture engine is not asked.
    addPicRow(*m_pWidget, 0);
    addPicRow(*m_pWidget, 2);
    m_pWidget->onTimeOut();
    QCOMPARE(ScriptedEngine::pic().callCount(QStringLiteral("getSecondDownloadSize")), 0);

    addPicRow(*m_pWidget, 1);
    addPicRow(*m_pWidget, 1);
    ScriptedEngine::setSecondDownloadSize(1024);
    m_pWidget->onTimeOut();
    QCOMPARE(ScriptedEngine::pic().callCount(QStringLiteral("getSecondDownloadSize")), 1);
    QCOMPARE(pPicModel->index(2, QDownloadingWidget::PicColumnSpeed).data().toString(),
             QStringLiteral("1.0KB/s"));
    QCOMPARE(pPicModel->index(3, QDownloadingWidget::PicColumnSpeed).data().toString(), QStringLiteral("--"));
    QCOMPARE(pPicModel->index(0, QDownloadingWidget::PicColumnSpeed).data().toString(), QStringLiteral("--"));

    ScriptedEngine::setSecondDownloadSize(1023);
    m_pWidget->onTimeOut();
    QCOMPARE(pPicModel->index(2, QDownloadingWidget::PicColumnSpeed).data().toString(),
             QStringLiteral("1023B/s"));
}

void tst_QDownloadingWidget::destructionClearsPictureTasks()
{
    ScriptedEngine::clearCalls();
    m_pWidget.reset();
    QCOMPARE(ScriptedEngine::pic().calls(), QStringList{QStringLiteral("clearAllPicDownloadObj()")});
}

QTEST_MAIN(tst_QDownloadingWidget)
#include "tst_QDownloadingWidget.moc"
