#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTest>

#include <algorithm>

namespace {

struct Picture {
    const char* name;
    QSize size;
};

// Every picture of the program with the size it is drawn for.
const Picture kPictures[] = {
    {"setup", {32, 32}},      {"scan1", {32, 32}},     {"scan2", {32, 32}},
    {"stop", {32, 32}},       {"info", {32, 32}},      {"exit", {32, 32}},
    {"lamp_green", {15, 15}}, {"lamp_red", {15, 15}},  {"marker_red", {8, 8}},
    {"marker_green", {8, 8}}, {"marker_blue", {8, 8}}, {"splash", {250, 250}},
    {"tip", {64, 64}},        {"support", {64, 64}},   {"about", {64, 64}},
    {"program", {64, 64}},
};

QImage Load(const QString& name, QSize size = {}) {
    QImageReader reader(QStringLiteral(":/pictures/%1.svg").arg(name));
    if (size.isValid()) reader.setScaledSize(size);
    QImage image = reader.read();
    if (image.isNull()) qWarning("%s: %s", qPrintable(name), qPrintable(reader.errorString()));
    return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

class PicturesTest : public QObject {
    Q_OBJECT

private slots:
    void everyPictureLoadsAtItsSize() {
        for (const auto& picture : kPictures) {
            const QString name = QString::fromLatin1(picture.name);
            QImageReader reader(QStringLiteral(":/pictures/%1.svg").arg(name));
            QCOMPARE(reader.size(), picture.size);
            const QImage image = Load(name);
            QVERIFY2(!image.isNull(), picture.name);
            // Something is drawn, and not over the whole square except the tile.
            int opaque = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, y)) > 128;
            QVERIFY2(opaque > image.width() * image.height() / 8, picture.name);
        }
    }

    // Lamps and markers are told apart by colour alone.
    void lampsAndMarkersHaveTheirColour_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("channel");  // 0 red, 1 green, 2 blue
        QTest::newRow("green lamp") << "lamp_green" << 1;
        QTest::newRow("red lamp") << "lamp_red" << 0;
        QTest::newRow("red marker") << "marker_red" << 0;
        QTest::newRow("green marker") << "marker_green" << 1;
        QTest::newRow("blue marker") << "marker_blue" << 2;
    }

    void lampsAndMarkersHaveTheirColour() {
        QFETCH(QString, name);
        QFETCH(int, channel);
        const QImage image = Load(name);
        // A point right of and below the centre, off the lamp's highlight.
        const QRgb rgb = image.pixel(image.width() * 2 / 3, image.height() * 2 / 3);
        const int values[] = {qRed(rgb), qGreen(rgb), qBlue(rgb)};
        QCOMPARE(qAlpha(rgb), 255);
        for (int other = 0; other < 3; ++other)
            if (other != channel) QVERIFY2(values[channel] > values[other] + 40, qPrintable(name));
    }

    // The splash window is cut to a circle, so the picture is round.
    void splashIsRound() {
        const QImage image = Load(QStringLiteral("splash"));
        for (QPoint corner : {QPoint(3, 3), QPoint(246, 3), QPoint(3, 246), QPoint(246, 246),
                              QPoint(30, 30), QPoint(219, 219)})
            QCOMPARE(qAlpha(image.pixel(corner)), 0);
        for (QPoint inside :
             {QPoint(125, 3), QPoint(3, 125), QPoint(125, 246), QPoint(246, 125), QPoint(125, 125)})
            QCOMPARE(qAlpha(image.pixel(inside)), 255);
    }

    void contactSheet() {
        // Each picture at its size, with a label.
        const int cell = 280;
        QImage sheet(cell * 4, cell * 4, QImage::Format_ARGB32);
        sheet.fill(QColor(0xf0, 0xf0, 0xf0));
        QPainter painter(&sheet);
        int index = 0;
        for (const auto& picture : kPictures) {
            const QPoint origin((index % 4) * cell, (index / 4) * cell);
            ++index;
            const QString name = QString::fromLatin1(picture.name);
            painter.drawImage(origin + QPoint(8, 8), Load(name));
            // Small pictures again, enlarged to about 128 pixels.
            const int zoom = std::min(8, 128 / picture.size.width());
            if (zoom > 1)
                painter.drawImage(origin + QPoint(8 + picture.size.width() + 8, 8),
                                  Load(name, picture.size * zoom));
            painter.drawText(QRect(origin + QPoint(0, cell - 22), QSize(cell, 20)), Qt::AlignCenter,
                             name);
        }
        painter.end();
        QDir().mkpath(QStringLiteral(LUMORA_SCREENSHOT_DIR));
        QVERIFY(sheet.save(QStringLiteral(LUMORA_SCREENSHOT_DIR "/pictures.png")));
    }
};

int RunPicturesTest(int argc, char** argv) {
    PicturesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "pictures_test.moc"
