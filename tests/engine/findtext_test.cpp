#include "engine/script/findtext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tabulon {
namespace {

TEST(FindText, TheFastPathAgreesWithQtsSearch)
{
    const std::vector<std::string> lines = {"INSERT INTO `t` VALUES('abc', 'ABC')",
                                            "xx",
                                            "",
                                            "K\xE2\x84\xAA"
                                            "elvin kelvin",
                                            "stra\xC3\x9F"
                                            "e STRASSE",
                                            "abcabc",
                                            "ab"};
    const std::vector<QString> finds = {"ABC", "k", "kelvin", "e", "abcabc", "abcd", "b"};
    for (const QString &find : finds)
        for (const std::string &line : lines) {
            const QString q = QString::fromStdString(line);
            const qsizetype p = q.indexOf(find, 0, Qt::CaseInsensitive);
            const std::string want = p < 0 ? line : (q.left(p) + "#" + q.mid(p + find.size())).toStdString();
            std::string got = line;
            FindText(find).replaceFirst(got, "#");
            EXPECT_EQ(got, want) << find.toStdString() << " in " << line;
        }
}

} // namespace
} // namespace tabulon
