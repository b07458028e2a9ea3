#include "data/AppError.h"
#include "data/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SettingsFileTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path = dir.filePath("Config.ini");
    SettingsFile ini{path};

    void put(const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    std::string contents() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
};

TEST_F(SettingsFileTest, MissingFileSectionOrKeyYieldsTheDefaultAndCreatesNothing) {
    EXPECT_EQ(ini.ReadString("Config", "DBConn", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("login", "username", -1), -1);
    EXPECT_FALSE(QFile::exists(path));

    put("[Config]\nOther=1\n");
    EXPECT_EQ(ini.ReadString("Config", "DBConn", "def"), "def");
    EXPECT_EQ(ini.ReadString("login", "Other", "def"), "def");
}

TEST_F(SettingsFileTest, NamesCompareWithoutLetterCase) {
    put("[OtherInfo]\nAwoke=0\n[LOGIN]\n  UserName = 3\n");
    EXPECT_EQ(ini.ReadInteger("otherInfo", "awoke", -1), 0);
    EXPECT_EQ(ini.ReadInteger("OTHERINFO", "AWOKE", -1), 0);
    EXPECT_EQ(ini.ReadInteger("login", "username", -1), 3);
}

TEST_F(SettingsFileTest, ValuesAreTrimmedAndLoseOnePairOfQuotes) {
    put("[s]\n"
        "a =   path with  blanks   \n"
        "b=\"  quoted \"\n"
        "c='single'\n"
        "d=\"\"inner\"\"\n"
        "e=\"unbalanced\n"
        "f=\"\n"
        "g=\t\n");
    EXPECT_EQ(ini.ReadString("s", "a", {}), "path with  blanks");
    EXPECT_EQ(ini.ReadString("s", "b", {}), "  quoted ");
    EXPECT_EQ(ini.ReadString("s", "c", {}), "single");
    EXPECT_EQ(ini.ReadString("s", "d", {}), "\"inner\"");
    EXPECT_EQ(ini.ReadString("s", "e", {}), "\"unbalanced");
    EXPECT_EQ(ini.ReadString("s", "f", {}), "\"");
    EXPECT_EQ(ini.ReadString("s", "g", "def"), "");
}

TEST_F(SettingsFileTest, ValuesAreReadUpTo2047Characters) {
    put("[s]\nlong=" + QByteArray(5000, 'x') + "\nnext=after\n");
    EXPECT_EQ(ini.ReadString("s", "long", {}).size(), 2047);
    EXPECT_EQ(ini.ReadString("s", "next", {}), "after");
}

TEST_F(SettingsFileTest, IntegersAreDecimalOrHexAndAnythingElseIsTheDefault) {
    put("[n]\na=12\nb=-3\nc=0x1F\nd=0X10\ne=12abc\nf=\ng=abc\nh= 7 \ni=0x\nj=0x0x1\nk=+5\n"
        "l=99999999999\nm=\"42\"\n");
    const auto read = [&](const char* key) { return ini.ReadInteger("n", key, -1); };
    EXPECT_EQ(read("a"), 12);
    EXPECT_EQ(read("b"), -3);
    EXPECT_EQ(read("c"), 31);
    EXPECT_EQ(read("d"), 16);
    EXPECT_EQ(read("h"), 7);
    EXPECT_EQ(read("m"), 42);
    for (const char* bad : {"e", "f", "g", "i", "j", "k", "l", "missing"})
        EXPECT_EQ(read(bad), -1) << bad;
}

TEST_F(SettingsFileTest, WritesCreateFileSectionAndKeyWithTheWritersSpelling) {
    ini.WriteInteger("login", "username", 0);
    EXPECT_EQ(contents(), "[login]\nusername=0\n");
    ini.WriteString("otherInfo", "Day", "3");
    ini.WriteInteger("OtherInfo", "awoke", 0); // same section, other spelling
    EXPECT_EQ(contents(), "[login]\nusername=0\n[otherInfo]\nDay=3\nawoke=0\n");
    EXPECT_EQ(ini.ReadString("OTHERINFO", "day", {}), "3");
}

TEST_F(SettingsFileTest, AWriteChangesOnlyItsOwnLine) {
    const QByteArray gbkLine = QStringEncoder("GBK").encode(QStringLiteral("说明=旧的设置"));
    const QByteArray before = "; kept comment\r\n"
                              "[Config]\r\n"
                              "  DBConn = /old/path.db  \r\n"
                              "broken line without equals\r\n"
                              "\xff\xfe garbage \x01\r\n" +
                              gbkLine +
                              "\r\n"
                              "\r\n"
                              "[login]\r\n"
                              "UserName=5";
    put(before);

    ini.WriteString("config", "dbconn", QString());
    QByteArray expected = before;
    expected.replace("  DBConn = /old/path.db  ", "DBConn=");
    EXPECT_EQ(contents(), expected.toStdString());
    EXPECT_EQ(ini.ReadString("Config", "DBConn", "def"), "");

    ini.WriteString("Config", "Extra", "x");
    expected.replace(gbkLine + "\r\n", gbkLine + "\r\nExtra=x\r\n");
    EXPECT_EQ(contents(), expected.toStdString());

    ini.WriteInteger("login", "other", 7); // the file ended without a line break
    expected += "\r\nother=7\r\n";
    EXPECT_EQ(contents(), expected.toStdString());
    EXPECT_EQ(ini.ReadInteger("login", "username", -1), 5);
}

TEST_F(SettingsFileTest, ValuesAreDecodedAsUtf8OrElseGbkAndWrittenAsUtf8) {
    const QString chinese = QStringLiteral("/数据/客户.db");
    put("[a]\nutf=" + chinese.toUtf8() + "\ngbk=" + QStringEncoder("GBK").encode(chinese) + "\n");
    EXPECT_EQ(ini.ReadString("a", "utf", {}), chinese);
    EXPECT_EQ(ini.ReadString("a", "gbk", {}), chinese);

    ini.WriteString("b", "k", chinese);
    EXPECT_TRUE(
        QByteArray::fromStdString(contents()).endsWith("[b]\nk=" + chinese.toUtf8() + "\n"));
    EXPECT_EQ(ini.ReadString("B", "K", {}), chinese);
}

TEST_F(SettingsFileTest, KeysWithoutEqualsAndCommentsAreNotKeys) {
    put("[s]\nlonely\n;hidden=1\n=nokey\n[unclosed\nafter=2\n");
    EXPECT_EQ(ini.ReadString("s", "lonely", "def"), "def");
    EXPECT_EQ(ini.ReadString("s", ";hidden", "def"), "def");
    EXPECT_EQ(ini.ReadString("s", "after", "def"), "2"); // "[unclosed" is no section header
}

TEST_F(SettingsFileTest, ARefusedWriteNamesTheFileAndChangesNothing) {
    SettingsFile nowhere(dir.filePath("missing/Config.ini"));
    try {
        nowhere.WriteInteger("login", "username", 1);
        FAIL() << "the write should have been refused";
    } catch (const AppError& error) {
        EXPECT_EQ(error.text(), "Unable to write to " + dir.filePath("missing/Config.ini"));
    }

    ASSERT_TRUE(QDir(dir.path()).mkdir("Config.ini")); // cannot be read, so must not be replaced
    EXPECT_THROW(ini.WriteInteger("login", "username", 1), AppError);
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST_F(SettingsFileTest, LineBreaksInAValueAreRefusedRatherThanWritingOtherKeys) {
    ini.WriteString("s", "k", "safe");
    EXPECT_THROW(ini.WriteString("s", "k", "x\n[Config]\nDBConn=/evil"), AppError);
    EXPECT_EQ(contents(), "[s]\nk=safe\n");
}

} // namespace
