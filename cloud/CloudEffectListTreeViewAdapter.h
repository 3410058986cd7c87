#pragma once

#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTreeWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "ICloudEffectHost.h"
#include "TreeData.h"

class CCloudEffectDetailDownloader;
class CKxTreeItemWidget;
class CWorkSpace;
class EventCommonThreadFinishEvent;
class INotifyCenter;

// Binds the cloud effects to the tree view "trctl_cloud_effectt": one top-level item per
// category, its effects below. An effect is downloaded on first use into userDir/CloudEff and
// then used or stored into a card slot like a library effect. Downloads run on workers whose
// end arrives as "on_thread_finish" on the UI thread.
class CCloudEffectListTreeViewAdapter {
  public:
    static constexpr int kSourceCloud = 0;       // Fill: the list fetched from the service
    static constexpr int kSourceDownloaded = 1;  // Fill: the downloaded effects
    // Menu commands.
    static constexpr int kCmdRefresh = 98;
    static constexpr int kCmdDownload = 99;
    static constexpr int kCmdSaveToCard = 102;  // the submenu of the three slots
    static constexpr int kCmdSlot1 = 200;       // 200..202: custom slots 1..3

    // window: the main window (tips, menus); center: where the download workers report.
    CCloudEffectListTreeViewAdapter(ICloudEffectHost& host, QTreeWidget* tree, QWidget* window,
                                    CWorkSpace& workspace, INotifyCenter& center,
                                    std::string userDir);
    ~CCloudEffectListTreeViewAdapter();
    CCloudEffectListTreeViewAdapter(const CCloudEffectListTreeViewAdapter&) = delete;
    CCloudEffectListTreeViewAdapter& operator=(const CCloudEffectListTreeViewAdapter&) = delete;

    // Adds the workspace's cloud list (kSourceCloud) or downloaded list (kSourceDownloaded)
    // to the tree and rebuilds the view, the current effect marked. Categories are matched by
    // exact name; what the tree already holds stays (Clear empties it).
    void Fill(int source);
    // Highlights the first effect whose local file is path (case ignored).
    void MarkCurrent(const QString& path);
    // Redraws every item (download states are read from the disk again).
    void Redraw();
    // Removes every item and category.
    void Clear();

    const CTreeData& Root() const { return m_root; }
    QTreeWidgetItem* ItemOf(const CTreeData* node) const;
    CKxTreeItemWidget* ItemWidget(const CTreeData* node) const;
    bool IsDownloaded(const CTreeData* leaf) const;
    std::string LocalPath(const CTreeData* leaf) const;
    CTreeData* PendingLeaf() const { return m_pendingLeaf; }
    int PendingSlot() const { return m_pendingSlot; }
    size_t RunningDownloads() const { return m_downloads.size(); }

    // Mouse actions (positions in screen coordinates); node null: no item under the mouse.
    void OnToggle(CTreeData* node);
    void OnDoubleClick(CTreeData* node, const QPoint& globalPos);
    void OnContextMenu(CTreeData* node, const QPoint& globalPos);
    std::unique_ptr<QMenu> BuildMenu(const CTreeData* node) const;
    void RunCommand(CTreeData* node, int command);

    // Shows a menu and returns the chosen command (0: none). Tests answer instead.
    using MenuRunner = std::function<int(QMenu& menu, const QPoint& globalPos)>;
    void SetMenuRunner(MenuRunner runner) { m_menuRunner = std::move(runner); }

  private:
    QTreeWidgetItem* AddItem(CTreeData* node, QTreeWidgetItem* parent);
    void Refresh(const CTreeData* node);
    void TakeAnchor(const CTreeData* node, const QPoint& globalPos);
    void Tip(const QString& text);
    void StartDownload(CTreeData* leaf);
    void UseLeaf(const QString& name, const std::string& path);
    void StoreLeaf(int slot, const QString& name, const std::string& path);
    void OnDownloadFinished(EventCommonThreadFinishEvent& event);

    ICloudEffectHost& m_host;
    QPointer<QTreeWidget> m_tree;
    QPointer<QWidget> m_window;
    CWorkSpace& m_workspace;
    INotifyCenter& m_center;
    std::string m_userDir;
    int m_subscription = 0;
    CTreeData m_root;
    QPoint m_anchor;                     // client coordinates of the main window
    CTreeData* m_pendingLeaf = nullptr;  // the last leaf acted on
    int m_pendingSlot = -1;              // 1..3: store the pending leaf once downloaded
    // Running downloads and their leaves (null once the tree was cleared under them).
    struct Download {
        std::unique_ptr<CCloudEffectDetailDownloader> worker;
        CTreeData* leaf;
    };
    std::map<const void*, Download> m_downloads;
    MenuRunner m_menuRunner;
};
