#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "Controls.h"
#include "ListNameDialog.h"
#include "TipWindow.h"

namespace {

TEST(ListNameDialogTest, OkChecksTheTrimmedTextAndStaysOpenWhileRefused) {
    const struct {
        const char* typed;
        const char* tip;  // nullptr: accepted
    } cases[] = {
        {" \t ", "输入文本不能为空！"},
        {"a<b", "不能包含字符“\\:/*?\"<>|”"},
        {"  直播 ", nullptr},
    };
    for (const auto& c : cases) {
        CTipWindow::Hide();
        CListNameDialog dialog(nullptr, QStringLiteral("旧名"), 9);
        EXPECT_EQ(dialog.Field()->selectedText(), QStringLiteral("旧名"));
        EXPECT_EQ(dialog.Field()->maxLength(), 9);
        dialog.show();
        dialog.Field()->setText(QString::fromUtf8(c.typed));
        auto* ok = FindControlAs<QPushButton>(&dialog, "btnOK");
        ASSERT_NE(ok, nullptr);
        QTest::mouseClick(ok, Qt::LeftButton);
        if (c.tip) {
            EXPECT_EQ(CTipWindow::CurrentText(), QString::fromUtf8(c.tip)) << c.typed;
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(dialog.result(), 0);
        } else {
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_EQ(dialog.Name(), QStringLiteral("直播"));
        }
    }
    CTipWindow::Hide();
}

}  // namespace
