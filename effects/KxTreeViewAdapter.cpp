#include "KxTreeViewAdapter.h"

#include <QCursor>
#include <QDir>
#include <QFileInfo>

#include "DisplayNames.h"
#include "KxTreeItemWidget.h"
#include "LibraryPickers.h"
#include "LibraryText.h"
#include "ListNameDialog.h"
#include "MessageBox.h"
#include "TipWindow.h"

namespace {
constexpr int kTipMs = 2000;

QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

int ExecMenu(QMenu& menu, const QPoint& globalPos) {
    const QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

QAction* AddCommand(QMenu* menu, const QString& text, int command) {
    QAction* action = menu->addAction(text);
    action->setData(command);
    return action;
}
}  // namespace

CKxTreeViewAdapter::CKxTreeViewAdapter(ILibraryHost& host, QTreeWidget* tree, QWidget* window,
                                       LibraryPaths paths)
    : m_host(host),
      m_tree(tree),
      m_window(window ? window : tree->window()),
      m_library(std::move(paths)),
      m_menuRunner(ExecMenu) {
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setIndentation(8);
    m_tree->setRootIsDecorated(false);  // the items' own toggles expand and collapse
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setSelectionMode(QAbstractItemView::NoSelection);
    m_library.Load();
    Fill();
    MarkCurrent(m_host.CurrentEffectPath());
}

CKxTreeViewAdapter::~CKxTreeViewAdapter() {
    if (m_tree) m_tree->clear();  // the item widgets call back into this adapter
}

void CKxTreeViewAdapter::Fill() {
    m_tree->clear();
    for (CTreeData* list : m_library.Root().Children()) {
        QTreeWidgetItem* item = AddItem(list, nullptr);
        for (CTreeData* leaf : list->Children()) AddItem(leaf, item);
        item->setExpanded(list->collapsed != 1);
        Refresh(list);
    }
}

QTreeWidgetItem* CKxTreeViewAdapter::AddItem(CTreeData* node, QTreeWidgetItem* parent, int index) {
    auto* item = new QTreeWidgetItem;
    if (!parent)
        m_tree->insertTopLevelItem(index < 0 ? m_tree->topLevelItemCount() : index, item);
    else
        parent->insertChild(index < 0 ? parent->childCount() : index, item);
    AttachItemView(
        m_tree, item, node, [this, node] { OnToggle(node); },
        [this, node](const QPoint& pos) { OnDoubleClick(node, pos); },
        [this, node](const QPoint& pos) { OnContextMenu(node, pos); });
    Refresh(node);
    return item;
}

QTreeWidgetItem* CKxTreeViewAdapter::ItemOf(const CTreeData* node) const {
    return TreeItemOf(node);
}

CKxTreeItemWidget* CKxTreeViewAdapter::ItemWidget(const CTreeData* node) const {
    return ItemViewOf(m_tree, node);
}

void CKxTreeViewAdapter::Refresh(const CTreeData* node) {
    CKxTreeItemWidget* view = ItemWidget(node);
    if (!view) return;
    const QString name = DisplayName(Q(node->GetName()));
    const QString text =
        node->IsLeaf() ? name : QStringLiteral("%1 [%2]").arg(name).arg(node->Children().size());
    view->Show(text, !node->Children().empty(), ItemOf(node)->isExpanded(), node->marked == 1);
}

void CKxTreeViewAdapter::SetExpanded(CTreeData* list, bool expanded) {
    if (QTreeWidgetItem* item = ItemOf(list)) item->setExpanded(expanded);
    list->collapsed = expanded ? 0 : 1;
    Refresh(list);
}

CTreeData* CKxTreeViewAdapter::MarkCurrent(const QString& path) {
    CTreeData* previous = nullptr;
    CTreeData* marked = m_library.MarkCurrent(path.toStdU16String(), &previous);
    Refresh(previous);
    Refresh(marked);
    return marked;
}

void CKxTreeViewAdapter::SaveLibrary() {
    m_library.Save();  // a failed write is not reported; the next change tries again
}

QPoint CKxTreeViewAdapter::Anchor(const CTreeData* node, const QPoint& globalPos) const {
    QPoint anchor = m_window->mapFromGlobal(globalPos);
    const CKxTreeItemWidget* view = ItemWidget(node);
    anchor.setX((view ? view->width() : CKxTreeItemWidget::kWidth) / 2);
    return anchor;
}

void CKxTreeViewAdapter::Tip(const QPoint& anchor, const QString& text) {
    CTipWindow::ShowAt(m_window->mapToGlobal(anchor), text, kTipMs);
}

int CKxTreeViewAdapter::Box(const QString& text, int buttons) {
    return msgbox::Show(m_window, text, QObject::tr("提示"), buttons);
}

void CKxTreeViewAdapter::OnToggle(CTreeData* node) {
    QTreeWidgetItem* item = ItemOf(node);
    if (!item) return;
    SetExpanded(node, !item->isExpanded());
    SaveLibrary();
}

void CKxTreeViewAdapter::OnDoubleClick(CTreeData* node, const QPoint& globalPos) {
    const QPoint anchor = Anchor(node, globalPos);
    if (node->marked) return;
    if (!node->IsLeaf()) return OnToggle(node);
    const QString name = Q(node->GetName());
    const QString path = Q(node->GetPath());
    if (!library_text::FileExists(node->GetPath()))
        return Tip(anchor, QObject::tr("音效文件不存在"));
    m_host.SetTipAnchor(anchor.x(), anchor.y());
    if (m_host.ApplyEffectFile(name, path) == 0)
        Tip(anchor, QObject::tr("%1音效使用失败!").arg(DisplayName(name)));
}

std::unique_ptr<QMenu> CKxTreeViewAdapter::BuildMenu(const CTreeData* node) const {
    auto menu = std::make_unique<QMenu>(m_window);
    if (node->IsLeaf()) {
        QMenu* slotMenu = menu->addMenu(QObject::tr("保存到设备"));
        slotMenu->menuAction()->setData(kCmdSaveToCard);
        AddCommand(slotMenu, QObject::tr("自定义Ⅰ"), kCmdSlot1);
        AddCommand(slotMenu, QObject::tr("自定义Ⅱ"), kCmdSlot1 + 1);
        AddCommand(slotMenu, QObject::tr("自定义Ⅲ"), kCmdSlot1 + 2);
        QAction* remove = AddCommand(menu.get(), QObject::tr("移除音效"), kCmdRemoveEffect);
        remove->setProperty("hoverTextColor", QStringLiteral("#ffffff"));
        return menu;
    }
    AddCommand(menu.get(), QObject::tr("新建列表"), kCmdNewList);
    AddCommand(menu.get(), QObject::tr("删除列表"), kCmdRemoveList);
    AddCommand(menu.get(), QObject::tr("重命名"), kCmdRenameList);
    QMenu* import = menu->addMenu(QObject::tr("导入音效"));
    AddCommand(import, QObject::tr("从文件夹导入"), kCmdImportFolder);
    AddCommand(import, QObject::tr("导入音效文件"), kCmdImportFiles);
    return menu;
}

void CKxTreeViewAdapter::OnContextMenu(CTreeData* node, const QPoint& globalPos) {
    const QPoint anchor = Anchor(node, globalPos);
    std::unique_ptr<QMenu> menu = BuildMenu(node);
    const int command = m_menuRunner(*menu, globalPos);
    if (command) RunCommand(node, command, anchor);
}

void CKxTreeViewAdapter::RunCommand(CTreeData* node, int command, const QPoint& anchor) {
    switch (command) {
        case kCmdSlot1:
        case kCmdSlot1 + 1:
        case kCmdSlot1 + 2:
            if (node->IsLeaf()) StoreInSlot(node, command - (kCmdSlot1 - 1), anchor);
            break;
        case kCmdNewList:
            CreateList(node);
            break;
        case kCmdRemoveList:
            if (Box(QObject::tr("是否移除\"%1\"列表？").arg(DisplayName(Q(node->GetName()))),
                    msgbox::kOkCancel) == msgbox::kIdOk)
                RemoveList(node, anchor);
            break;
        case kCmdRenameList:
            RenameList(node, anchor);
            break;
        case kCmdImportFolder:
            ImportFolder(node);
            break;
        case kCmdImportFiles:
            ImportFiles(node);
            break;
        case kCmdRemoveEffect:
            if (Box(QObject::tr("是否移除该音效"), msgbox::kYesNo) == msgbox::kIdYes)
                RemoveEffect(node);
            break;
        default:
            break;
    }
}

void CKxTreeViewAdapter::StoreInSlot(CTreeData* leaf, int slot, const QPoint& anchor) {
    if (!library_text::FileExists(leaf->GetPath()))
        return Tip(anchor, QObject::tr("音效文件不存在"));
    const QString name = Q(leaf->GetName());
    m_host.SetTipAnchor(anchor.x(), anchor.y());
    if (m_host.StoreEffectFileInSlot(slot, name, Q(leaf->GetPath())) == 0)
        Tip(anchor, QObject::tr("保存%1音效失败!").arg(DisplayName(name)));
}

void CKxTreeViewAdapter::CreateList(CTreeData* after) {
    const auto name = CListNameDialog::Ask(m_window, QString(), kCreateListMaxLength);
    if (!name) return;
    CTreeData* list = nullptr;
    if (m_library.CreateList(name->toStdU16String(), after, &list) != ListResult::kOk) {
        Box(QObject::tr("创建列表失败，已经存在同名的列表！"), msgbox::kOk);
        return;
    }
    AddItem(list, nullptr, static_cast<int>(m_library.Root().IndexOf(list)));
    SaveLibrary();
}

void CKxTreeViewAdapter::RemoveList(CTreeData* list, const QPoint& anchor) {
    if (CEffectLibrary::IsDefaultList(*list)) return Tip(anchor, QObject::tr("不能删除默认列表"));
    delete ItemOf(list);  // takes the leaves' items along
    m_library.RemoveList(list);
    SaveLibrary();
}

void CKxTreeViewAdapter::RenameList(CTreeData* list, const QPoint& anchor) {
    if (CEffectLibrary::IsDefaultList(*list))
        return Tip(anchor, QObject::tr("不能重命名默认列表！"));
    const auto name = CListNameDialog::Ask(m_window, Q(list->GetName()), kRenameListMaxLength);
    if (!name) return;
    switch (m_library.RenameList(list, name->toStdU16String())) {
        case ListResult::kOk:
            Refresh(list);
            SaveLibrary();
            break;
        case ListResult::kExists:
            Box(QObject::tr("列表重命名失败，已经存在同名的列表！"), msgbox::kOk);
            break;
        default:
            break;
    }
}

void CKxTreeViewAdapter::ShowAdded(CTreeData* list, const ImportResult& result) {
    for (CTreeData* leaf : result.added) AddItem(leaf, ItemOf(list));
    SetExpanded(list, true);
    SaveLibrary();
}

void CKxTreeViewAdapter::ImportFolder(CTreeData* list) {
    const QString folder = library_pickers::PickFolder(m_window, QObject::tr("请选择文件夹"));
    if (folder.isEmpty()) return;
    const ImportResult result =
        m_library.ImportFolder(list, QDir::cleanPath(folder).toStdU16String());
    ShowAdded(list, result);
    if (result.duplicates.count > 0)
        Box(QObject::tr("以下%1项已经存在列表中，不能重复添加：%2")
                .arg(result.duplicates.count)
                .arg(Q(result.duplicates.text)),
            msgbox::kOk);
}

void CKxTreeViewAdapter::ImportFiles(CTreeData* list) {
    const QString pattern = Q(m_library.Root().filePattern);
    const QStringList files =
        library_pickers::PickFiles(m_window, QObject::tr("请选择一个或多个音效文件"),
                                   QStringLiteral("%1(%2)").arg(QObject::tr("音效文件"), pattern));
    if (files.isEmpty()) return;
    std::vector<std::u16string> paths;
    for (const QString& file : files) paths.push_back(QDir::cleanPath(file).toStdU16String());
    const ImportResult result = m_library.AddFiles(list, paths);
    ShowAdded(list, result);
    if (result.duplicates.count > 0)
        Box(QObject::tr("以下音效已经存在当前的列表中，不能重复添加：") + Q(result.duplicates.text),
            msgbox::kOk);
}

void CKxTreeViewAdapter::RemoveEffect(CTreeData* leaf) {
    CTreeData* list = leaf->Parent();
    delete ItemOf(leaf);
    m_library.RemoveEntry(leaf);
    Refresh(list);
    SaveLibrary();
}
