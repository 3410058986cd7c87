// The cloud effect tree on the offscreen platform, with its workers talking to the local
// stand-in for the cloud service and reporting through the Qt notification centre.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QThread>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "CloudEffectFiles.h"
#include "CloudEffectListDownloader.h"
#include "CloudEffectListTreeViewAdapter.h"
#include "CloudFixture.h"
#include "IniFile.h"
#include "ItemLook.h"
#include "KxTreeItemWidget.h"
#include "NotifyCenter.h"
#include "QtNotifyCenter.h"
#include "TipWindow.h"
#include "WorkSpace.h"

namespace fs = std::filesystem;

namespace {

struct FakeHost : ICloudEffectHost {
    int ApplyEffectFile(const QString& name, const QString& path) override {
        calls << QStringLiteral("apply %1 %2").arg(name, path);
        return result;
    }
    int StoreEffectFileInSlot(int slot, const QString& name, const QString& path) override {
        calls << QStringLiteral("store %1 %2 %3").arg(slot).arg(name, path);
        return result;
    }
    void SetTipAnchor(int x, int y) override { anchor = QPoint(x, y); }
    QString CurrentEffectPath() const override { return {}; }
    void RefetchCloudList() override { calls << QStringLiteral("refetch"); }

    QStringList calls;
    QPoint anchor{-1, -1};
    int result = 1;
};

void Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class CloudTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        LW52_REQUIRE_CLOUD_FIXTURE();
        Write(fs::path(service.Path()) / "effects/R&B/a.dteff", "aaaa");
        Write(fs::path(service.Path()) / "effects/R&B/names.txt", "a.dteff=A&B\n");
        Write(fs::path(service.Path()) / "effects/R&B/b.dteff", "bbbb");
        Write(fs::path(service.Path()) / "effects/r&b/c.dteff", "cccc");
        ASSERT_TRUE(fixture.Start(service.Path()));
        settings = user.Path() + "/QvH31ConfigData.db";
        ASSERT_TRUE(CIniFile::CreateUtf16File(settings));
        CWorkSpace::Context context;
        context.settingsPath = settings;
        workspace = std::make_unique<CWorkSpace>(context);
        window.resize(420, 300);
        tree = new QTreeWidget(&window);
        tree->setGeometry(4, 4, 400, 280);
        adapter = std::make_unique<CCloudEffectListTreeViewAdapter>(host, tree, &window, *workspace,
                                                                    center, user.Path());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override {
        adapter.reset();
        CTipWindow::Hide();
    }

    // Fetches the list as the effects page does and shows it.
    void FetchAndFill() {
        bool onUiThread = false;
        std::shared_ptr<const std::vector<lw52::CloudEffectRecord>> records;
        const int token =
            center.Subscribe(EventThreadCloudEffectFinishEvent::kId,
                             EventThreadCloudEffectFinishEvent::kName, [&](EventArgs& e) {
                                 auto& finish = static_cast<EventThreadCloudEffectFinishEvent&>(e);
                                 onUiThread = QThread::currentThread() == qApp->thread();
                                 records = finish.records;
                                 finish.worker->Stop(100);
                             });
        auto worker = std::make_shared<CCloudEffectListDownloader>(
            std::make_shared<CNotifyGate>(center), settings);
        worker->Start(worker);
        ASSERT_TRUE(QTest::qWaitFor([&] { return records != nullptr; }, 15000));
        center.Unsubscribe(token);
        EXPECT_TRUE(onUiThread);
        workspace->SetCloudEffects(*records);
        adapter->Fill(CCloudEffectListTreeViewAdapter::kSourceCloud);
    }

    CTreeData* Category(size_t i) const { return adapter->Root().Children().at(i); }
    CTreeData* Leaf(size_t c, size_t i) const { return Category(c)->Children().at(i); }
    QString Text(const CTreeData* node) const {
        return adapter->ItemWidget(node)->NameText()->text();
    }
    QString Colour(const CTreeData* node) const {
        return adapter->ItemWidget(node)->NameText()->property("colorText").toString();
    }
    QPoint At(const CTreeData* node) const {
        return adapter->ItemWidget(node)->mapToGlobal(QPoint(10, 5));
    }
    bool WaitDownloads() {
        return QTest::qWaitFor([&] { return adapter->RunningDownloads() == 0; }, 15000);
    }
    // The commands of a menu in order; a submenu contributes its own.
    static std::vector<int> Commands(QMenu& menu) {
        std::vector<int> out;
        for (QAction* a : menu.actions()) {
            out.push_back(a->data().toInt());
            if (a->menu())
                for (QAction* sub : a->menu()->actions()) out.push_back(sub->data().toInt());
        }
        return out;
    }

    TempDir service;
    TempDir user;
    CloudFixture fixture;
    std::string settings;
    CQtNotifyCenter center;
    std::unique_ptr<CWorkSpace> workspace;
    FakeHost host;
    QWidget window;
    QTreeWidget* tree = nullptr;
    std::unique_ptr<CCloudEffectListTreeViewAdapter> adapter;
};

}  // namespace

TEST_F(CloudTreeTest, ShowsCategoriesByExactNameWithAmpersandsVisible) {
    FetchAndFill();
    ASSERT_EQ(tree->topLevelItemCount(), 2);  // "R&B" and "r&b" differ in letter case
    EXPECT_EQ(Text(Category(0)), QStringLiteral("R&B [2]"));
    EXPECT_EQ(Text(Category(1)), QStringLiteral("r&b [1]"));
    EXPECT_EQ(Text(Leaf(0, 0)), QStringLiteral("A&B"));
    EXPECT_EQ(Leaf(0, 0)->GetName(), u"A&&B");  // doubled in storage
    EXPECT_TRUE(adapter->ItemOf(Category(0))->isExpanded());
    EXPECT_TRUE(adapter->ItemWidget(Category(1))->Toggle()->isVisible());
    EXPECT_FALSE(adapter->ItemWidget(Leaf(0, 0))->Toggle()->isVisible());
    EXPECT_EQ(Colour(Leaf(0, 0)), QStringLiteral("#ffffffff"));

    // Filling again adds to the existing categories; the same name lands in the same node.
    adapter->Fill(CCloudEffectListTreeViewAdapter::kSourceCloud);
    EXPECT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(Text(Category(0)), QStringLiteral("R&B [4]"));
}

// Under the program's theme a category shows a folder, open while it is unfolded and closed
// while it is folded, by its toggle or a double-click; never a plain white square.
TEST_F(CloudTreeTest, CategoriesShowAFolderThatFollowsTheirFolding) {
    ASSERT_TRUE(ApplyProgramTheme(window));
    FetchAndFill();
    CTreeData* rb = Category(0);
    const auto look = [&](const CTreeData* category) {
        return LookOf(tree, adapter->ItemWidget(category)->Toggle());
    };

    const ItemLook open = look(rb);
    QTest::mouseClick(adapter->ItemWidget(rb)->Toggle(), Qt::LeftButton);
    ASSERT_FALSE(adapter->ItemOf(rb)->isExpanded());
    const ItemLook closed = look(rb);
    EXPECT_TRUE(open.ShowsAPicture()) << open.inked << " inked, " << open.white << " white";
    EXPECT_TRUE(closed.ShowsAPicture()) << closed.inked << " inked, " << closed.white << " white";
    EXPECT_NE(open.image, closed.image);

    adapter->OnDoubleClick(rb, At(rb));
    ASSERT_TRUE(adapter->ItemOf(rb)->isExpanded());
    EXPECT_EQ(look(rb).image, open.image);
    adapter->OnDoubleClick(rb, At(rb));
    EXPECT_EQ(look(rb).image, closed.image);
}

TEST_F(CloudTreeTest, DoubleClickDownloadsThenUsesAndADeletedFileTurnsWhiteAgain) {
    FetchAndFill();
    CTreeData* a = Leaf(0, 0);
    const std::string local = adapter->LocalPath(a);
    bool onUiThread = false;
    const int token = center.Subscribe(
        EventCommonThreadFinishEvent::kId, EventCommonThreadFinishEvent::kName,
        [&](EventArgs&) { onUiThread = QThread::currentThread() == qApp->thread(); });
    adapter->OnDoubleClick(a, At(a));
    EXPECT_TRUE(host.calls.isEmpty());  // nothing is used before the file is there
    ASSERT_TRUE(WaitDownloads());
    center.Unsubscribe(token);
    EXPECT_TRUE(onUiThread);
    ASSERT_EQ(host.calls,
              QStringList{QStringLiteral("apply A&B %1").arg(QString::fromStdString(local))});
    EXPECT_EQ(host.anchor.x(), adapter->ItemWidget(a)->width() / 2);
    EXPECT_TRUE(fs::exists(local));
    EXPECT_EQ(Colour(a), QStringLiteral("#808080ff"));
    ASSERT_EQ(workspace->DownloadedEffects().size(), 1u);
    EXPECT_EQ(CIniFile(settings).GetInt("DownloadEffect", "count", 0), 1);
    EXPECT_EQ(cloud_effect::Url(workspace->DownloadedEffects()[0]),
              QString::fromStdString(local).toStdU16String());

    // Used again at once, without a download.
    host.calls.clear();
    adapter->OnDoubleClick(a, At(a));
    EXPECT_EQ(adapter->RunningDownloads(), 0u);
    EXPECT_EQ(host.calls.size(), 1);

    fs::remove(local);
    adapter->Redraw();
    EXPECT_EQ(Colour(a), QStringLiteral("#ffffffff"));
    host.calls.clear();
    adapter->OnDoubleClick(a, At(a));
    EXPECT_EQ(adapter->RunningDownloads(), 1u);
    ASSERT_TRUE(WaitDownloads());
    EXPECT_EQ(host.calls.size(), 1);
    EXPECT_TRUE(fs::exists(local));

    // A refused use names the effect.
    host.result = 0;
    adapter->OnDoubleClick(a, At(a));
    EXPECT_EQ(CTipWindow::CurrentText(), QStringLiteral("A&B音效使用失败!"));
}

TEST_F(CloudTreeTest, FailedDownloadKeepsThePendingSlotForTheNextDownload) {
    FetchAndFill();
    CTreeData* a = Leaf(0, 0);
    CTreeData* b = Leaf(0, 1);
    ASSERT_TRUE(fixture.SetFault("status404"));
    adapter->RunCommand(a, CCloudEffectListTreeViewAdapter::kCmdSlot1 + 1);  // "自定义Ⅱ"
    ASSERT_TRUE(WaitDownloads());
    EXPECT_EQ(CTipWindow::CurrentText(), QStringLiteral("A&B音效下载失败"));
    EXPECT_TRUE(host.calls.isEmpty());
    EXPECT_EQ(adapter->PendingSlot(), 2);
    EXPECT_FALSE(fs::exists(adapter->LocalPath(a)));
    EXPECT_TRUE(workspace->DownloadedEffects().empty());

    ASSERT_TRUE(fixture.SetFault("clear"));
    adapter->OnDoubleClick(b, At(b));
    ASSERT_TRUE(WaitDownloads());
    ASSERT_EQ(host.calls.size(), 1);
    EXPECT_TRUE(host.calls[0].startsWith(QStringLiteral("store 2 b ")))
        << host.calls[0].toStdString();
    EXPECT_EQ(adapter->PendingSlot(), -1);

    // A download that is not the pending one ends silently.
    host.calls.clear();
    adapter->RunCommand(a, CCloudEffectListTreeViewAdapter::kCmdDownload);
    adapter->OnDoubleClick(Category(1), At(Category(1)));  // the pending leaf moves on
    ASSERT_TRUE(WaitDownloads());
    EXPECT_TRUE(host.calls.isEmpty());
    EXPECT_TRUE(adapter->IsDownloaded(a));
}

TEST_F(CloudTreeTest, MenusAndRefresh) {
    FetchAndFill();
    CTreeData* a = Leaf(0, 0);
    using A = CCloudEffectListTreeViewAdapter;
    auto menu = adapter->BuildMenu(a);
    EXPECT_EQ(Commands(*menu), (std::vector<int>{A::kCmdRefresh, A::kCmdDownload, A::kCmdSaveToCard,
                                                 200, 201, 202}));
    EXPECT_EQ(menu->actions()[0]->property("hoverTextColor").toString(), QStringLiteral("#ffffff"));
    EXPECT_EQ(Commands(*adapter->BuildMenu(Category(0))), std::vector<int>{A::kCmdRefresh});
    EXPECT_EQ(Commands(*adapter->BuildMenu(nullptr)), std::vector<int>{A::kCmdRefresh});

    adapter->RunCommand(a, A::kCmdSlot1);  // downloads, then stores into slot 1
    ASSERT_TRUE(WaitDownloads());
    ASSERT_EQ(host.calls.size(), 1);
    EXPECT_TRUE(host.calls[0].startsWith(QStringLiteral("store 1 A&B ")));
    EXPECT_EQ(Commands(*adapter->BuildMenu(a)),
              (std::vector<int>{A::kCmdRefresh, A::kCmdSaveToCard, 200, 201, 202}));

    // Refresh while a download runs: the tree empties, the page fetches again, and the
    // download's end finds its leaf gone without harm.
    host.calls.clear();
    adapter->SetMenuRunner([](QMenu&, const QPoint&) { return A::kCmdRefresh; });
    adapter->RunCommand(Leaf(1, 0), A::kCmdDownload);
    adapter->OnContextMenu(nullptr, QPoint(5, 5));
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_TRUE(adapter->Root().Children().empty());
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("refetch")});
    ASSERT_TRUE(WaitDownloads());
    EXPECT_EQ(workspace->DownloadedEffects().size(), 2u);  // still remembered

    // The downloaded list stands in when the service cannot be reached.
    adapter->Fill(A::kSourceDownloaded);
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(Colour(Leaf(0, 0)), QStringLiteral("#808080ff"));
    adapter->MarkCurrent(QString::fromStdString(adapter->LocalPath(Leaf(1, 0))).toUpper());
    EXPECT_EQ(Leaf(1, 0)->marked, 1);
    EXPECT_EQ(Colour(Leaf(1, 0)), QStringLiteral("#ffffffff"));  // marked: not grey
    host.calls.clear();
    adapter->OnDoubleClick(Leaf(1, 0), At(Leaf(1, 0)));  // the current effect: nothing
    EXPECT_TRUE(host.calls.isEmpty());
}
