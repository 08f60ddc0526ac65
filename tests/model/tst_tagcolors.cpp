#include "model/IconCatalog.h"
#include "model/TagColors.h"
#include "model/TagNode.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>

using namespace TagColors;

class TestTagColors : public QObject {
    Q_OBJECT

private slots:
    void colorFromHexAccepts_data();
    void colorFromHexAccepts();
    void colorFromHexRefuses_data();
    void colorFromHexRefuses();
    void hexFromColorTruncates();
    void displayColorPrefersValidCustomHex();
    void iconPrecedence();
};

void TestTagColors::colorFromHexAccepts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hex");
    QTest::newRow("lower with #") << "#ff8000"
                                  << "FF8000";
    QTest::newRow("upper with blanks") << "  FF8000 \n"
                                       << "FF8000";
    QTest::newRow("# in the middle") << "FF#8000"
                                     << "FF8000";
    QTest::newRow("many #") << "##0a0B0c#"
                            << "0A0B0C";
    QTest::newRow("plus and five digits") << "+12345"
                                          << "012345";
    QTest::newRow("minus zeros") << "-00000"
                                 << "000000";
}

void TestTagColors::colorFromHexAccepts() {
    QFETCH(QString, text);
    QFETCH(QString, hex);
    const auto color = colorFromHex(text);
    QVERIFY(color.has_value());
    QCOMPARE(hexFromColor(*color), hex);
    QCOMPARE(color->alphaF(), 1.0f);
}

void TestTagColors::colorFromHexRefuses_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("three digits") << "F80";
    QTest::newRow("seven digits") << "FF80001";
    QTest::newRow("letter beyond F") << "FF80G0";
    QTest::newRow("inner blank") << "FF 800";
    QTest::newRow("minus non-zero") << "-00001";
    QTest::newRow("two signs") << "+-1234";
    QTest::newRow("0x prefix") << "0x8000";
    QTest::newRow("empty") << "";
}

void TestTagColors::colorFromHexRefuses() {
    QFETCH(QString, text);
    QVERIFY(!colorFromHex(text).has_value());
}

void TestTagColors::hexFromColorTruncates() {
    QCOMPARE(hexFromColor(Qt::white), QString("FFFFFF"));
    QCOMPARE(hexFromColor(Qt::black), QString("000000"));
    QCOMPARE(hexFromColor(QColor::fromRgbF(0.5f, 0.5f, 0.5f)), QString("7F7F7F"));
    QCOMPARE(hexFromColor(QColor()), QString("808080"));
    QCOMPARE(hexFromColor(QColor::fromHsv(0, 255, 255)), QString("FF0000"));
    // A wide-gamut colour from the picker has components beyond 0…1: still six digits.
    QColor wide = QColor::fromRgbF(0.5f, 0.5f, 0.5f).toExtendedRgb();
    wide.setRedF(1.5f);
    wide.setBlueF(-0.25f);
    QCOMPARE(hexFromColor(wide), QString("FF7F00"));
}

void TestTagColors::displayColorPrefersValidCustomHex() {
    TagNode node = TagNode::make("t", 6);
    node.customColorHex = "zzzzzz";
    QCOMPARE(displayColor(node), colorForIndex(6));
    node.customColorHex = "#00FF00";
    QCOMPARE(hexFromColor(displayColor(node)), QString("00FF00"));
    node.customColorHex.reset();
    node.colorIndex = 0;
    const QColor systemGray = displayColor(node);
    node.colorIndex = 9;
    QCOMPARE(displayColor(node), systemGray);
    node.colorIndex = 1;
    QVERIFY(displayColor(node) != systemGray);
}

void TestTagColors::iconPrecedence() {
    using IconCatalog::IconVariant;
    TagNode node = TagNode::make("t", 0);
    QCOMPARE(IconCatalog::iconVariant(node), IconVariant::Default);
    node.iconName = "star.fill";
    QCOMPARE(IconCatalog::iconVariant(node), IconVariant::Symbol);
    node.customIconData = QByteArray("not an image");
    QCOMPARE(IconCatalog::iconVariant(node), IconVariant::Symbol);
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    node.customIconData = png;
    QCOMPARE(IconCatalog::iconVariant(node), IconVariant::CustomImage);
}

QTEST_GUILESS_MAIN(TestTagColors)
#include "tst_tagcolors.moc"
