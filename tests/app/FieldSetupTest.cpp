#include "app/U_FieldSetup.h"
#include "data/AppError.h"
#include "tests/app/AppTestSupport.h"

#include <QDir>
#include <QListWidget>
#include <QPushButton>

namespace {

class FieldSetupTest : public ShellTest {
  protected:
    int backups() const {
        return int(QDir(QDir(program.dir()).filePath("DataBase/Backup"))
                       .entryList({"Custom-*.db"})
                       .size());
    }
    static FieldDefinition field(const QString& title, FieldType type, QStringList choices = {}) {
        FieldDefinition f;
        f.title = title;
        f.type = type;
        f.choices = choices;
        return f;
    }
};

// Each command in turn, as the window's list shows it; a removal asks with the count of
// customers holding a value, and only after a backup does the column go.
TEST_F(FieldSetupTest, CommandsChangeTheFieldsAndARemovalAsksAndBacksUpFirst) {
    data->ADOConnection1->execute({"insert into Custom (Company) values ('甲'), ('乙')", {}});
    TFrm_FieldSetup window(*data, messages);
    EXPECT_FALSE(window.Btn_Remove->isEnabled());
    window.doAdd(field("客户类型", FieldType::Choice, {"经销商", "终端"}));
    window.doAdd(field("联系人", FieldType::Text));
    EXPECT_THROW(window.doAdd(field("联系人", FieldType::Number)), AppError);
    ASSERT_EQ(window.List_Fields->count(), 2);
    EXPECT_EQ(window.List_Fields->item(0)->text(), "客户类型（选项：经销商、终端）");
    EXPECT_EQ(window.List_Fields->currentRow(), 1);
    EXPECT_FALSE(window.Btn_Choices->isEnabled()); // a text field has no choices

    window.doMove(1, -1);
    EXPECT_EQ(window.fields()[0].title, "联系人");
    window.doRename(1, "类型");
    window.doChoices(1, {"经销商", "终端", "潜在客户"});
    EXPECT_EQ(window.List_Fields->item(1)->text(), "类型（选项：经销商、终端、潜在客户）");
    EXPECT_TRUE(window.changed());

    const QString column = window.fields()[1].column;
    data->ADOConnection1->execute({"update Custom set " + column + "='终端'", {}});
    messages.answers = {mbNo};
    window.doRemove(1);
    EXPECT_EQ(window.fields().size(), 2);
    EXPECT_EQ(backups(), 0);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.last().text.contains("2位客户")) << messages.last().text.toStdString();

    messages.answers = {mbYes};
    window.doRemove(1);
    EXPECT_EQ(backups(), 1);
    ASSERT_EQ(window.fields().size(), 1);
    EXPECT_FALSE(data->ADOConnection1->columnsOf("Custom").contains(column));
    EXPECT_TRUE(messages.last().text.contains("已备份到")) << messages.last().text.toStdString();
}

} // namespace
