// Draws the About window's pictures: the maker's logo, the small web-site picture and the hand
// pointer. Run once when the artwork changes, with the folder to write into:
//   QT_QPA_PLATFORM=offscreen tw_about_art app/about
#include <QDir>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

const QColor Ink(0x12, 0x2f, 0x5c);
const QColor Deep(0x1b, 0x4f, 0x93);
const QColor Bright(0x3f, 0x8f, 0xd8);
const QColor Thread(0xf2, 0xb1, 0x34);

QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Two threads linked like rings of a chain, each passing over the other once: the emblem of
// the maker.
void drawLinkedRings(QPainter &p, const QPointF &centre, qreal radius, qreal width)
{
    const qreal offset = radius * 0.78;
    const QRectF left(centre.x() - offset - radius, centre.y() - radius, 2 * radius, 2 * radius);
    const QRectF right(centre.x() + offset - radius, centre.y() - radius, 2 * radius, 2 * radius);
    const QPen white(Qt::white, width, Qt::SolidLine, Qt::FlatCap);
    const QPen gold(Thread, width, Qt::SolidLine, Qt::FlatCap);
    const QPen gap(Deep, width + 2.4, Qt::SolidLine, Qt::FlatCap);
    p.setBrush(Qt::NoBrush);
    p.setPen(white);
    p.drawEllipse(left);
    p.setPen(gold);
    p.drawEllipse(right);
    // Below, the white thread passes over the gold one; angles in sixteenths of a degree,
    // anticlockwise from three o'clock.
    p.setPen(gap);
    p.drawArc(left, 292 * 16, 36 * 16);
    p.setPen(white);
    p.drawArc(left, 288 * 16, 44 * 16);
}

QImage logo()
{
    QImage image = blank(67, 143);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 143);
    sky.setColorAt(0, Bright);
    sky.setColorAt(0.45, Deep);
    sky.setColorAt(1, Ink);
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(0.5, 0.5, 66, 142), 7, 7);

    drawLinkedRings(p, QPointF(33.5, 28), 13, 4.5);

    // A thin warp of threads under the emblem.
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    for (int x = 10; x <= 57; x += 4)
        p.drawLine(QPointF(x, 54), QPointF(x, 136));

    // The name runs up the logo, as large as the room under the emblem allows.
    const qreal room = 80;
    QFont name(QStringLiteral("DejaVu Sans"));
    name.setBold(true);
    for (int size = 18; size > 8; --size) {
        name.setPixelSize(size);
        if (QFontMetricsF(name).horizontalAdvance(QStringLiteral("ORVANDEL")) <= room)
            break;
    }
    p.save();
    p.translate(38, 136);
    p.rotate(-90);
    p.setFont(name);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, -22, room, 24), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("ORVANDEL"));
    QFont trade(QStringLiteral("DejaVu Sans"));
    trade.setPixelSize(8);
    trade.setLetterSpacing(QFont::AbsoluteSpacing, 1.6);
    p.setFont(trade);
    p.setPen(Thread);
    p.drawText(QRectF(1, 3, room, 12), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("SOFTWARE"));
    p.restore();
    return image;
}

// The web site: a globe with one woven thread round it.
QImage siteImage()
{
    QImage image = blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(16, 16);
    QRadialGradient sea(QPointF(12, 11), 17);
    sea.setColorAt(0, Bright.lighter(130));
    sea.setColorAt(1, Deep);
    const QRectF ring(0.5, 10, 31, 12);
    const QPen thread(Thread, 2.2, Qt::SolidLine, Qt::RoundCap);
    p.setPen(thread);
    p.drawArc(ring, 0, 180 * 16);
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(sea);
    p.drawEllipse(centre, 13, 13);

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 190), 1));
    p.drawEllipse(centre, 5.5, 13);
    p.drawLine(QPointF(16, 3), QPointF(16, 29));
    p.drawLine(QPointF(3, 16), QPointF(29, 16));
    p.drawLine(QPointF(5.5, 9.5), QPointF(26.5, 9.5));
    p.drawLine(QPointF(5.5, 22.5), QPointF(26.5, 22.5));

    p.setPen(thread);
    p.drawArc(ring, 180 * 16, 180 * 16);
    return image;
}

// A hand with the forefinger raised; its tip, the hot spot, is at (10, 1).
QImage handPointer()
{
    QImage image = blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath finger;
    finger.addRoundedRect(QRectF(7.5, 0.5, 5.5, 18), 2.75, 2.75);
    QPainterPath knuckles;
    knuckles.addRoundedRect(QRectF(12.5, 9.5, 4.5, 10), 2.25, 2.25);
    knuckles.addRoundedRect(QRectF(16.5, 10.5, 4.5, 9), 2.25, 2.25);
    knuckles.addRoundedRect(QRectF(20.5, 11.5, 4.5, 9), 2.25, 2.25);
    QPainterPath palm;
    palm.addRoundedRect(QRectF(7.5, 14.5, 17.5, 14), 4, 4);
    QPainterPath thumb;
    thumb.moveTo(8, 21);
    thumb.lineTo(3.2, 16.2);
    thumb.cubicTo(1.6, 14.6, -0.2, 16.8, 1.5, 18.6);
    thumb.lineTo(8, 26.5);
    thumb.closeSubpath();

    QPainterPath hand = finger.united(knuckles).united(palm).united(thumb).simplified();
    p.setPen(QPen(Qt::black, 1.1));
    p.setBrush(Qt::white);
    p.drawPath(hand);

    // The creases between the folded fingers.
    p.setPen(QPen(Qt::black, 0.9));
    p.drawLine(QPointF(16.7, 12.5), QPointF(16.7, 17));
    p.drawLine(QPointF(20.7, 13.5), QPointF(20.7, 17.5));
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const struct {
        const char *file;
        QImage image;
    } pictures[] = {
        {"logo.png", logo()},
        {"image1.png", siteImage()},
        {"hand.png", handPointer()},
    };
    for (const auto &picture : pictures) {
        const QString path = folder.filePath(QString::fromLatin1(picture.file));
        if (!picture.image.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
