#pragma once

#include <QMainWindow>
#include <QString>

class CPluginHost;
class QModulesPanel;
class QTreeWidgetItem;

namespace Ui {
class QDemoMainWindow;
}

// The client's main window: a side menu of modules and, right of it, the area where the chosen
// module shows. The download centre lives in that area as a plugin; the other modules are
// placeholders. Switching modules is told to the plugin the way the client tells it.
class QDemoMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum class MenuEntry
    {
        LiveView,
        Playback,
        DownloadCentre,
        FileDownload,
        Settings,
    };

    QDemoMainWindow(CPluginHost* pHost, const QString& strBaseUrl, QWidget* parent = nullptr);
    ~QDemoMainWindow() override;

    // The plugin's parent widget.
    QWidget* contentArea() const;
    QModulesPanel* modulesPanel() const;
    // As if the user chose the entry in the menu.
    void selectEntry(MenuEntry eEntry);
    bool isLoggedIn() const { return m_bLoggedIn; }
    void setEnvironmentText(const QString& strText);
    // The notifications and calls so far, one a line.
    QString activityText() const;
    // What Help > About says: the client and the version of the module it loaded.
    QString aboutText() const;

public slots:
    void onLogOut();
    void onLogIn();

signals:
    void sgnLoggedInChanged(bool bLoggedIn);

private slots:
    void onCurrentMenuItemChanged(QTreeWidgetItem* pCurrent);
    void onNotified(const QString& strName, const QString& strJson, bool bDelivered);
    void onActivity(const QString& strText);
    void onAbout();

private:
    QTreeWidgetItem* addMenuItem(QTreeWidgetItem* pParent, MenuEntry eEntry, const QString& strText,
                                 const QString& strPath);
    QTreeWidgetItem* menuItem(MenuEntry eEntry) const;

    Ui::QDemoMainWindow* ui = nullptr;
    CPluginHost* m_pHost = nullptr;
    bool m_bLoggedIn = true;
};
