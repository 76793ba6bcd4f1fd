#include "GraphicsContext.h"
#include "SetColor.h"

#include <QImage>
#include <QPainter>
#include <QTest>

// Every palette entry sets its exact colour as the current stroke and fill
// colour.
class tst_SetColor : public QObject
{
    Q_OBJECT

private slots:
    void palette_data();
    void palette();
};

using Setter = void (*)();
Q_DECLARE_METATYPE(Setter)

void tst_SetColor::palette_data()
{
    QTest::addColumn<Setter>("setter");
    QTest::addColumn<QColor>("expected");
    const auto row = [](const char *name, Setter setter, double r, double g, double b,
                        double a) {
        QTest::newRow(name) << setter << QColor::fromRgbF(r, g, b, a);
    };
    row("VeryFaintBlue", &SetColor::setColorVeryFaintBlue, 0, 0, 1, 0.05);
    row("QuiteFaintBlue", &SetColor::setColorQuiteFaintBlue, 0, 0, 1, 0.15);
    row("FaintBlue", &SetColor::setColorFaintBlue, 0, 0, 1, 0.25);
    row("ModerateBlue", &SetColor::setColorModerateBlue, 0, 0, 1, 0.5);
    row("Blue", &SetColor::setColorBlue, 0, 0, 1, 1);
    row("VeryFaintRed", &SetColor::setColorVeryFaintRed, 1, 0, 0, 0.05);
    row("QuiteFaintRed", &SetColor::setColorQuiteFaintRed, 1, 0, 0, 0.15);
    row("FaintRed", &SetColor::setColorFaintRed, 1, 0, 0, 0.25);
    row("ModerateRed", &SetColor::setColorModerateRed, 1, 0, 0, 0.5);
    row("Red", &SetColor::setColorRed, 1, 0, 0, 1);
    row("FaintOrange", &SetColor::setColorFaintOrange, 1, 0.5, 0, 0.25);
    row("ModerateOrange", &SetColor::setColorModerateOrange, 1, 0.5, 0, 0.5);
    row("Orange", &SetColor::setColorOrange, 1, 0.5, 0, 1);
    row("VeryFaintYellow", &SetColor::setColorVeryFaintYellow, 1, 1, 0, 0.05);
    row("QuiteFaintYellow", &SetColor::setColorQuiteFaintYellow, 1, 1, 0, 0.15);
    row("FaintYellow", &SetColor::setColorFaintYellow, 1, 1, 0, 0.25);
    row("ModerateYellow", &SetColor::setColorModerateYellow, 1, 1, 0, 0.5);
    row("Yellow", &SetColor::setColorYellow, 1, 1, 0, 1);
    row("QuiteFaintGreen", &SetColor::setColorQuiteFaintGreen, 0, 1, 0, 0.15);
    row("FaintGreen", &SetColor::setColorFaintGreen, 0, 1, 0, 0.25);
    row("ModerateGreen", &SetColor::setColorModerateGreen, 0, 1, 0, 0.5);
    row("HeavyGreen", &SetColor::setColorHeavyGreen, 0.1, 0.7, 0.1, 0.75);
    row("Green", &SetColor::setColorGreen, 0, 1, 0, 1);
    row("FaintGray", &SetColor::setColorFaintGray, 0.5, 0.5, 0.5, 0.25);
    row("ModerateGray", &SetColor::setColorModerateGray, 0.5, 0.5, 0.5, 0.5);
    row("HeavyGray", &SetColor::setColorHeavyGray, 0.1, 0.1, 0.1, 0.75);
    row("Gray", &SetColor::setColorGray, 0.5, 0.5, 0.5, 1);
    row("Black", &SetColor::setColorBlack, 0, 0, 0, 1);
}

void tst_SetColor::palette()
{
    QFETCH(Setter, setter);
    QFETCH(QColor, expected);
    QImage image(4, 4, QImage::Format_ARGB32);
    QPainter painter(&image);
    GraphicsContext::Scope scope(painter, false);
    SetColor::setColorYellow();
    if (setter == &SetColor::setColorYellow)
        SetColor::setColorBlack();
    setter();
    QCOMPARE(GraphicsContext::currentColor(), expected);
    QCOMPARE(painter.pen().color(), expected);
    QCOMPARE(painter.brush().color(), expected);
}

QTEST_MAIN(tst_SetColor)
#include "tst_setcolor.moc"
