#include <hostcomponents/QRedDotLabel.h>

#include <QImage>
#include <QtTest>

class tst_QRedDotLabel : public QObject
{
    Q_OBJECT

private:
    static QImage render(QRedDotLabel& label)
    {
        QImage image(label.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    static bool isBadgeRed(QRgb rgb) { return qRed(rgb) > 200 && qGreen(rgb) < 110 && qBlue(rgb) < 110; }

private slots:
    // The badge fills the label's width: a circle at 16x16, a pill at 32x16.
    void paintsARedBadgeOfTheLabelsSize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("text");
        QTest::newRow("one digit") << QSize(16, 16) << "7";
        QTest::newRow("two digits") << QSize(26, 16) << "42";
        QTest::newRow("overflow") << QSize(32, 16) << "99+";
    }

    void paintsARedBadgeOfTheLabelsSize()
    {
        QFETCH(QSize, size);
        QFETCH(QString, text);
        QRedDotLabel label;
        label.setFixedSize(size);
        label.setRedDotText(text);
        QCOMPARE(label.text(), text);
        const QImage image = render(label);
        // Left and right ends of the pill are red, the corners outside it are not.
        QVERIFY(isBadgeRed(image.pixel(2, size.height() / 2)));
        QVERIFY(isBadgeRed(image.pixel(size.width() - 3, size.height() / 2)));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        // The text shows as white pixels inside the badge.
        bool bWhite = false;
        for (int x = 0; x < size.width() && !bWhite; ++x) {
            for (int y = 0; y < size.height() && !bWhite; ++y) {
                const QRgb rgb = image.pixel(x, y);
                bWhite = qRed(rgb) > 230 && qGreen(rgb) > 230 && qBlue(rgb) > 230 && qAlpha(rgb) > 230;
            }
        }
        QVERIFY(bWhite);
    }
};

QTEST_MAIN(tst_QRedDotLabel)
#include "tst_QRedDotLabel.moc"
