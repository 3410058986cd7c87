#pragma once

#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <functional>

class CTreeData;

// The view of one library item: the expand toggle "tgl_switch" (5401), shown for items
// with children as a folder that is open while the item is unfolded, and the name
// "txt_iterm_name" (5402). Reports its mouse actions.
class CKxTreeItemWidget : public QWidget {
  public:
    static constexpr int kToggleId = 5401;
    static constexpr int kNameId = 5402;
    static constexpr int kWidth = 345;
    static constexpr int kHeight = 24;

    CKxTreeItemWidget(CTreeData* node, QWidget* parent);

    CTreeData* Node() const { return m_node; }
    QToolButton* Toggle() const { return m_toggle; }
    QLabel* NameText() const { return m_name; }
    // text: the name (and count); marked: the current effect's colours.
    void Show(const QString& text, bool hasChildren, bool expanded, bool marked);

    std::function<void()> onToggle;
    std::function<void(const QPoint& globalPos)> onDoubleClick;
    std::function<void(const QPoint& globalPos)> onNameContextMenu;

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    CTreeData* m_node;
    QToolButton* m_toggle;
    QLabel* m_name;
    bool m_marked = false;  // whether the marked style sheet is set
};

class QTreeWidget;
class QTreeWidgetItem;

// Puts a new item view for node on item of tree (the node remembers its item), wired to the
// tree adapter's actions. Shared by the library tree and the cloud tree.
CKxTreeItemWidget* AttachItemView(QTreeWidget* tree, QTreeWidgetItem* item, CTreeData* node,
                                  std::function<void()> onToggle,
                                  std::function<void(const QPoint&)> onDoubleClick,
                                  std::function<void(const QPoint&)> onContextMenu);
QTreeWidgetItem* TreeItemOf(const CTreeData* node);
CKxTreeItemWidget* ItemViewOf(QTreeWidget* tree, const CTreeData* node);
