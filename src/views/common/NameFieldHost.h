#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QUuid>

#include <functional>
#include <optional>

class AppViewModel;
class QAbstractScrollArea;
class TagNameEditor;

// The in-place name field of one view. It floats over the view's viewport rather than living
// in its rows, so reloading the rows never destroys it: the field opens over the tag the view
// model is renaming while the view is on screen, follows its row, and closes without
// committing when the view is hidden or the tag leaves the view.
class NameFieldHost : public QObject {
    Q_OBJECT

public:
    // Where the field goes for a tag, in viewport coordinates; absent when the view does not
    // show the tag.
    using Placement = std::function<std::optional<QRect>(const QUuid&)>;

    NameFieldHost(AppViewModel& model, QAbstractScrollArea& view, Placement placement,
                  Qt::Alignment alignment);

    // Opens, moves or closes the field after the view's rows, scroll position, size or
    // visibility changed.
    void sync();
    TagNameEditor* field() const;
    std::optional<QUuid> editedTag() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void close();

    AppViewModel& m_model;
    QAbstractScrollArea& m_view;
    Placement m_placement;
    Qt::Alignment m_alignment;
    QPointer<TagNameEditor> m_field;
    std::optional<QUuid> m_tag;
};
