#pragma once

#include "model/TagNode.h"

#include <QMenu>

class AppViewModel;

// "Set Color": the palette colours and "Custom Color…" for one tag.
class TagColorMenu : public QMenu {
    Q_OBJECT

public:
    TagColorMenu(AppViewModel& model, const TagNode& tag, QWidget* parent = nullptr);

    // Opens the shared colour dialog for the tag; later reports go to this tag only.
    static void openColorPanel(AppViewModel& model, const TagNode& tag);
};
