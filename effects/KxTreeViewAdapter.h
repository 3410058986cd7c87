#pragma once

#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "EffectLibrary.h"
#include "ILibraryHost.h"

class CKxTreeItemWidget;

// Binds the local effect library to the tree view "trctl_kx_eff_list": one item per list and
// per effect, the current effect highlighted, double-click to use an effect, context menus
// to store or remove effects and to create, remove, rename and fill lists. Every change is
// saved at once.
class CKxTreeViewAdapter {
  public:
    // Menu commands.
    static constexpr int kCmdSaveToCard = 102;  // the submenu of the three slots
    static constexpr int kCmdSlot1 = 200;       // 200..202: custom slots 1..3
    static constexpr int kCmdNewList = 210;
    static constexpr int kCmdRemoveList = 211;
    static constexpr int kCmdRenameList = 212;
    static constexpr int kCmdImportFolder = 213;
    static constexpr int kCmdImportFiles = 214;
    static constexpr int kCmdRemoveEffect = 215;

    // Loads the library and fills tree; window is the main window (tips, menus, dialogs).
    CKxTreeViewAdapter(ILibraryHost& host, QTreeWidget* tree, QWidget* window, LibraryPaths paths);
    ~CKxTreeViewAdapter();

    // Highlights the first effect with this file; the marked leaf or null.
    CTreeData* MarkCurrent(const QString& path);
    void SaveLibrary();

    CEffectLibrary& Library() { return m_library; }
    QTreeWidgetItem* ItemOf(const CTreeData* node) const;
    CKxTreeItemWidget* ItemWidget(const CTreeData* node) const;

    // Mouse actions on an item (positions in screen coordinates).
    void OnToggle(CTreeData* node);
    void OnDoubleClick(CTreeData* node, const QPoint& globalPos);
    void OnContextMenu(CTreeData* node, const QPoint& globalPos);
    // The menu of a leaf or of a list, each action's data its command.
    std::unique_ptr<QMenu> BuildMenu(const CTreeData* node) const;
    // anchor: client coordinates of the main window, where tips of the command appear.
    void RunCommand(CTreeData* node, int command, const QPoint& anchor);

    // Shows a menu and returns the chosen command (0: none). Tests answer instead.
    using MenuRunner = std::function<int(QMenu& menu, const QPoint& globalPos)>;
    void SetMenuRunner(MenuRunner runner) { m_menuRunner = std::move(runner); }

  private:
    void Fill();
    QTreeWidgetItem* AddItem(CTreeData* node, QTreeWidgetItem* parent, int index = -1);
    void Refresh(const CTreeData* node);
    void SetExpanded(CTreeData* list, bool expanded);
    QPoint Anchor(const CTreeData* node, const QPoint& globalPos) const;
    void Tip(const QPoint& anchor, const QString& text);
    int Box(const QString& text, int buttons);

    void StoreInSlot(CTreeData* leaf, int slot, const QPoint& anchor);
    void CreateList(CTreeData* after);
    void RemoveList(CTreeData* list, const QPoint& anchor);
    void RenameList(CTreeData* list, const QPoint& anchor);
    void ImportFolder(CTreeData* list);
    void ImportFiles(CTreeData* list);
    void RemoveEffect(CTreeData* leaf);
    void ShowAdded(CTreeData* list, const ImportResult& result);

    ILibraryHost& m_host;
    QPointer<QTreeWidget> m_tree;
    QPointer<QWidget> m_window;
    CEffectLibrary m_library;
    MenuRunner m_menuRunner;
};
