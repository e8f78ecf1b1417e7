#pragma once

#include <QString>
#include <QWidget>

#include "CDemoTaskFactory.h"

class CPluginHost;

namespace Ui {
class QModulesPanel;
}

// Stands for the client's other modules: they hand the download centre record and picture
// tasks through its exported facade, report deleted devices and name the product; the client
// itself clears the lists and logs the user out and in.
class QModulesPanel : public QWidget
{
    Q_OBJECT

public:
    explicit QModulesPanel(QWidget* parent = nullptr);
    ~QModulesPanel() override;

    // Before first use: where notifications go and where the devices are.
    void setup(CPluginHost* pHost, const QString& strBaseUrl);

    void addRecordDownload(const CDemoTaskFactory::RecordRequest& request);
    void addPictureDownload(const CDemoTaskFactory::PictureRequest& request);
    void deleteDevice(const QString& strDeviceId, int nChannel);
    void setProductName(const QString& strName);
    void clearLists();
    // The skin the download centre takes when it opens next (at the next log-in).
    void setSkin(const QString& strSkin);

public slots:
    // Logged out, nothing but logging in again is offered.
    void onLoggedInChanged(bool bLoggedIn);

signals:
    void sgnLogOut();
    void sgnLogIn();
    // The client is to end and start again on the same profile.
    void sgnQuitAndRestart();
    // A line for the client's activity log.
    void sgnActivity(const QString& strText);

private slots:
    void onDeviceChanged(const QString& strDeviceId);
    void onAddRecordClicked();
    void onAddPicturesClicked();
    void onDeleteDeviceClicked();
    void onProductNameClicked();
    void onSkinChosen(const QString& strSkin);

private:
    QString chosenDevice() const;

    Ui::QModulesPanel* ui = nullptr;
    CPluginHost* m_pHost = nullptr;
    QString m_strBaseUrl;
};
