// kdetags read FILE           prints the file's tags as KDE reads them, as a JSON array
// kdetags write FILE JSON     sets the file's tags through KDE, from a JSON array of names
#include <KFileMetaData/UserMetaData>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: kdetags read FILE | kdetags write FILE JSON\n");
        return 2;
    }
    KFileMetaData::UserMetaData data(args[2]);
    if (args[1] == QLatin1String("read")) {
        const QByteArray json =
            QJsonDocument(QJsonArray::fromStringList(data.tags())).toJson(QJsonDocument::Compact);
        std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
        return 0;
    }
    if (args[1] == QLatin1String("write") && args.size() == 4) {
        QStringList tags;
        for (const QJsonValue& value : QJsonDocument::fromJson(args[3].toUtf8()).array()) {
            tags.append(value.toString());
        }
        return data.setTags(tags) == KFileMetaData::UserMetaData::NoError ? 0 : 1;
    }
    return 2;
}
