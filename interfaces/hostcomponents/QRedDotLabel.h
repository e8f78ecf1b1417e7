#pragma once

#include <QLabel>
#include <QString>

// A label that paints its text on a red badge (a count, "99+").
class QRedDotLabel : public QLabel
{
    Q_OBJECT

public:
    explicit QRedDotLabel(QWidget* parent = nullptr);

    void setRedDotText(QString strText);

protected:
    void paintEvent(QPaintEvent* event) override;
};
