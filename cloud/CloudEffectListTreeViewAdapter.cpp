#include "CloudEffectListTreeViewAdapter.h"

#include "CloudEffectDetailDownloader.h"
#include "CloudEffectFiles.h"
#include "EffectPrj.h"
#include "KxTreeItemWidget.h"
#include "NotifyCenter.h"
#include "TipWindow.h"
#include "WorkSpace.h"

namespace {

constexpr int kTipMs = 2000;
constexpr const char* kGreyText = "#808080ff";  // red, green, blue, alpha
constexpr const char* kWhiteText = "#ffffffff";
constexpr size_t kRecordPathUnits = 259;

// Stored names carry "&&" for one visible "&"; a Qt label shows every character.
QString Shown(const std::u16string& stored) {
    return QString::fromStdU16String(stored).replace(QStringLiteral("&&"), QStringLiteral("&"));
}

int ExecMenu(QMenu& menu, const QPoint& globalPos) {
    const QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

QAction* AddCommand(QMenu* menu, const QString& text, int command, QAction* before = nullptr) {
    auto* action = new QAction(text, menu);
    action->setData(command);
    if (command >= CCloudEffectListTreeViewAdapter::kCmdRefresh && command <= 100)
        action->setProperty("hoverTextColor", QStringLiteral("#ffffff"));
    menu->insertAction(before, action);
    return action;
}

std::u16string CategoryOf(const CTreeData* leaf) {
    return leaf && leaf->Parent() ? leaf->Parent()->GetName() : std::u16string();
}

}  // namespace

CCloudEffectListTreeViewAdapter::CCloudEffectListTreeViewAdapter(ICloudEffectHost& host,
                                                                 QTreeWidget* tree, QWidget* window,
                                                                 CWorkSpace& workspace,
                                                                 INotifyCenter& center,
                                                                 std::string userDir)
    : m_host(host),
      m_tree(tree),
      m_window(window ? window : tree->window()),
      m_workspace(workspace),
      m_center(center),
      m_userDir(std::move(userDir)),
      m_menuRunner(ExecMenu) {
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setIndentation(8);
    m_tree->setRootIsDecorated(false);  // the categories' own toggles expand and collapse
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setSelectionMode(QAbstractItemView::NoSelection);
    // Right-clicks that no item text takes (empty space, toggles) open the tree's menu.
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(m_tree, &QWidget::customContextMenuRequested, m_tree, [this](QPoint pos) {
        QTreeWidgetItem* item = m_tree->itemAt(pos);
        auto* view = item ? dynamic_cast<CKxTreeItemWidget*>(m_tree->itemWidget(item, 0)) : nullptr;
        OnContextMenu(view ? view->Node() : nullptr, m_tree->viewport()->mapToGlobal(pos));
    });
    m_subscription =
        m_center.Subscribe(EventCommonThreadFinishEvent::kId, EventCommonThreadFinishEvent::kName,
                           [this](EventArgs& e) {
                               OnDownloadFinished(static_cast<EventCommonThreadFinishEvent&>(e));
                           });
}

CCloudEffectListTreeViewAdapter::~CCloudEffectListTreeViewAdapter() {
    m_center.Unsubscribe(m_subscription);
    if (m_tree) m_tree->clear();  // the item widgets call back into this adapter
    m_downloads.clear();          // each worker waits for its (short) download to end
}

void CCloudEffectListTreeViewAdapter::Fill(int source) {
    const auto& records =
        source == kSourceDownloaded ? m_workspace.DownloadedEffects() : m_workspace.CloudEffects();
    for (const lw52::CloudEffectRecord& record : records) {
        const std::u16string category = cloud_effect::CategoryName(record);
        CTreeData* node = nullptr;
        for (CTreeData* existing : m_root.Children())
            if (existing->GetName() == category) node = existing;  // names are unique here
        if (!node) {
            node = new CTreeData(category);
            m_root.AddChild(node);
        }
        EffectPrj entry(cloud_effect::SoundName(record), cloud_effect::Url(record));
        entry.kind = 2;
        entry.downloadState =
            source == kSourceDownloaded
                ? record.downloaded
                : cloud_effect::DownloadStateOf(m_userDir, category, entry.GetPath());
        node->AddEntryCopy(entry);
    }
    // One layout pass for the whole list instead of one per item.
    m_tree->setUpdatesEnabled(false);
    m_tree->clear();
    for (CTreeData* category : m_root.Children()) {
        QTreeWidgetItem* item = AddItem(category, nullptr);
        for (CTreeData* leaf : category->Children()) AddItem(leaf, item);
        item->setExpanded(true);
        category->collapsed = 0;
        Refresh(category);
    }
    m_tree->setUpdatesEnabled(true);
    MarkCurrent(m_host.CurrentEffectPath());
}

void CCloudEffectListTreeViewAdapter::Clear() {
    m_tree->clear();
    m_root.DeleteChildren();
    m_pendingLeaf = nullptr;
    for (auto& [worker, download] : m_downloads) download.leaf = nullptr;
}

QTreeWidgetItem* CCloudEffectListTreeViewAdapter::AddItem(CTreeData* node,
                                                          QTreeWidgetItem* parent) {
    auto* item = new QTreeWidgetItem;
    if (parent)
        parent->addChild(item);
    else
        m_tree->addTopLevelItem(item);
    AttachItemView(
        m_tree, item, node, [this, node] { OnToggle(node); },
        [this, node](const QPoint& pos) { OnDoubleClick(node, pos); },
        [this, node](const QPoint& pos) { OnContextMenu(node, pos); });
    Refresh(node);
    return item;
}

QTreeWidgetItem* CCloudEffectListTreeViewAdapter::ItemOf(const CTreeData* node) const {
    return TreeItemOf(node);
}

CKxTreeItemWidget* CCloudEffectListTreeViewAdapter::ItemWidget(const CTreeData* node) const {
    return ItemViewOf(m_tree, node);
}

std::string CCloudEffectListTreeViewAdapter::LocalPath(const CTreeData* leaf) const {
    return cloud_effect::LocalPath(m_userDir, CategoryOf(leaf), leaf->GetPath());
}

bool CCloudEffectListTreeViewAdapter::IsDownloaded(const CTreeData* leaf) const {
    const auto* entry = leaf ? dynamic_cast<const EffectPrj*>(leaf->Entry()) : nullptr;
    return entry && cloud_effect::IsDownloaded(m_userDir, CategoryOf(leaf), entry->GetPath(),
                                               entry->downloadState);
}

void CCloudEffectListTreeViewAdapter::Refresh(const CTreeData* node) {
    CKxTreeItemWidget* view = ItemWidget(node);
    if (!view) return;
    const bool leaf = node->IsLeaf();
    const QString text =
        leaf ? Shown(node->GetName())
             : QStringLiteral("%1 [%2]").arg(Shown(node->GetName())).arg(node->Children().size());
    view->Show(text, !leaf, ItemOf(node)->isExpanded(), node->marked == 1);
    view->Toggle()->setVisible(!leaf);  // categories show it even when empty
    const bool grey = leaf && node->marked != 1 && IsDownloaded(node);
    // Style sheets are costly per item: set one only when the colour changes.
    QLabel* name = view->NameText();
    const QVariant colour = grey ? kGreyText : kWhiteText;
    const QVariant before = name->property("colorText");
    if (before == colour) return;
    name->setProperty("colorText", colour);
    if (!before.isValid() && !grey) return;  // a new item: the theme's light text
    name->setStyleSheet(grey ? QStringLiteral("color: #808080;")
                             : QStringLiteral("color: #ffffff;"));
}

void CCloudEffectListTreeViewAdapter::Redraw() {
    for (const CTreeData* category : m_root.Children()) {
        Refresh(category);
        for (const CTreeData* leaf : category->Children()) Refresh(leaf);
    }
}

void CCloudEffectListTreeViewAdapter::MarkCurrent(const QString& path) {
    CTreeData* previous = nullptr;
    CTreeData* marked = nullptr;
    for (CTreeData* category : m_root.Children())
        for (CTreeData* leaf : category->Children()) {
            if (leaf->marked) previous = leaf;
            leaf->marked = 0;
            if (!marked && !path.isEmpty() &&
                QString::fromStdString(LocalPath(leaf)).compare(path, Qt::CaseInsensitive) == 0)
                marked = leaf;
        }
    if (marked) marked->marked = 1;
    Refresh(previous);
    Refresh(marked);
}

void CCloudEffectListTreeViewAdapter::TakeAnchor(const CTreeData* node, const QPoint& globalPos) {
    m_anchor = m_window->mapFromGlobal(globalPos);
    const CKxTreeItemWidget* view = ItemWidget(node);
    m_anchor.setX((view ? view->width() : CKxTreeItemWidget::kWidth) / 2);
}

void CCloudEffectListTreeViewAdapter::Tip(const QString& text) {
    CTipWindow::ShowAt(m_window->mapToGlobal(m_anchor), text, kTipMs);
}

void CCloudEffectListTreeViewAdapter::OnToggle(CTreeData* node) {
    QTreeWidgetItem* item = ItemOf(node);
    if (!item || node->IsLeaf()) return;
    item->setExpanded(!item->isExpanded());
    node->collapsed = item->isExpanded() ? 0 : 1;
    Refresh(node);
}

void CCloudEffectListTreeViewAdapter::OnDoubleClick(CTreeData* node, const QPoint& globalPos) {
    m_pendingLeaf = node;
    if (node->marked) return;
    if (!node->IsLeaf()) return OnToggle(node);
    TakeAnchor(node, globalPos);
    if (!IsDownloaded(node)) return StartDownload(node);  // used once it arrives
    UseLeaf(Shown(node->GetName()), LocalPath(node));
}

void CCloudEffectListTreeViewAdapter::UseLeaf(const QString& name, const std::string& path) {
    m_host.SetTipAnchor(m_anchor.x(), m_anchor.y());
    if (m_host.ApplyEffectFile(name, QString::fromStdString(path)) == 0)
        Tip(QObject::tr("%1音效使用失败!").arg(name));
}

void CCloudEffectListTreeViewAdapter::StoreLeaf(int slot, const QString& name,
                                                const std::string& path) {
    m_host.SetTipAnchor(m_anchor.x(), m_anchor.y());
    if (m_host.StoreEffectFileInSlot(slot, name, QString::fromStdString(path)) == 0)
        Tip(QObject::tr("保存%1音效失败!").arg(name));
}

std::unique_ptr<QMenu> CCloudEffectListTreeViewAdapter::BuildMenu(const CTreeData* node) const {
    auto menu = std::make_unique<QMenu>(m_window);
    if (node && node->IsLeaf()) {
        QMenu* slotMenu = menu->addMenu(QObject::tr("保存到设备"));
        slotMenu->menuAction()->setData(kCmdSaveToCard);
        AddCommand(slotMenu, QObject::tr("自定义Ⅰ"), kCmdSlot1);
        AddCommand(slotMenu, QObject::tr("自定义Ⅱ"), kCmdSlot1 + 1);
        AddCommand(slotMenu, QObject::tr("自定义Ⅲ"), kCmdSlot1 + 2);
        if (!IsDownloaded(node))
            AddCommand(menu.get(), QObject::tr("下载音效"), kCmdDownload, slotMenu->menuAction());
        AddCommand(menu.get(), QObject::tr("刷新音效"), kCmdRefresh, menu->actions().first());
        return menu;
    }
    AddCommand(menu.get(), QObject::tr("刷新音效"), kCmdRefresh);
    return menu;
}

void CCloudEffectListTreeViewAdapter::OnContextMenu(CTreeData* node, const QPoint& globalPos) {
    if (node && node->IsLeaf()) TakeAnchor(node, globalPos);
    std::unique_ptr<QMenu> menu = BuildMenu(node);
    const int command = m_menuRunner(*menu, globalPos);
    if (command) RunCommand(node, command);
}

void CCloudEffectListTreeViewAdapter::RunCommand(CTreeData* node, int command) {
    m_pendingLeaf = node;
    switch (command) {
        case kCmdRefresh:
            Clear();
            m_host.RefetchCloudList();
            break;
        case kCmdDownload:
            if (node && node->IsLeaf()) StartDownload(node);
            break;
        case kCmdSlot1:
        case kCmdSlot1 + 1:
        case kCmdSlot1 + 2:
            if (!node || !node->IsLeaf()) break;
            m_pendingSlot = command - (kCmdSlot1 - 1);
            if (IsDownloaded(node))
                StoreLeaf(m_pendingSlot, Shown(node->GetName()), LocalPath(node));
            else
                StartDownload(node);  // stored once it arrives
            break;
        default:
            break;
    }
}

void CCloudEffectListTreeViewAdapter::StartDownload(CTreeData* leaf) {
    auto worker = std::make_unique<CCloudEffectDetailDownloader>(m_center, leaf, m_userDir, this);
    CCloudEffectDetailDownloader* key = worker.get();
    m_downloads[key] = Download{std::move(worker), leaf};
    key->Start();
}

void CCloudEffectListTreeViewAdapter::OnDownloadFinished(EventCommonThreadFinishEvent& event) {
    if (event.tag != CCloudEffectDetailDownloader::kTag) return;
    const auto it = m_downloads.find(event.worker);
    if (it == m_downloads.end()) return;  // another adapter's worker
    std::unique_ptr<CCloudEffectDetailDownloader> worker = std::move(it->second.worker);
    CTreeData* leaf = it->second.leaf;  // null when the tree was cleared meanwhile
    m_downloads.erase(it);

    const QString name = Shown(worker->Name());
    const bool pending = leaf && leaf == m_pendingLeaf;
    if (event.success) {
        const std::u16string local = QString::fromStdString(worker->LocalPath()).toStdU16String();
        // A path the record cannot hold would come back cut and unusable.
        if (local.size() <= kRecordPathUnits)
            m_workspace.AddDownloadedEffect(
                cloud_effect::MakeRecord(worker->Name(), worker->Category(), local, 1));
        if (leaf)
            if (auto* entry = dynamic_cast<EffectPrj*>(leaf->Entry())) entry->downloadState = 1;
        if (pending) {
            if (m_pendingSlot >= 1 && m_pendingSlot <= 3)
                StoreLeaf(m_pendingSlot, name, worker->LocalPath());
            else
                UseLeaf(name, worker->LocalPath());
        }
        m_pendingSlot = -1;
    } else if (pending) {
        Tip(QObject::tr("%1音效下载失败").arg(name));
    }
    Redraw();
    worker->Stop(100);
}
