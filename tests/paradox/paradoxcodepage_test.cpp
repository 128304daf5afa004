// Tables whose header names the wrong code page: read in the one their text
// is in, and only those.
#include "paradoxtestsupport.h"

#include "source/paradox/codepage.h"
#include "source/paradox/codepagedetect.h"
#include "source/paradox/paradoxconnection.h"
#include "source/paradox/paradoxrecordset.h"
#include "support/fixtures.h"
#include "tools/paradoxwriter.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace tabulon {
namespace {

using test::ScratchFolder;

// A table of one Alpha and one Memo field whose text is stored in code page
// `written` while its header names `declared`, as BDE wrote them.
std::string WriteMisdeclared(const ScratchFolder &dir, const std::string &name, const std::string &fieldName,
                             const std::vector<std::string> &texts, int written, int declared)
{
    const std::string path = dir.file(name + ".db");
    {
        ParadoxWriter w(path, {{fieldName, 'A', 60}, {"Notes", 'M', 11}}, written);
        for (const std::string &t : texts)
            w.addRow({Value::text(t), Value::text(t + " " + t)});
        w.finish();
    }
    std::string bytes = test::ReadWhole(path);
    bytes[0x6A] = char(declared & 0xFF);
    bytes[0x6B] = char(declared >> 8);
    test::WriteWhole(path, bytes);
    return path;
}

TEST(CodePage, MisdeclaredTablesReadInTheirOwnAndTheRestStay)
{
    ScratchFolder dir;
    struct Case {
        const char *name;
        const char *field;
        std::vector<std::string> texts;
        int written, declared, expected;
    };
    const Case cases[] = {
        {"russian", "Имя", {"Внешний мир", "Иван Петров", "Москва, улица Ленина", "Ёлка"}, 1251, 1252, 1251},
        {"western",
         "Name",
         {"Café crème", "Müller", "José Núñez", "Ångström", "été à Paris", "Zoë", "Paris—London", "l’été", "25°C"},
         1252, 1252, 1252},
        {"shortru", "Name", {"Лев"}, 1251, 1252, 1251},
        {"shortwest", "Name", {"Zoë"}, 1252, 1252, 1252},
        {"greek", "Name", {"Αθήνα", "Θεσσαλονίκη", "Πάτρα", "Ηράκλειο", "Λάρισα", "Βόλος"}, 1253, 1252, 1253},
        {"dos", "Имя", {"Внешний мир", "Иван Петров", "Москва"}, 866, 437, 866},
        {"dosrussian", "Имя", {"Внешний мир", "Иван Петров", "Москва"}, 866, 866, 866},
        {"ascii", "Name", {"plain", "text"}, 1252, 1252, 1252},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteMisdeclared(dir, c.name, c.field, c.texts, c.written, c.declared);
        ParadoxRecordSet rs(path);
        EXPECT_EQ(rs.account().headerCodePage, c.declared);
        EXPECT_EQ(rs.account().codePage, c.expected);
        EXPECT_EQ(rs.fields()[0].name, c.field);
        for (const std::string &t : c.texts) {
            ASSERT_FALSE(rs.eof());
            EXPECT_EQ(rs.value(0).str(), t);
            EXPECT_EQ(rs.value(1).str(), t + " " + t);
            rs.moveNext();
        }
    }
}

// Text in each code page Paradox writes: declared right it never moves;
// declared wrong it reads in its own (or one that reads it alike).
TEST(CodePage, DetectionAcrossCodePages)
{
    struct Case {
        const char *text;
        int codePage;
        std::vector<int> misdeclared; // headers it is detected under
    };
    const Case cases[] = {
        {"Größere Straße, Müller & Söhne, Köln, Übersee, Äpfel", 1252, {437, 866, 1251, 1253, 936}},
        {"Ça coûte cher, l’été à Noël, crème brûlée, où est-ce?", 1252, {866, 1251, 950}},
        // Declared 1252 it still reads as a Western text with a few odd words.
        {"Příliš žluťoučký kůň úpěl ďábelské ódy", 1250, {1251, 866}},
        {"Zażółć gęślą jaźń, Łódź, Kraków, Wrocław, Gdańsk", 852, {}},
        {"Çağrı İstanbul’da, Şişli, Göztepe, Üsküdar", 1254, {}},
        {"Lietuvių kalba, Šiauliai, Klaipėda, Panevėžys", 1257, {}},
        {"Αθήνα, Θεσσαλονίκη, Πάτρα, Ηράκλειο, Λάρισα, Βόλος", 1253, {1252, 1251, 437}},
        {"Съешь же ещё этих мягких французских булок, да выпей чаю", 1251, {1252, 1250, 936, 949, 437}},
        {"Съешь же ещё этих мягких французских булок, да выпей чаю", 866, {437, 1251, 1252}},
        {"Søren Kierkegaard, Bjørn, Tromsø, Ærø", 865, {}},
        {"中文测试，北京市朝阳区，上海浦东新区", 936, {1252, 1251}},
        {"日本語のテキスト、東京都千代田区", 932, {}},
        {"中文測試，台北市信義區", 950, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.codePage) + " " + c.text);
        std::string bytes;
        ASSERT_TRUE(paradox::CodePage::forNumber(c.codePage).encode(c.text, bytes));
        for (int header : ChoosableCodePages()) {
            const int detected = paradox::DetectCodePage(bytes, header);
            if (header == c.codePage) {
                EXPECT_EQ(detected, header);
            } else if (std::count(c.misdeclared.begin(), c.misdeclared.end(), header)) {
                EXPECT_EQ(detected, c.codePage) << "declared " << header;
            }
        }
    }
    EXPECT_EQ(paradox::DetectCodePage("plain ASCII", 936), 936);
}

// A chosen code page applies to every table whose text is not plain ASCII;
// a table's own choice beats the one for all.
TEST(CodePage, ChosenCodePages)
{
    ScratchFolder dir;
    const std::string western = WriteMisdeclared(dir, "western", "Name", {"Café"}, 1252, 1252);
    const std::string russian = WriteMisdeclared(dir, "russian", "Name", {"Мир"}, 1251, 1252);
    const std::string ascii = WriteMisdeclared(dir, "ascii", "Name", {"plain"}, 1252, 1252);

    EXPECT_EQ(ParadoxRecordSet(western, 1251).value(0).str(), "Cafй");
    EXPECT_EQ(ParadoxRecordSet(ascii, 1251).account().codePage, 1252);
    EXPECT_EQ(ParadoxRecordSet(russian, ParadoxRecordSet::kHeaderCodePage).value(0).str(), "Ìèð");

    CodePageChoice choice;
    choice.all = 1250;
    choice.tables["RUSSIAN"] = 1251;
    choice.tables["Western"] = 0;
    auto c = OpenParadoxConnection(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir.path().string() + ";", {},
        {{"WESTERN", western}, {"RUSSIAN", russian}, {"ASCII", ascii}}, choice);
    EXPECT_EQ(c->openRecordSet("SELECT * FROM `russian`")->value(0).str(), "Мир");
    EXPECT_EQ(c->openRecordSet("SELECT * FROM `western`")->account().codePage, 1252);
    EXPECT_EQ(c->openRecordSet("SELECT * FROM `ascii`")->account().codePage, 1252);

    EXPECT_EQ(ParseCodePageChoice(" Auto "), 0);
    EXPECT_EQ(ParseCodePageChoice("866"), 866);
    EXPECT_THROW(ParseCodePageChoice("65001"), Error);
}

// Every fixture table read with detection and with the header's code page:
// only the two mis-declared ones differ, and they read as Russian.
TEST(CodePage, FixturesChangeOnlyWhereTheHeaderIsWrong)
{
    TABULON_FIXTURES_OR_SKIP(root);
    std::vector<std::string> changed;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (!entry.is_regular_file() || ext != ".db")
            continue;
        SCOPED_TRACE(entry.path().string());
        ParadoxRecordSet detected(entry.path().string());
        ParadoxRecordSet header(entry.path().string(), ParadoxRecordSet::kHeaderCodePage);
        bool same = detected.account().codePage == header.account().codePage;
        for (size_t j = 0; j < header.fields().size(); ++j)
            same = same && detected.fields()[j].name == header.fields()[j].name;
        while (!header.eof() && !detected.eof()) {
            for (int j = 0; j < int(header.fields().size()); ++j) {
                const Value &a = header.value(j), &b = detected.value(j);
                same = same && a.kind() == b.kind() && a.str() == b.str() && a.toText() == b.toText();
            }
            header.moveNext();
            detected.moveNext();
        }
        if (!same)
            changed.push_back(std::filesystem::relative(entry.path(), root).string());
    }
    std::sort(changed.begin(), changed.end());
    EXPECT_EQ(changed, (std::vector<std::string>{"grigoryvp-pyparadox/test.db",
                                                 "leonhad-paradoxdriver-history/ea01cc0/db/NOTE1251.DB"}));

    // Some value of the table begins with `start`.
    auto holds = [&](const std::string &relative, const std::string &start) {
        ParadoxRecordSet rs((root / relative).string());
        for (; !rs.eof(); rs.moveNext())
            for (int j = 0; j < int(rs.fields().size()); ++j)
                if (rs.value(j).kind() == Value::Kind::Text && rs.value(j).str().rfind(start, 0) == 0)
                    return true;
        return false;
    };
    EXPECT_TRUE(holds("grigoryvp-pyparadox/test.db", "Внешний мир"));
    EXPECT_TRUE(holds("leonhad-paradoxdriver-history/ea01cc0/db/NOTE1251.DB", "Удивительное устройство USB-флешки"));
    ParadoxRecordSet note((root / "leonhad-paradoxdriver-history/ea01cc0/db/NOTE1251.DB").string());
    EXPECT_EQ(note.account().headerCodePage, 936);
    EXPECT_EQ(note.account().codePage, 1251);
}

} // namespace
} // namespace tabulon
