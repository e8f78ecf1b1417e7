#pragma once

#include <QString>
#include <QWidget>

class QPaintEvent;
class QShowEvent;

// What the two lists share: a skinned background and the product name in a column title, taken
// up again from the client's settings whenever the list is shown.
class QDownloadListBase : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    // Titles the list's product column with the name.
    virtual void setProductName(const QString& strName) = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

    QString m_strProductName;
};
