#include "KxTreeItemWidget.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QMouseEvent>
#include <QTreeWidget>

#include "Controls.h"
#include "TreeData.h"

namespace {
constexpr const char* kMarkedColor = "#21b8bc";
constexpr const char* kClearColor = "#ffffff00";
constexpr const char* kHoverColor = "#37383e";
constexpr int kFolderSize = 16;

// The folder of a list or category: closed while it is folded, open while it is unfolded (the
// toggle's checked state). One icon shared by every item, so each picture is drawn once however
// long the lists; it lives as long as the program.
const QIcon& FolderIcon() {
    static const QIcon* icon = [] {
        auto* folder = new QIcon;
        folder->addFile(QStringLiteral(":/images/folder-closed.svg"), QSize(), QIcon::Normal,
                        QIcon::Off);
        folder->addFile(QStringLiteral(":/images/folder-open.svg"), QSize(), QIcon::Normal,
                        QIcon::On);
        return folder;
    }();
    return *icon;
}
}  // namespace

CKxTreeItemWidget::CKxTreeItemWidget(CTreeData* node, QWidget* parent)
    : QWidget(parent), m_node(node), m_toggle(new QToolButton(this)), m_name(new QLabel(this)) {
    setAttribute(Qt::WA_StyledBackground);
    setObjectName("item_panel");
    m_toggle->setObjectName("tgl_switch");
    m_toggle->setProperty(kControlIdProperty, kToggleId);
    m_toggle->setCheckable(true);
    m_toggle->setAutoRaise(true);
    m_toggle->setFixedSize(kHeight - 4, kHeight - 4);
    m_toggle->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toggle->setIcon(FolderIcon());
    m_toggle->setIconSize(QSize(kFolderSize, kFolderSize));
    m_name->setObjectName("txt_iterm_name");
    m_name->setProperty(kControlIdProperty, kNameId);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(2);
    layout->addWidget(m_toggle);
    layout->addWidget(m_name, 1);
    connect(m_toggle, &QToolButton::clicked, this, [this] {
        if (onToggle) onToggle();
    });
}

void CKxTreeItemWidget::Show(const QString& text, bool hasChildren, bool expanded, bool marked) {
    m_name->setText(text);
    m_name->setToolTip(text);
    m_toggle->setVisible(hasChildren);
    m_toggle->setChecked(expanded);
    const char* normal = marked ? kMarkedColor : kClearColor;
    const char* hover = marked ? kMarkedColor : kHoverColor;
    setProperty("colorNormal", normal);
    setProperty("colorSelected", normal);
    setProperty("colorHover", hover);
    // A style sheet of its own only for the marked item: setting one per item is what makes
    // a long list slow. Unmarked items take the theme's rule (transparent, hover "#37383e").
    if (marked == m_marked) return;
    m_marked = marked;
    setStyleSheet(marked ? QStringLiteral("#item_panel, #item_panel:hover { background: %1; }")
                               .arg(QString::fromLatin1(kMarkedColor))
                         : QString());
}

void CKxTreeItemWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !onDoubleClick)
        return QWidget::mouseDoubleClickEvent(event);
    onDoubleClick(event->globalPosition().toPoint());
}

void CKxTreeItemWidget::contextMenuEvent(QContextMenuEvent* event) {
    // Only the name opens the menu; the toggle and the margins do not.
    if (!m_name->geometry().contains(event->pos()) || !onNameContextMenu) return event->ignore();
    onNameContextMenu(event->globalPos());
}

CKxTreeItemWidget* AttachItemView(QTreeWidget* tree, QTreeWidgetItem* item, CTreeData* node,
                                  std::function<void()> onToggle,
                                  std::function<void(const QPoint&)> onDoubleClick,
                                  std::function<void(const QPoint&)> onContextMenu) {
    item->setSizeHint(0, QSize(CKxTreeItemWidget::kWidth, CKxTreeItemWidget::kHeight));
    node->viewItem = item;
    auto* view = new CKxTreeItemWidget(node, nullptr);
    view->onToggle = std::move(onToggle);
    view->onDoubleClick = std::move(onDoubleClick);
    view->onNameContextMenu = std::move(onContextMenu);
    tree->setItemWidget(item, 0, view);
    return view;
}

QTreeWidgetItem* TreeItemOf(const CTreeData* node) {
    return node ? static_cast<QTreeWidgetItem*>(node->viewItem) : nullptr;
}

CKxTreeItemWidget* ItemViewOf(QTreeWidget* tree, const CTreeData* node) {
    QTreeWidgetItem* item = TreeItemOf(node);
    return item && tree ? dynamic_cast<CKxTreeItemWidget*>(tree->itemWidget(item, 0)) : nullptr;
}
