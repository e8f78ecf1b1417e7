#include <QtTest>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <downloadengine/CRecordDownloadManager.h>
#include <hostcomponents/QRedDotLabel.h>

#include <memory>

#include "CDownloadCenterMgr.h"
#include "DownloadingWidgetProbe.h"
#include "QDownloadCenter.h"
#include "QDownloadDoneWidget.h"
#include "ScriptedEngine.h"

namespace {

// One message of a Qt Linguist file.
struct Message
{
    QString strContext;
    QString strSource;
    QString strTranslation;
    QString strType;  // "unfinished", "obsolete", "vanished"... empty when done

    bool operator==(const Message& other) const
    {
        return strContext == other.strContext && strSource == other.strSource &&
               strTranslation == other.strTranslation && strType == other.strType;
    }
};

QString describe(const Message& message)
{
    return QStringLiteral("[%1] \"%2\" -> \"%3\" %4")
        .arg(message.strContext, message.strSource, message.strTranslation, message.strType);
}

QList<Message> readMessages(const QString& strPath, QString* pError)
{
    QList<Message> listMessages;
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *pError = QStringLiteral("cannot read ") + strPath;
        return listMessages;
    }
    QXmlStreamReader reader(&file);
    QString strContext;
    Message message;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement()) {
            continue;
        }
        if (reader.name() == QLatin1String("context")) {
            strContext.clear();
        } else if (reader.name() == QLatin1String("name")) {
            strContext = reader.readElementText();
        } else if (reader.name() == QLatin1String("message")) {
            message = Message();
            message.strContext = strContext;
        } else if (reader.name() == QLatin1String("source")) {
            message.strSource = reader.readElementText();
        } else if (reader.name() == QLatin1String("translation")) {
            message.strType = reader.attributes().value(QLatin1String("type")).toString();
            message.strTranslation = reader.readElementText();
            listMessages.append(message);
        }
    }
    if (reader.hasError()) {
        *pError = strPath + QStringLiteral(": ") + reader.errorString();
    }
    return listMessages;
}

QStringList translationFiles()
{
    return QString::fromUtf8(DC_TRANSLATION_FILES).split(QLatin1Char('|'));
}

// The %1, %2... of a text, sorted.
QStringList placeholders(const QString& strText)
{
    QStringList listFound;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("%\\d+")).globalMatch(strText);
    while (it.hasNext()) {
        listFound.append(it.next().captured());
    }
    listFound.sort();
    return listFound;
}

}  // namespace

class tst_DownloadAppTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void germanWindow();
    void everyLanguageEmbedded();
    void filesComplete_data();
    void filesComplete();
    void filesInStepWithSources_data();
    void filesInStepWithSources();

private:
    QDownloadCenter* window() const { return QDownloadCenter::instance(); }
    QString buttonText(QWidget* pParent, const char* szName) const
    {
        return pParent->findChild<QPushButton*>(QLatin1String(szName))->text();
    }
};

void tst_DownloadAppTranslations::initTestCase()
{
    // Set before the module is first built: its texts follow the locale of that moment.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ScriptedEngine::reset();
}

void tst_DownloadAppTranslations::cleanup()
{
    CDownloadCenterMgr::destroyInstance();
}

void tst_DownloadAppTranslations::germanWindow()
{
    CDownloadCenterMgr& facade = CDownloadCenterMgr::instance();
    QWidget host;
    facade.initWidget(&host);
    QString strProduct = QStringLiteral("Acme");
    facade.setProductInfo(strProduct);

    // The window's own texts and counters.
    QCOMPARE(buttonText(window(), "btnRecordDownload"), QStringLiteral("Aufnahmen"));
    QCOMPARE(buttonText(window(), "btnFileDownload"), QStringLiteral("Dateien"));
    QCOMPARE(buttonText(window(), "btnDownloading"), QStringLiteral("Laufend 0"));
    QCOMPARE(buttonText(window(), "btnDone"), QStringLiteral("Fertig 0"));

    // The lists' forms and tables.
    auto* pDone = window()->findChild<QDownloadDoneWidget*>(QStringLiteral("wgtDone"));
    auto* pDownloading = window()->findChild<QDownloadingWidget*>(QStringLiteral("wgtDownloading"));
    QCOMPARE(buttonText(pDone, "btnDelete"), QStringLiteral("Löschen"));
    QCOMPARE(buttonText(pDone, "btnFolder"), QStringLiteral("Ordner öffnen"));
    QCOMPARE(buttonText(pDownloading, "btnRecordDownloading"), QStringLiteral("Aufnahmen 0"));
    auto* pDoneModel = qobject_cast<QStandardItemModel*>(
        pDone->findChild<QAbstractItemView*>(QStringLiteral("tableDownloadingList"))->model());
    QCOMPARE(pDoneModel->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Dateiname"));
    QCOMPARE(pDoneModel->headerData(3, Qt::Horizontal).toString(), strProduct);
    QCOMPARE(pDoneModel->headerData(7, Qt::Horizontal).toString(), QStringLiteral("Dauer"));
    QCOMPARE(probe::recordModel(*pDownloading)->headerData(3, Qt::Horizontal).toString(), strProduct);

    // State words come from the plain context.
    facade.addDownloadTask(probe::recordTask(QStringLiteral("a.mp4")));
    QCOMPARE(probe::statusText(*pDownloading, 1), QStringLiteral("Wird geladen"));

    // A finished task's duration and unknown size.
    DownloadInfo finished = ScriptedEngine::heldRecordInfo(1);
    finished.stRecordFile.nFileSize = 0;
    finished.nStartDownloadTime = static_cast<qint32>(QDateTime::currentSecsSinceEpoch()) - 3661;
    emit CRecordDownloadManager::getInstance().sgnDownloadStateNotify(1, true, finished);
    QCOMPARE(pDoneModel->index(0, QDownloadDoneWidget::DoneColumnFileSize).data().toString(),
             QStringLiteral("Größe unbekannt"));
    const QString strDuration =
        pDoneModel->index(0, QDownloadDoneWidget::DoneColumnDoneTime).data().toString();
    QVERIFY2(strDuration == QStringLiteral("1 Std. 1 Min. 1 Sek.") ||
                 strDuration == QStringLiteral("1 Std. 1 Min. 2 Sek."),
             qPrintable(strDuration));
    QCOMPARE(buttonText(window(), "btnDone"), QStringLiteral("Fertig 1"));
}

void tst_DownloadAppTranslations::everyLanguageEmbedded()
{
    for (const QString& strFile : translationFiles()) {
        const QString strResource =
            QStringLiteral(":/DownloadApp/translations/") + QFileInfo(strFile).completeBaseName() + ".qm";
        QTranslator translator;
        QVERIFY2(translator.load(strResource), qPrintable(strResource));
        QVERIFY(!translator.isEmpty());
    }
}

void tst_DownloadAppTranslations::filesComplete_data()
{
    QTest::addColumn<QString>("strFile");
    for (const QString& strFile : translationFiles()) {
        QTest::newRow(qPrintable(QFileInfo(strFile).fileName())) << strFile;
    }
}

void tst_DownloadAppTranslations::filesComplete()
{
    QFETCH(QString, strFile);
    QString strError;
    const QList<Message> listMessages = readMessages(strFile, &strError);
    QVERIFY2(strError.isEmpty(), qPrintable(strError));
    QVERIFY(!listMessages.isEmpty());

    bool bProductNameSeen = false;
    for (const Message& message : listMessages) {
        const QString strWhere = QStringLiteral("[%1] \"%2\"").arg(message.strContext, message.strSource);
        QVERIFY2(message.strType.isEmpty(), qPrintable(strWhere + QStringLiteral(" is ") + message.strType));
        QVERIFY2(!message.strTranslation.trimmed().isEmpty(), qPrintable(strWhere + " has no translation"));
        if (message.strSource == QLatin1String("ProductName")) {
            // The column-3 title is the product name itself.
            QCOMPARE(message.strTranslation, QStringLiteral("%1"));
            bProductNameSeen = true;
        } else {
            QVERIFY2(placeholders(message.strTranslation) == placeholders(message.strSource),
                     qPrintable(strWhere + " changes its placeholders"));
        }
    }
    QVERIFY(bProductNameSeen);
}

void tst_DownloadAppTranslations::filesInStepWithSources_data()
{
    filesComplete_data();
}

void tst_DownloadAppTranslations::filesInStepWithSources()
{
    QFETCH(QString, strFile);

    // lupdate over a copy, exactly as the update_translations target runs it over the original.
    QTemporaryDir dirWork;
    QVERIFY(dirWork.isValid());
    const QString strCopy = dirWork.filePath(QFileInfo(strFile).fileName());
    QVERIFY(QFile::copy(strFile, strCopy));
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    QStringList listArguments = QString::fromUtf8(DC_LUPDATE_ARGUMENTS).split(QLatin1Char('|'));
    listArguments << QStringLiteral("-ts") << strCopy;
    lupdate.start(QStringLiteral(DC_LUPDATE), listArguments);
    QVERIFY2(lupdate.waitForFinished(120000), qPrintable(lupdate.errorString()));
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
             lupdate.readAll().constData());

    QString strError;
    const QList<Message> listCommitted = readMessages(strFile, &strError);
    const QList<Message> listFromSources = readMessages(strCopy, &strError);
    QVERIFY2(strError.isEmpty(), qPrintable(strError));
    if (listFromSources != listCommitted) {
        for (const Message& message : listFromSources) {
            if (!listCommitted.contains(message)) {
                qWarning("new or changed in the sources: %s", qPrintable(describe(message)));
            }
        }
        for (const Message& message : listCommitted) {
            if (!listFromSources.contains(message)) {
                qWarning("gone from the sources: %s", qPrintable(describe(message)));
            }
        }
        QFAIL("translations/ is behind the sources: build the update_translations target and translate");
    }
}

QTEST_MAIN(tst_DownloadAppTranslations)
#include "tst_DownloadAppTranslations.moc"
