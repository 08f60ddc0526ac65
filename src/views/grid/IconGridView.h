#pragma once

#include "model/TagNode.h"
#include "services/FileItem.h"
#include "views/common/ItemDrag.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QPointer>

#include <optional>

class AppViewModel;
class GridGeometry;
class QVariantAnimation;
class TagNameEditor;

// One level of the tree as a grid: the level's tags as tiles with their child counts, then its
// files. Tiles are painted, not built as widgets, so a level of 10,000 files costs no more
// than the tiles in view. Clicks, drags, drops and menus go to the view model.
class IconGridView : public QAbstractScrollArea {
    Q_OBJECT

public:
    static const QString kSearchingText;

    explicit IconGridView(AppViewModel& model, QWidget* parent = nullptr);

    // The tile under a point of the viewport: an index into tags then files, -1 for none.
    qsizetype tileAt(const QPoint& point) const;
    QRect tileRect(qsizetype index) const;
    bool isShowingEmptyState() const;
    qsizetype tagCount() const { return m_tags.size(); }
    qsizetype fileCount() const { return m_files.size(); }
    qreal dropEmphasis(const QUuid& id) const { return m_emphasis.value(id, 0); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void setupConnections();
    void refresh();
    void relayout();
    void syncEditor();
    void animateDropTarget();
    void paintEmptyState(QPainter& painter);
    GridGeometry geometry() const;
    const TagNode* tagAt(qsizetype tile) const;
    const FileItem* fileAt(qsizetype tile) const;

    AppViewModel& m_model;
    QList<TagNode> m_tags;
    QList<FileItem> m_files;
    QPointer<TagNameEditor> m_editor;
    std::optional<QUuid> m_editorTag;
    ItemDrag::Hover m_hover;
    std::optional<QUuid> m_shownDropTarget;
    QHash<QUuid, qreal> m_emphasis;
    QVariantAnimation* m_dropAnimation;
    ItemDrag::Press m_press;
};
