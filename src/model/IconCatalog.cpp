#include "model/IconCatalog.h"

#include "model/TagNode.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QMutex>

namespace IconCatalog {

const QList<Category>& iconCatalog() {
    static const QList<Category> catalog = {
        {"Symbols",
         {{"Tag", "tag.fill"},
          {"Heart", "heart.fill"},
          {"Cross", "cross.fill"},
          {"Star", "star.fill"},
          {"Seal", "seal.fill"},
          {"Peace", "peacesign"},
          {"No Sign", "nosign"},
          {"Search", "magnifyingglass"},
          {"Gear", "gearshape.fill"},
          {"Link", "link"},
          {"Text Bubble", "bubble.fill"},
          {"Text Bubbles", "bubble.left.and.bubble.right.fill"}}},
        {"Shapes",
         {{"Circle", "circle.fill"},
          {"Square", "square.fill"},
          {"Oval", "oval.fill"},
          {"Triangle", "triangle.fill"},
          {"Diamond", "diamond.fill"},
          {"Hexagon", "hexagon.fill"},
          {"Octagon", "octagon.fill"},
          {"Pentagon", "pentagon.fill"}}},
        {"Arrows",
         {{"Right", "arrowshape.right.fill"},
          {"Up", "arrowshape.up.fill"},
          {"Left", "arrowshape.left.fill"},
          {"Down", "arrowshape.down.fill"}}},
        {"Human",
         {{"Person", "person.fill"},
          {"Two People", "person.2.fill"},
          {"Figure", "figure"},
          {"Walk", "figure.walk"},
          {"Hand", "hand.raised.fill"},
          {"Thumbs Up", "hand.thumbsup.fill"},
          {"Point", "hand.point.up.left.fill"},
          {"Brain", "brain.fill"},
          {"Eye", "eye.fill"},
          {"Eyes", "eyes.inverse"}}},
        {"Technology",
         {{"Computer", "desktopcomputer"},
          {"Laptop", "laptopcomputer"},
          {"Terminal", "apple.terminal.fill"},
          {"Phone", "phone.fill"},
          {"Cell Phone", "candybarphone"},
          {"iPhone", "iphone.gen1"},
          {"iPod", "ipod"},
          {"Watch", "applewatch"},
          {"Camera", "camera.fill"},
          {"Game Controller", "gamecontroller.fill"},
          {"Microphone", "microphone.fill"},
          {"Printer", "printer.fill"},
          {"Scanner", "scanner.fill"},
          {"Hard Drive", "externaldrive.fill"},
          {"Wifi", "wifi"}}},
        {"Location",
         {{"Globe", "globe"},
          {"Americas", "globe.americas.fill"},
          {"Europe & Africa", "globe.europe.africa.fill"},
          {"Asia & Australia", "globe.asia.australia.fill"},
          {"Central South Asia", "globe.central.south.asia.fill"},
          {"Map Pin", "mappin.and.ellipse"},
          {"Map", "map.fill"}}},
        {"Objects",
         {{"Shield", "shield.fill"},
          {"Lock", "lock.fill"},
          {"Key", "key.horizontal.fill"},
          {"Flag", "flag.fill"},
          {"Light Bulb", "lightbulb.fill"},
          {"Scissors", "scissors"},
          {"Paintbrush", "paintbrush.fill"},
          {"Trash", "trash.fill"},
          {"Cart", "cart.fill"},
          {"House", "house.fill"},
          {"Graduation Cap", "graduationcap.fill"},
          {"Pencil", "pencil.and.outline"},
          {"Paper Airplane", "paperplane.fill"}}},
        {"Time", {{"Calendar", "calendar"}, {"Clock", "clock.fill"}, {"Hourglass", "hourglass"}}},
        {"Organization",
         {{"Tray", "tray.fill"},
          {"Archive Box", "archivebox.fill"},
          {"Folder", "folder.fill"},
          {"List", "list.bullet.rectangle.fill"},
          {"Bookmark", "bookmark.fill"},
          {"Paperclip", "paperclip"}}},
        {"Documents",
         {{"Document", "document.fill"},
          {"Envelope", "envelope.fill"},
          {"Text", "text.page.fill"},
          {"Receipt", "receipt.fill"},
          {"Signature", "signature"},
          {"Type", "textformat"}}},
        {"Media",
         {{"Book Closed", "text.book.closed.fill"},
          {"Book Open", "book.fill"},
          {"Books", "books.vertical.fill"},
          {"Newspaper", "newspaper.fill"},
          {"Photo", "photo"},
          {"Play", "play.circle.fill"},
          {"Video", "video.fill"},
          {"Speaker", "speaker.wave.2.fill"},
          {"Audio", "waveform"}}},
        {"Transportation",
         {{"Car", "car.fill"},
          {"Truck", "truck.box.fill"},
          {"Bus", "bus.fill"},
          {"Train", "tram.fill"},
          {"Bicycle", "bicycle"},
          {"Motorcycle", "motorcycle.fill"},
          {"Scooter", "moped.fill"},
          {"Airplane", "airplane"},
          {"Boat", "ferry.fill"},
          {"Sailboat", "sailboat.fill"}}},
        {"Nature",
         {{"Sun", "sun.max.fill"},
          {"Moon", "moon.fill"},
          {"Cloud", "cloud.fill"},
          {"Snow", "snowflake"},
          {"Lightning", "bolt.fill"},
          {"Water", "water.waves"},
          {"Mountain", "mountain.2.fill"},
          {"Flower", "camera.macro"},
          {"Leaf", "leaf.fill"},
          {"Tree", "tree.fill"}}},
        {"Animals",
         {{"Dog", "dog.fill"},
          {"Cat", "cat.fill"},
          {"Paw Print", "pawprint.fill"},
          {"Bird", "bird.fill"},
          {"Fish", "fish.fill"},
          {"Reptile", "lizard.fill"},
          {"Insect", "ladybug.fill"}}},
        {"Finance", {{"Dollar", "dollarsign"}, {"Euro", "eurosign"}, {"Yen", "yensign"}}},
        {"Sports",
         {{"Soccer", "soccerball"},
          {"Baseball", "baseball.fill"},
          {"Basketball", "basketball.fill"},
          {"Football", "american.football.fill"},
          {"Tennis", "tennis.racket"},
          {"Hockey", "hockey.puck.fill"},
          {"Volleyball", "volleyball.fill"},
          {"Trophy", "trophy.fill"}}},
    };
    return catalog;
}

namespace {

// Whether image data decodes. Asked on every paint of a tag, so each image is tried once, and
// only at a small size, however large it is.
bool decodes(const QByteArray& data) {
    static QMutex mutex;
    static QHash<QByteArray, bool> known;
    QMutexLocker lock(&mutex);
    if (const auto it = known.constFind(data); it != known.cend()) {
        return *it;
    }
    if (known.size() > 512) {
        known.clear();
    }
    const bool ok = !decodeImage(data, 32).isNull();
    known.insert(data, ok);
    return ok;
}

}  // namespace

QImage decodeImage(const QByteArray& data, int largestSide) {
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > largestSide || size.height() > largestSide)) {
        reader.setScaledSize(size.scaled(largestSide, largestSide, Qt::KeepAspectRatio));
    }
    return reader.read();
}

IconVariant iconVariant(const TagNode& node) {
    if (node.customIconData && decodes(*node.customIconData)) {
        return IconVariant::CustomImage;
    }
    return node.iconName ? IconVariant::Symbol : IconVariant::Default;
}

}  // namespace IconCatalog
