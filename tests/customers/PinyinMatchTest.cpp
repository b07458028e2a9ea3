#include "customers/pinyin/PinyinIndex.h"

#include <QString>
#include <cstring>
#include <gtest/gtest.h>

namespace {

struct Case {
    const char* text;
    const char* keyword;
    bool found;
};

// Real names, every reading of a polyphone in today's Chinese but no reading that is only
// historical, mixed and full-width Latin, a character outside the BMP, and keywords that are no
// pinyin.
const Case cases[] = {
    {"张三", "zs", true},
    {"张三", "ZS", true},
    {"张三", "zhangsan", true},
    {"张三", "zhang san", true},
    {"张三", "zhangs", true},
    {"张三", "zsan", true},
    {"张三", "zhs", true},        // two-letter initial
    {"张三", "zhan", true},       // start of the last reading
    {"张三", "zha ngsan", false}, // a blank ends a syllable
    {"张三", "zhang s ", true},
    {"张三", "zhangsa ", false}, // a trailing blank ends the syllable too
    {"张三", "zhāng sān", true}, // tone marks are not looked at
    {"张三", "sz", false},
    {"张三", "zsa n", false},
    {"张三丰", "sf", true},  // found anywhere in the text
    {"张三丰", "zf", false}, // only consecutive characters
    {"北京东华贸易有限公司", "bjdh", true},
    {"北京东华贸易有限公司", "dhmy", true},
    {"长沙", "cs", true},
    {"长沙", "zs", true},
    {"长沙", "changsha", true},
    {"长沙", "zhangsha", true},
    {"重庆", "cq", true},
    {"重庆", "zq", true},
    {"厦门", "xm", true},
    {"厦门", "sm", true},
    {"苏州正信", "zx", true},
    {"苏州正信", "zs", false}, // 信 read shēn once, in old texts only
    {"合肥经华", "hfjh", true},
    {"合肥经华", "bjh", false}, // nor does 肥 read bǐ today
    {"单", "d", true},
    {"单", "s", true},
    {"单", "shan", true},
    {"吕布", "lvb", true},
    {"吕布", "lub", true}, // ü may be typed u
    {"西安", "xian", true},
    {"西安", "xi an", true},
    {"先", "xi an", false},
    {"ABC贸易", "abcmy", true},
    {"ABC贸易", "cmaoyi", true},
    {"ABC贸易", "bcmao", true},
    {"ＡＢＣ贸易", "abc", true}, // full-width letters
    {"ＡＢＣ贸易", "ａｂｃｍｙ", true},
    {"北京-东华", "jd", false}, // punctuation separates
    {"北京 东华", "jd", true},  // blanks do not
    {"𠀀", "he", true},         // U+20000, outside the BMP
    {"𠀀张", "z", true},
    {"A𠀀B", "ab", false},
    {"☃张", "z", true}, // a character without a reading matches nothing but itself
    {"☃张", "az", false},
    {"", "z", false},
    {"123", "a", false},
    {"Café", "cafe", true}, // accented Latin letters count as their letter
};

TEST(PinyinMatch, KeywordsFindTheirTexts) {
    for (const Case& c : cases) {
        const PinyinKeyword keyword(QString::fromUtf8(c.keyword));
        ASSERT_TRUE(keyword.usable()) << c.keyword;
        EXPECT_EQ(pinyinContains(QString::fromUtf8(c.text), keyword), c.found)
            << c.text << " / " << c.keyword;
    }
}

TEST(PinyinMatch, OnlyLettersAndBlanksAreAPinyinKeyword) {
    for (const char* keyword : {"", "   ", "zs1", "张s", "z%", "z_s", "z'"})
        EXPECT_FALSE(PinyinKeyword(QString::fromUtf8(keyword)).usable()) << keyword;
    EXPECT_FALSE(PinyinKeyword(QString(64, 'a')).usable()) << "more letters than a row mask holds";
    EXPECT_TRUE(PinyinKeyword(QString(63, 'a')).usable());
}

TEST(PinyinMatch, IndexFindsRowsByIdAndForgetsReplacedTexts) {
    PinyinIndex index;
    const char* texts[] = {"张三", "", "李四", "长沙贸易", "𠀀", "张飞"};
    qint64 id = 10;
    size_t textBytes = 0;
    for (const char* text : texts) {
        index.add(id++, QString::fromUtf8(text));
        textBytes += std::strlen(text) + 1;
    }
    EXPECT_LE(index.keyBytes(), textBytes) << "keys never outgrow the UTF-8 texts";
    EXPECT_EQ(index.find(PinyinKeyword(u"z")), (std::vector<qint64>{10, 13, 15}));
    index.replace(10, u"王五");
    index.replace(99, u"赵六");
    EXPECT_EQ(index.find(PinyinKeyword(u"z")), (std::vector<qint64>{13, 15, 99}));
    EXPECT_EQ(index.find(PinyinKeyword(u"ww")), (std::vector<qint64>{10}));
    EXPECT_EQ(index.rows(), 7u);
    EXPECT_TRUE(index.find(PinyinKeyword(u"1")).empty());
}

} // namespace
