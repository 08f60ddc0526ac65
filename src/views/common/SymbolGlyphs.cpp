#include "views/common/SymbolGlyphs.h"

#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>

namespace SymbolGlyphs {
namespace {

const char* const kFontPath =
    "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf";

// Catalogue and interface symbol names to the icon font's ligatures.
const QHash<QString, QString>& ligatures() {
    static const QHash<QString, QString> table = {
        {"tag.fill", "local_offer"},
        {"heart.fill", "favorite"},
        {"cross.fill", "add"},
        {"star.fill", "star"},
        {"seal.fill", "verified"},
        {"peacesign", "emoji_symbols"},
        {"nosign", "block"},
        {"magnifyingglass", "search"},
        {"gearshape.fill", "settings"},
        {"link", "link"},
        {"bubble.fill", "chat_bubble"},
        {"bubble.left.and.bubble.right.fill", "forum"},
        {"circle.fill", "circle"},
        {"square.fill", "square"},
        {"oval.fill", "egg"},
        {"triangle.fill", "change_history"},
        {"diamond.fill", "diamond"},
        {"hexagon.fill", "hexagon"},
        {"octagon.fill", "dangerous"},
        {"pentagon.fill", "pentagon"},
        {"arrowshape.right.fill", "arrow_forward"},
        {"arrowshape.up.fill", "arrow_upward"},
        {"arrowshape.left.fill", "arrow_back"},
        {"arrowshape.down.fill", "arrow_downward"},
        {"person.fill", "person"},
        {"person.2.fill", "people"},
        {"figure", "accessibility"},
        {"figure.walk", "directions_walk"},
        {"hand.raised.fill", "pan_tool"},
        {"hand.thumbsup.fill", "thumb_up"},
        {"hand.point.up.left.fill", "touch_app"},
        {"brain.fill", "psychology"},
        {"eye.fill", "visibility"},
        {"eyes.inverse", "preview"},
        {"desktopcomputer", "desktop_windows"},
        {"laptopcomputer", "laptop"},
        {"apple.terminal.fill", "terminal"},
        {"phone.fill", "phone"},
        {"candybarphone", "phone_android"},
        {"iphone.gen1", "smartphone"},
        {"ipod", "tablet"},
        {"applewatch", "watch"},
        {"camera.fill", "photo_camera"},
        {"gamecontroller.fill", "sports_esports"},
        {"microphone.fill", "mic"},
        {"printer.fill", "print"},
        {"scanner.fill", "scanner"},
        {"externaldrive.fill", "storage"},
        {"wifi", "wifi"},
        {"globe", "language"},
        {"globe.americas.fill", "south_america"},
        {"globe.europe.africa.fill", "public"},
        {"globe.asia.australia.fill", "travel_explore"},
        {"globe.central.south.asia.fill", "explore"},
        {"mappin.and.ellipse", "place"},
        {"map.fill", "map"},
        {"shield.fill", "shield"},
        {"lock.fill", "lock"},
        {"key.horizontal.fill", "vpn_key"},
        {"flag.fill", "flag"},
        {"lightbulb.fill", "lightbulb"},
        {"scissors", "content_cut"},
        {"paintbrush.fill", "brush"},
        {"trash.fill", "delete"},
        {"cart.fill", "shopping_cart"},
        {"house.fill", "home"},
        {"graduationcap.fill", "school"},
        {"pencil.and.outline", "edit"},
        {"paperplane.fill", "send"},
        {"calendar", "event"},
        {"clock.fill", "schedule"},
        {"hourglass", "hourglass_empty"},
        {"tray.fill", "inbox"},
        {"archivebox.fill", "archive"},
        {"folder.fill", "folder"},
        {"list.bullet.rectangle.fill", "list_alt"},
        {"bookmark.fill", "bookmark"},
        {"paperclip", "attach_file"},
        {"document.fill", "description"},
        {"envelope.fill", "email"},
        {"text.page.fill", "article"},
        {"receipt.fill", "receipt"},
        {"signature", "gesture"},
        {"textformat", "text_fields"},
        {"text.book.closed.fill", "book"},
        {"book.fill", "menu_book"},
        {"books.vertical.fill", "library_books"},
        {"newspaper.fill", "newspaper"},
        {"photo", "photo"},
        {"play.circle.fill", "play_circle"},
        {"video.fill", "videocam"},
        {"speaker.wave.2.fill", "volume_up"},
        {"waveform", "graphic_eq"},
        {"car.fill", "directions_car"},
        {"truck.box.fill", "local_shipping"},
        {"bus.fill", "directions_bus"},
        {"tram.fill", "tram"},
        {"bicycle", "directions_bike"},
        {"motorcycle.fill", "two_wheeler"},
        {"moped.fill", "moped"},
        {"airplane", "flight"},
        {"ferry.fill", "directions_boat"},
        {"sailboat.fill", "sailing"},
        {"sun.max.fill", "wb_sunny"},
        {"moon.fill", "nightlight"},
        {"cloud.fill", "cloud"},
        {"snowflake", "ac_unit"},
        {"bolt.fill", "bolt"},
        {"water.waves", "waves"},
        {"mountain.2.fill", "terrain"},
        {"camera.macro", "local_florist"},
        {"leaf.fill", "eco"},
        {"tree.fill", "park"},
        {"pawprint.fill", "pets"},
        {"bird.fill", "flutter_dash"},
        {"fish.fill", "set_meal"},
        {"lizard.fill", "bug_report"},
        {"ladybug.fill", "pest_control"},
        {"dollarsign", "attach_money"},
        {"eurosign", "euro"},
        {"yensign", "currency_yen"},
        {"soccerball", "sports_soccer"},
        {"baseball.fill", "sports_baseball"},
        {"basketball.fill", "sports_basketball"},
        {"american.football.fill", "sports_football"},
        {"tennis.racket", "sports_tennis"},
        {"hockey.puck.fill", "sports_hockey"},
        {"volleyball.fill", "sports_volleyball"},
        {"trophy.fill", "emoji_events"},
        // Interface symbols.
        {"chevron.left", "chevron_left"},
        {"chevron.right", "chevron_right"},
        {"plus", "add"},
        {"square.grid.2x2", "grid_view"},
        {"rectangle.split.3x1", "view_week"},
        {"lock.shield", "admin_panel_settings"},
        {"paintpalette.fill", "palette"},
    };
    return table;
}

// The font read straight from its file: matching it by family name through the font
// database also finds the system's compressed copy of it, which takes longer to open than the
// whole window takes to build. One per size, so that each keeps its rendered glyphs between
// paints.
const QRawFont& rawFont(int pixelSize) {
    static const QRawFont file(QString::fromLatin1(kFontPath), 24);
    static QHash<int, QRawFont> sized;
    auto it = sized.constFind(pixelSize);
    if (it == sized.cend()) {
        if (sized.size() >= 64) {
            sized.clear();
        }
        QRawFont font = file;
        font.setPixelSize(pixelSize);
        it = sized.insert(pixelSize, font);
    }
    return *it;
}

// The ligature shaped into glyphs at `pixelSize`; the layout owns the single line.
QList<QGlyphRun> shape(const QString& ligature, int pixelSize, QSizeF* box = nullptr) {
    QTextLayout layout(ligature);
    layout.setRawFont(rawFont(pixelSize));
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (box) {
        *box = QSizeF(line.naturalTextWidth(), line.height());
    }
    return layout.glyphRuns();
}

// True when the font shapes the ligature into a single glyph.
bool hasSingleGlyph(const QString& ligature) {
    static QHash<QString, bool> known;
    const auto it = known.constFind(ligature);
    if (it != known.cend()) {
        return *it;
    }
    bool single = false;
    if (rawFont(24).isValid()) {
        const QList<QGlyphRun> runs = shape(ligature, 24);
        single = runs.size() == 1 && runs.first().glyphIndexes().size() == 1 &&
                 runs.first().glyphIndexes().first() != 0;
    }
    known.insert(ligature, single);
    return single;
}

// The font has no cat or dog: their heads are drawn, on a 24-unit square.
QPainterPath drawnShape(const QString& symbol) {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (symbol == QLatin1String("cat.fill")) {
        path.addEllipse(QRectF(4, 7, 16, 14));
        path.addPolygon(QPolygonF({{4.5, 12}, {5, 2.5}, {11, 8}}));
        path.addPolygon(QPolygonF({{19.5, 12}, {19, 2.5}, {13, 8}}));
    } else if (symbol == QLatin1String("dog.fill")) {
        path.addRoundedRect(QRectF(6, 4, 12, 15), 6, 6);
        path.addEllipse(QRectF(9, 14, 6, 7));
        QTransform left;
        left.translate(5, 11).rotate(20);
        path.addPath(left.map([] {
            QPainterPath ear;
            ear.addEllipse(QRectF(-3, -7, 5, 13));
            return ear;
        }()));
        QTransform right;
        right.translate(19, 11).rotate(-20);
        path.addPath(right.map([] {
            QPainterPath ear;
            ear.addEllipse(QRectF(-2, -7, 5, 13));
            return ear;
        }()));
    }
    return path;
}

}  // namespace

QString glyphFor(const QString& symbol) {
    if (!drawnShape(symbol).isEmpty()) {
        return symbol;  // drawn, not taken from the font
    }
    const QString ligature = ligatures().value(symbol);
    return !ligature.isEmpty() && hasSingleGlyph(ligature) ? ligature : QString();
}

QPixmap pixmap(const QString& symbol, const QColor& color, int size, qreal devicePixelRatio) {
    const QString ligature = glyphFor(symbol);
    if (ligature.isEmpty()) {
        return {};
    }
    QPixmap image(QSize(size, size) * devicePixelRatio);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    if (const QPainterPath drawn = drawnShape(symbol); !drawn.isEmpty()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 24.0, size / 24.0);
        painter.fillPath(drawn, color);
        return image;
    }
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(color);
    QSizeF box;
    const QList<QGlyphRun> runs = shape(ligature, size, &box);
    const QPointF centred((size - box.width()) / 2, (size - box.height()) / 2);
    for (const QGlyphRun& run : runs) {
        painter.drawGlyphRun(centred, run);
    }
    return image;
}

QIcon icon(const QString& symbol, const QColor& color, int size) {
    QIcon result;
    for (const qreal ratio : {1.0, 2.0}) {
        const QPixmap image = pixmap(symbol, color, size, ratio);
        if (!image.isNull()) {
            result.addPixmap(image);
        }
    }
    return result;
}

}  // namespace SymbolGlyphs
