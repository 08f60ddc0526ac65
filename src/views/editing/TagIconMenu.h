#pragma once

#include <QByteArray>
#include <QMenu>
#include <QUuid>

#include <optional>

class AppViewModel;

// "Set Icon": the default icon, the symbol catalogue by category, a custom image and its
// removal, for one tag.
class TagIconMenu : public QMenu {
    Q_OBJECT

public:
    TagIconMenu(AppViewModel& model, const QUuid& tagID, QWidget* parent = nullptr);

    // Reads an image file (PNG, JPEG, GIF, WebP, SVG) stretched to 64 by 64 as PNG bytes;
    // absent when it cannot be read.
    static std::optional<QByteArray> iconFromImageFile(const QString& path);
    static void chooseCustomImage(AppViewModel& model, const QUuid& tagID, QWidget* parent);
    // Where the image dialog opens: the Pictures folder, else the home folder.
    static QString imageFolder();
};
