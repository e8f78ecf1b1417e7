#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTextStream>
#include <QTimer>

#include <unistd.h>

#include <CDownloadCenterMgr.h>

#include "CDemoEnvironment.h"
#include "CDemoTour.h"
#include "CPluginHost.h"
#include "QDemoMainWindow.h"
#include "QModulesPanel.h"

namespace {

constexpr int kDefaultTourSeconds = 300;
constexpr int kWindowWidth = 1800;
constexpr int kWindowHeight = 960;
// The size a client gives the module by default: the tour shows it so.
constexpr int kModuleWidth = 985;
constexpr int kModuleHeight = 735;

// Shown in a box when someone is looking, always on standard error.
void reportFailure(const QString& strText, bool bInteractive)
{
    QTextStream(stderr) << "dc-demo: " << strText << Qt::endl;
    if (bInteractive) {
        QMessageBox::critical(nullptr, QObject::tr("Video client (demo)"), strText);
    }
}

}  // namespace

// The demo client: stands up the simulator and a settings profile, loads the download centre as
// the client's plugin host does and shows it in a main window; with --tour it works the window
// on its own and exits with the result of its checks.
int main(int argc, char* argv[])
{
    // The browser draws without a GPU offscreen.
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) {
        qputenv("QT_QUICK_BACKEND", "software");
    }
    // Chromium refuses to start as root inside its sandbox.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    // The browser comes in with a library rather than with the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dc-demo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QObject::tr(
        "A small video client hosting the download centre plugin, with a simulated platform and devices."));
    parser.addHelpOption();
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"),
        QObject::tr("Use this client settings file instead of a temporary profile."), QObject::tr("file"));
    const QCommandLineOption tourOption(
        QStringLiteral("tour"),
        QObject::tr("Run the scripted tour, save screenshots and exit with its result."));
    const QCommandLineOption screenshotsOption(
        QStringLiteral("screenshots"),
        QObject::tr("Folder for the tour's screenshots (default: a new folder in the temporary folder)."),
        QObject::tr("folder"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout"),
                                           QObject::tr("Seconds the tour may take at most."),
                                           QObject::tr("seconds"), QString::number(kDefaultTourSeconds));
    // Not "--plugin": QGuiApplication takes that one for its own plugins.
    const QCommandLineOption pluginOption(
        QStringLiteral("library"), QObject::tr("The plugin library to load."), QObject::tr("file"),
        QApplication::applicationDirPath() + QStringLiteral("/libDownloadApp.so"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QObject::tr("The simulator's port (default: any free one)."),
                                        QObject::tr("port"), QStringLiteral("0"));
    parser.addOptions(
        {settingsOption, tourOption, screenshotsOption, timeoutOption, pluginOption, portOption});
    parser.process(app);

    const bool bTour = parser.isSet(tourOption);
    // The tour speaks for itself; the module's records still go to its log file.
    if (bTour && qEnvironmentVariableIsEmpty("QT_LOGGING_RULES")) {
        QLoggingCategory::setFilterRules(QStringLiteral("ncl=false"));
    }
    const bool bInteractive = !bTour && QGuiApplication::platformName() != QLatin1String("offscreen");
    if (bTour && parser.isSet(settingsOption)) {
        reportFailure(QObject::tr("The tour checks files in a profile of its own: leave out --settings."),
                      false);
        return 2;
    }
    bool bTimeoutOk = false;
    const int nTimeoutSeconds = parser.value(timeoutOption).toInt(&bTimeoutOk);
    if (!bTimeoutOk || nTimeoutSeconds <= 0) {
        reportFailure(QObject::tr("--timeout takes a positive number of seconds."), false);
        return 2;
    }
    // Before the working folder may change below.
    const QString strSettingsFile =
        parser.isSet(settingsOption) ? QDir(parser.value(settingsOption)).absolutePath() : QString();
    // A checkout's tracked pictures change only when asked for (--screenshots docs).
    const QString strScreenshots =
        parser.isSet(screenshotsOption)
            ? QDir(parser.value(screenshotsOption)).absolutePath()
            : QDir::temp().filePath(
                  QStringLiteral("dc-demo-screenshots-%1").arg(QCoreApplication::applicationPid()));
    const QString strPlugin = QDir(parser.value(pluginOption)).absolutePath();
    // The module finds its skin under ./Skin, next to the binaries.
    if (!QDir(QStringLiteral("Skin")).exists()) {
        QDir::setCurrent(QApplication::applicationDirPath());
    }

    CDemoEnvironment environment;
    QString strError;
    if (!environment.start(strSettingsFile, strError, parser.value(portOption).toInt())) {
        reportFailure(strError, bInteractive);
        return 1;
    }
    CPluginHost host;
    if (!host.load(strPlugin, strError)) {
        reportFailure(strError, bInteractive);
        return 1;
    }

    int nResult = 0;
    {
        QDemoMainWindow window(&host, environment.baseUrl());
        window.setEnvironmentText(
            QObject::tr("Simulator %1 · settings %2")
                .arg(environment.baseUrl(), QDir::toNativeSeparators(environment.settingsFile())));
        host.initPlugin(window.contentArea());
        // Wide enough for every column of the lists; a smaller screen gets what it has.
        const QSize sizeWanted(kWindowWidth, kWindowHeight);
        window.resize(bTour ? sizeWanted : sizeWanted.boundedTo(window.screen()->availableSize()));
        window.show();
        if (bTour) {
            QCoreApplication::processEvents();
            window.resize(window.size() - window.contentArea()->size() + QSize(kModuleWidth, kModuleHeight));
        }

        CDemoTour tour(&window, &environment, strScreenshots, nTimeoutSeconds);
        if (bTour) {
            QTimer::singleShot(0, &tour, &CDemoTour::run);
        } else {
            window.selectEntry(QDemoMainWindow::MenuEntry::DownloadCentre);
        }
        // Ends this client and starts another on the same profile, settings and simulator port,
        // as a user who quits and starts again.
        QObject::connect(window.modulesPanel(), &QModulesPanel::sgnQuitAndRestart, &app, [&] {
            environment.keepProfile();
            QProcess::startDetached(
                QApplication::applicationFilePath(),
                {QStringLiteral("--settings"), environment.settingsFile(), QStringLiteral("--port"),
                 QString::number(environment.port()), QStringLiteral("--library"), strPlugin});
            QApplication::quit();
        });
        nResult = QApplication::exec();

        // The facade takes the window with it, while the widget it lives in still exists.
        CDownloadCenterMgr::destroyInstance();
        host.uninitPlugin();
    }
    return nResult;
}
