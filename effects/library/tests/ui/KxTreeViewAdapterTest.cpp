#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ItemLook.h"
#include "KxTreeItemWidget.h"
#include "KxTreeViewAdapter.h"
#include "LibraryPickers.h"
#include "ListNameDialog.h"
#include "MessageBox.h"
#include "TipWindow.h"

namespace fs = std::filesystem;

namespace {

struct FakeHost : ILibraryHost {
    int ApplyEffectFile(const QString& name, const QString& path) override {
        calls << QStringLiteral("apply %1 %2").arg(name, path);
        return result;
    }
    int StoreEffectFileInSlot(int slot, const QString& name, const QString& path) override {
        calls << QStringLiteral("store %1 %2 %3").arg(slot).arg(name, path);
        return result;
    }
    void SetTipAnchor(int x, int y) override { anchor = QPoint(x, y); }
    QString CurrentEffectPath() const override { return current; }

    QStringList calls;
    QPoint anchor{-1, -1};
    QString current;
    int result = 1;
};

class AdapterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static int n = 0;
        dir = fs::temp_directory_path() /
              ("lw52-libui-" + std::to_string(getpid()) + "-" + std::to_string(n++));
        fs::create_directories(dir / "fx");
        for (const char* f : {"a.dteff", "b.dteff", "c.dteff"})
            std::ofstream(dir / "fx" / f) << "x";
        file = (dir / "EffectList.xml").string();
        std::ofstream(file) << "<AudioRack><Effect><Items Name=\"默认列表\" Collapse=\"0\">"
                               "<Item Name=\"A\" Path=\""
                            << Fx("a.dteff").toStdString() << "\"/><Item Name=\"B\" Path=\""
                            << Fx("b.dteff").toStdString()
                            << "\"/><Item Name=\"Gone\" Path=\"/gone/g.dteff\"/></Items>"
                               "<Items Name=\"Live\" Collapse=\"1\"/></Effect></AudioRack>";
        host.current = Fx("B.DTEFF");  // marking ignores case
        window.resize(400, 300);
        tree = new QTreeWidget(&window);
        tree->setGeometry(4, 4, 380, 280);
        msgbox::SetResponder([this](const msgbox::Shown& box) {
            boxes << box.text;
            return boxAnswer;
        });
        adapter = std::make_unique<CKxTreeViewAdapter>(
            host, tree, &window, LibraryPaths{file, "", (dir / "exe").string(), dir.string()});
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        defaults = adapter->Library().Root().Children()[0];
        live = adapter->Library().Root().Children()[1];
    }
    void TearDown() override {
        adapter.reset();
        msgbox::SetResponder(nullptr);
        CListNameDialog::SetResponder(nullptr);
        library_pickers::SetFolderResponder(nullptr);
        library_pickers::SetFilesResponder(nullptr);
        CTipWindow::Hide();
        fs::remove_all(dir);
    }

    QString Fx(const char* name) const {
        return QString::fromStdString((dir / "fx" / name).string());
    }
    QString Text(const CTreeData* node) const {
        return adapter->ItemWidget(node)->NameText()->text();
    }
    std::string Saved() const {
        std::ifstream in(file);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    QPoint At(const CTreeData* node) const {
        const QWidget* view = adapter->ItemWidget(node);
        return view->mapToGlobal(QPoint(10, 5));
    }

    fs::path dir;
    std::string file;
    FakeHost host;
    QWidget window;
    QTreeWidget* tree = nullptr;
    std::unique_ptr<CKxTreeViewAdapter> adapter;
    CTreeData* defaults = nullptr;
    CTreeData* live = nullptr;
    QStringList boxes;
    int boxAnswer = msgbox::kIdOk;
};

TEST_F(AdapterTest, TreeShowsListsAndEffectsWithTheCurrentOneMarked) {
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(Text(defaults), QStringLiteral("默认列表 [3]"));
    EXPECT_EQ(Text(live), QStringLiteral("Live [0]"));  // an empty list shows 0
    EXPECT_EQ(adapter->ItemWidget(defaults)->NameText()->toolTip(), Text(defaults));
    EXPECT_TRUE(adapter->ItemOf(defaults)->isExpanded());
    EXPECT_FALSE(adapter->ItemOf(live)->isExpanded());
    EXPECT_TRUE(adapter->ItemWidget(defaults)->Toggle()->isVisible());
    EXPECT_FALSE(adapter->ItemWidget(live)->Toggle()->isVisible());

    ASSERT_EQ(adapter->ItemOf(defaults)->childCount(), 3);
    const CTreeData* a = defaults->Children()[0];
    const CTreeData* b = defaults->Children()[1];
    EXPECT_EQ(Text(a), QStringLiteral("A"));
    EXPECT_EQ(Text(defaults->Children()[2]), QStringLiteral("Gone"));  // relocated, still listed
    EXPECT_EQ(adapter->ItemWidget(b)->property("colorNormal").toString(), "#21b8bc");
    EXPECT_EQ(adapter->ItemWidget(b)->property("colorHover").toString(), "#21b8bc");
    EXPECT_EQ(adapter->ItemWidget(a)->property("colorNormal").toString(), "#ffffff00");
    EXPECT_EQ(adapter->ItemWidget(a)->property("colorHover").toString(), "#37383e");

    EXPECT_EQ(adapter->MarkCurrent(Fx("a.dteff")), a);
    EXPECT_EQ(adapter->ItemWidget(a)->property("colorNormal").toString(), "#21b8bc");
    EXPECT_EQ(adapter->ItemWidget(b)->property("colorNormal").toString(), "#ffffff00");
}

// Under the program's theme a list shows a folder, open while the list is unfolded and closed
// while it is folded, whichever way it was folded; never a plain white square.
TEST_F(AdapterTest, ListsShowAFolderThatFollowsTheirFolding) {
    ASSERT_TRUE(ApplyProgramTheme(window));
    const auto look = [&] { return LookOf(tree, adapter->ItemWidget(defaults)->Toggle()); };

    const ItemLook open = look();
    QTest::mouseClick(adapter->ItemWidget(defaults)->Toggle(), Qt::LeftButton);
    ASSERT_FALSE(adapter->ItemOf(defaults)->isExpanded());
    const ItemLook closed = look();
    EXPECT_TRUE(open.ShowsAPicture()) << open.inked << " inked, " << open.white << " white";
    EXPECT_TRUE(closed.ShowsAPicture()) << closed.inked << " inked, " << closed.white << " white";
    EXPECT_NE(open.image, closed.image);

    // Unfolded and folded again by double-clicks, the picture follows as well.
    adapter->OnDoubleClick(defaults, At(defaults));
    ASSERT_TRUE(adapter->ItemOf(defaults)->isExpanded());
    EXPECT_EQ(look().image, open.image);
    adapter->OnDoubleClick(defaults, At(defaults));
    EXPECT_EQ(look().image, closed.image);
}

TEST_F(AdapterTest, DoubleClickUsesTheEffectThroughTheHost) {
    CTreeData* a = defaults->Children()[0];
    QTest::mouseDClick(adapter->ItemWidget(a)->NameText(), Qt::LeftButton, {}, QPoint(10, 5));
    ASSERT_EQ(host.calls, QStringList{QStringLiteral("apply A %1").arg(Fx("a.dteff"))});
    EXPECT_EQ(host.anchor.x(), adapter->ItemWidget(a)->width() / 2);
    EXPECT_EQ(host.anchor.y(), window.mapFromGlobal(At(a)).y());
    EXPECT_EQ(CTipWindow::CurrentText(), QString());

    host.calls.clear();
    host.result = 0;
    adapter->OnDoubleClick(a, At(a));
    EXPECT_EQ(CTipWindow::CurrentText(), QStringLiteral("A音效使用失败!"));

    host.calls.clear();
    adapter->OnDoubleClick(defaults->Children()[1], At(a));  // the current effect
    adapter->OnDoubleClick(defaults->Children()[2], At(a));  // its file is gone
    EXPECT_TRUE(host.calls.isEmpty());
    EXPECT_EQ(CTipWindow::CurrentText(), QStringLiteral("音效文件不存在"));

    adapter->OnDoubleClick(defaults, At(defaults));  // a list folds and is saved so
    EXPECT_FALSE(adapter->ItemOf(defaults)->isExpanded());
    EXPECT_NE(Saved().find("<Items Name=\"默认列表\" Collapse=\"1\">"), std::string::npos);
}

TEST_F(AdapterTest, ContextMenusOfferTheCommandsOfLeavesAndLists) {
    const auto commands = [](QMenu& menu) {
        QStringList out;
        for (QAction* action : menu.actions()) {
            QString line = action->text() + "=" + action->data().toString();
            if (QMenu* sub = action->menu())
                for (QAction* item : sub->actions())
                    line += " " + item->text() + "=" + item->data().toString();
            out << line;
        }
        return out;
    };
    QStringList seen;
    adapter->SetMenuRunner([&](QMenu& menu, const QPoint&) {
        seen = commands(menu);
        return CKxTreeViewAdapter::kCmdSlot1 + 1;
    });
    CTreeData* a = defaults->Children()[0];
    adapter->OnContextMenu(a, At(a));
    EXPECT_EQ(seen,
              (QStringList{"保存到设备=102 自定义Ⅰ=200 自定义Ⅱ=201 自定义Ⅲ=202", "移除音效=215"}));
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("store 2 A %1").arg(Fx("a.dteff"))});

    adapter->SetMenuRunner([&](QMenu& menu, const QPoint&) {
        seen = commands(menu);
        return 0;
    });
    adapter->OnContextMenu(live, At(live));
    EXPECT_EQ(seen, (QStringList{"新建列表=210", "删除列表=211", "重命名=212",
                                 "导入音效= 从文件夹导入=213 导入音效文件=214"}));

    // A right-click on the toggle is not on the item's text: no menu.
    seen.clear();
    QWidget* toggle = adapter->ItemWidget(defaults)->Toggle();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                            toggle->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(toggle, &event);
    EXPECT_TRUE(seen.isEmpty());
}

TEST_F(AdapterTest, ListCommandsKeepNamesUniqueAndTheDefaultListProtected) {
    const QPoint anchor(100, 40);
    std::optional<QString> typed;
    CListNameDialog::SetResponder([&](const QString&, int) { return typed; });

    typed = QStringLiteral("LIVE");
    adapter->RunCommand(defaults, CKxTreeViewAdapter::kCmdNewList, anchor);
    EXPECT_EQ(boxes.value(0), QStringLiteral("创建列表失败，已经存在同名的列表！"));
    typed = QStringLiteral("Club");
    adapter->RunCommand(defaults, CKxTreeViewAdapter::kCmdNewList, anchor);
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    CTreeData* club = adapter->Library().Root().Children()[1];
    EXPECT_EQ(tree->topLevelItem(1), adapter->ItemOf(club));
    EXPECT_EQ(Text(club), QStringLiteral("Club [0]"));

    adapter->RunCommand(defaults, CKxTreeViewAdapter::kCmdRenameList, anchor);
    EXPECT_EQ(CTipWindow::CurrentText(), QStringLiteral("不能重命名默认列表！"));
    typed = QStringLiteral("live");  // only the letter case differs: a conflict
    adapter->RunCommand(live, CKxTreeViewAdapter::kCmdRenameList, anchor);
    EXPECT_EQ(boxes.value(1), QStringLiteral("列表重命名失败，已经存在同名的列表！"));
    typed = QStringLiteral("舞台");
    adapter->RunCommand(live, CKxTreeViewAdapter::kCmdRenameList, anchor);
    EXPECT_EQ(Text(live), QStringLiteral("舞台 [0]"));

    adapter->RunCommand(defaults, CKxTreeViewAdapter::kCmdRemoveList, anchor);
    EXPECT_EQ(boxes.value(2), QStringLiteral("是否移除\"默认列表\"列表？"));
    EXPECT_EQ(CTipWindow::CurrentText(), QStringLiteral("不能删除默认列表"));
    boxAnswer = msgbox::kIdCancel;
    adapter->RunCommand(live, CKxTreeViewAdapter::kCmdRemoveList, anchor);
    EXPECT_EQ(tree->topLevelItemCount(), 3);
    boxAnswer = msgbox::kIdOk;
    adapter->RunCommand(live, CKxTreeViewAdapter::kCmdRemoveList, anchor);
    EXPECT_EQ(tree->topLevelItemCount(), 2);

    const std::string saved = Saved();
    EXPECT_NE(saved.find("Name=\"Club\""), std::string::npos) << saved;
    EXPECT_EQ(saved.find("舞台"), std::string::npos) << saved;
}

TEST_F(AdapterTest, ImportsAddNewEffectsAndReportTheOnesAlreadyListed) {
    QString filter;
    library_pickers::SetFilesResponder([&](const QString&, const QString& f) {
        filter = f;
        return QStringList{Fx("A.dteff"), Fx("c.dteff")};
    });
    adapter->RunCommand(live, CKxTreeViewAdapter::kCmdImportFiles, QPoint());
    EXPECT_EQ(filter, QStringLiteral("音效文件(*.dteff)"));
    EXPECT_EQ(Text(live), QStringLiteral("Live [1]"));
    EXPECT_TRUE(adapter->ItemOf(live)->isExpanded());
    EXPECT_EQ(boxes.value(0), QStringLiteral("以下音效已经存在当前的列表中，不能重复添加：\nA"));

    library_pickers::SetFolderResponder([&](const QString&) { return Fx(""); });
    adapter->RunCommand(live, CKxTreeViewAdapter::kCmdImportFolder, QPoint());
    EXPECT_EQ(Text(live), QStringLiteral("Live [1]"));
    EXPECT_EQ(boxes.value(1), QStringLiteral("以下3项已经存在列表中，不能重复添加：\na\nb\nc"));

    boxAnswer = msgbox::kIdYes;
    adapter->RunCommand(live->Children()[0], CKxTreeViewAdapter::kCmdRemoveEffect, QPoint());
    EXPECT_EQ(boxes.value(2), QStringLiteral("是否移除该音效"));
    EXPECT_EQ(Text(live), QStringLiteral("Live [0]"));
    EXPECT_EQ(adapter->ItemOf(live)->childCount(), 0);
    EXPECT_TRUE(fs::exists(dir / "fx" / "c.dteff"));  // the file itself stays
    EXPECT_EQ(Saved().find("c.dteff"), std::string::npos);
}

}  // namespace
