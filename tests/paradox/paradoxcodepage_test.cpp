// Tables whose header names the wrong code page: read in the one their text
// is in, and only those.
#include "paradoxtestsupport.h"

#include "source/paradox/codepage.h"
#include "source/paradox/codepagedetect.h"
#include "source/paradox/paradoxconnection.h"
#include "source/paradox/paradoxrecordset.h"
#include "support/fixtures.h"
#include "tools/paradoxwriter.h"

#include <QList>
#include <QString>

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
         1252,
         1252,
         1252},
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
    auto c = OpenParadoxConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir.path().string() + ";", {},
                                   {{"WESTERN", western}, {"RUSSIAN", russian}, {"ASCII", ascii}}, choice);
    EXPECT_EQ(c->openRecordSet("SELECT * FROM `russian`")->value(0).str(), "Мир");
    EXPECT_EQ(c->openRecordSet("SELECT * FROM `western`")->account().codePage, 1252);
    EXPECT_EQ(c->openRecordSet("SELECT * FROM `ascii`")->account().codePage, 1252);

    EXPECT_EQ(ParseCodePageChoice(" Auto "), 0);
    EXPECT_EQ(ParseCodePageChoice("866"), 866);
    EXPECT_THROW(ParseCodePageChoice("65001"), Error);
}

// Each upper byte read alone means what Microsoft's table for its page says
// (made with iconv, which agrees with the Unicode consortium's copies, save
// 950's 0x80, a C1 control there). U+FFFD: a byte the page leaves unused, or
// a lead byte with nothing after it.
TEST(CodePage, UpperBytesMeanWhatTheirPageSays)
{
    const std::pair<int, std::string> pages[] = {
        {437, "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
              "└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0"},
        {737, "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩαβγδεζηθικλμνξοπρσςτυφχψ░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
              "└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀ωάέήϊίόύϋώΆΈΉΊΌΎΏ±≥≤ΪΫ÷≈°∙·√ⁿ²■\u00A0"},
        {775, "ĆüéāäģåćłēŖŗīŹÄÅÉæÆōöĢ¢ŚśÖÜø£Ø×¤ĀĪóŻżź”¦©®¬½¼Ł«»░▒▓│┤ĄČĘĖ╣║╗╝ĮŠ┐"
              "└┴┬├─┼ŲŪ╚╔╩╦╠═╬Žąčęėįšųūž┘┌█▄▌▐▀ÓßŌŃõÕµńĶķĻļņĒŅ’\u00AD±“¾¶§÷„°∙·¹³²■\u00A0"},
        {850, "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜø£Ø×ƒáíóúñÑªº¿®¬½¼¡«»░▒▓│┤ÁÂÀ©╣║╗╝¢¥┐"
              "└┴┬├─┼ãÃ╚╔╩╦╠═╬¤ðÐÊËÈıÍÎÏ┘┌█▄¦Ì▀ÓßÔÒõÕµþÞÚÛÙýÝ¯´\u00AD±‗¾¶§÷¸°¨·¹³²■\u00A0"},
        {852, "ÇüéâäůćçłëŐőîŹÄĆÉĹĺôöĽľŚśÖÜŤťŁ×čáíóúĄąŽžĘę¬źČş«»░▒▓│┤ÁÂĚŞ╣║╗╝Żż┐"
              "└┴┬├─┼Ăă╚╔╩╦╠═╬¤đĐĎËďŇÍÎě┘┌█▄ŢŮ▀ÓßÔŃńňŠšŔÚŕŰýÝţ´\u00AD˝˛ˇ˘§÷¸°¨˙űŘř■\u00A0"},
        {855, "ђЂѓЃёЁєЄѕЅіІїЇјЈљЉњЊћЋќЌўЎџЏюЮъЪаАбБцЦдДеЕфФгГ«»░▒▓│┤хХиИ╣║╗╝йЙ┐"
              "└┴┬├─┼кК╚╔╩╦╠═╬¤лЛмМнНоОп┘┌█▄Пя▀ЯрРсСтТуУжЖвВьЬ№\u00ADыЫзЗшШэЭщЩчЧ§■\u00A0"},
        {857, "ÇüéâäàåçêëèïîıÄÅÉæÆôöòûùİÖÜø£ØŞşáíóúñÑĞğ¿®¬½¼¡«»░▒▓│┤ÁÂÀ©╣║╗╝¢¥┐"
              "└┴┬├─┼ãÃ╚╔╩╦╠═╬¤ºªÊËÈ�ÍÎÏ┘┌█▄¦Ì▀ÓßÔÒõÕµ�×ÚÛÙìÿ¯´\u00AD±�¾¶§÷¸°¨·¹³²■\u00A0"},
        {860, "ÇüéâãàÁçêÊèÍÔìÃÂÉÀÈôõòÚùÌÕÜ¢£Ù₧ÓáíóúñÑªº¿Ò¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
              "└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0"},
        {861, "ÇüéâäàåçêëèÐðÞÄÅÉæÆôöþûÝýÖÜø£Ø₧ƒáíóúÁÍÓÚ¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
              "└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0"},
        {862, "אבגדהוזחטיךכלםמןנסעףפץצקרשת¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
              "└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0"},
        {863, "ÇüéâÂà¶çêëèïî‗À§ÉÈÊôËÏûù¤ÔÜ¢£ÙÛƒ¦´óú¨¸³¯Î⌐¬½¼¾«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
              "└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0"},
        {864, "°·∙√▒─│┼┤┬├┴┐┌└┘β∞φ±½¼≈«»ﻷﻸ��ﻻﻼ�\u00A0\u00ADﺂ£¤ﺄ��ﺎﺏﺕﺙ،ﺝﺡﺥ٠١٢٣٤٥٦٧٨٩ﻑ؛ﺱﺵﺹ؟"
              "¢ﺀﺁﺃﺅﻊﺋﺍﺑﺓﺗﺛﺟﺣﺧﺩﺫﺭﺯﺳﺷﺻﺿﻁﻅﻋﻏ¦¬÷×ﻉـﻓﻗﻛﻟﻣﻧﻫﻭﻯﻳﺽﻌﻎﻍﻡﹽ\u0651ﻥﻩﻬﻰﻲﻐﻕﻵﻶﻝﻙﻱ■�"},
        {865, "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜø£Ø₧ƒáíóúñÑªº¿⌐¬½¼¡«¤░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
              "└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0"},
        {866, "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмноп░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
              "└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀рстуфхцчшщъыьэюяЁёЄєЇїЎў°∙·√№¤■\u00A0"},
        {869, "������Ά�·¬¦‘’Έ―ΉΊΪΌ��ΎΫ©Ώ²³ά£έήίϊΐόύΑΒΓΔΕΖΗ½ΘΙ«»░▒▓│┤ΚΛΜΝ╣║╗╝ΞΟ┐"
              "└┴┬├─┼ΠΡ╚╔╩╦╠═╬ΣΤΥΦΧΨΩαβγ┘┌█▄δε▀ζηθικλμνξοπρσςτ΄\u00AD±υφχ§ψ΅°¨ωϋΰώ■\u00A0"},
        {874, "€����…�����������‘’“”•–—��������\u00A0กขฃคฅฆงจฉชซฌญฎฏฐฑฒณดตถทธนบปผฝพฟ"
              "ภมยรฤลฦวศษสหฬอฮฯะ\u0E31าำ\u0E34\u0E35\u0E36\u0E37\u0E38\u0E39\u0E3A����฿เแโใไๅๆ\u0E47\u0E48\u0E49\u0E4A"
              "\u0E4B\u0E4C\u0E4D\u0E4E๏๐๑๒๓๔๕๖๗๘๙๚๛����"},
        {1250, "€�‚�„…†‡�‰Š‹ŚŤŽŹ�‘’“”•–—�™š›śťžź\u00A0ˇ˘Ł¤Ą¦§¨©Ş«¬\u00AD®Ż°±˛ł´µ¶·¸ąş»Ľ˝ľż"
               "ŔÁÂĂÄĹĆÇČÉĘËĚÍÎĎĐŃŇÓÔŐÖ×ŘŮÚŰÜÝŢßŕáâăäĺćçčéęëěíîďđńňóôőö÷řůúűüýţ˙"},
        {1251, "ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏђ‘’“”•–—�™љ›њќћџ\u00A0ЎўЈ¤Ґ¦§Ё©Є«¬\u00AD®Ї°±Ііґµ¶·ё№є»јЅѕї"
               "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя"},
        {1252, "€�‚ƒ„…†‡ˆ‰Š‹Œ�Ž��‘’“”•–—˜™š›œ�žŸ\u00A0¡¢£¤¥¦§¨©ª«¬\u00AD®¯°±²³´µ¶·¸¹º»¼½¾¿"
               "ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖ×ØÙÚÛÜÝÞßàáâãäåæçèéêëìíîïðñòóôõö÷øùúûüýþÿ"},
        {1253, "€�‚ƒ„…†‡�‰�‹�����‘’“”•–—�™�›����\u00A0΅Ά£¤¥¦§¨©�«¬\u00AD®―°±²³΄µ¶·ΈΉΊ»Ό½ΎΏ"
               "ΐΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡ�ΣΤΥΦΧΨΩΪΫάέήίΰαβγδεζηθικλμνξοπρςστυφχψωϊϋόύώ�"},
        {1254, "€�‚ƒ„…†‡ˆ‰Š‹Œ����‘’“”•–—˜™š›œ��Ÿ\u00A0¡¢£¤¥¦§¨©ª«¬\u00AD®¯°±²³´µ¶·¸¹º»¼½¾¿"
               "ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏĞÑÒÓÔÕÖ×ØÙÚÛÜİŞßàáâãäåæçèéêëìíîïğñòóôõö÷øùúûüışÿ"},
        {1255, "€�‚ƒ„…†‡ˆ‰�‹�����‘’“”•–—˜™�›����\u00A0¡¢£₪¥¦§¨©×«¬\u00AD®¯°±²³´µ¶·¸¹÷»¼½¾¿"
               "\u05B0\u05B1\u05B2\u05B3\u05B4\u05B5\u05B6\u05B7\u05B8\u05B9�\u05BB\u05BC\u05BD־\u05BF׀\u05C1\u05C2׃װױײ"
               "׳״�������אבגדהוזחטיךכלםמןנסעףפץצקרשת��\u200E\u200F�"},
        {1256, "€پ‚ƒ„…†‡ˆ‰ٹ‹Œچژڈگ‘’“”•–—ک™ڑ›œ\u200C\u200Dں\u00A0،¢£¤¥¦§¨©ھ«¬\u00AD®¯°±²³´µ¶·¸¹؛»¼½¾؟"
               "ہءآأؤإئابةتثجحخدذرزسشصض×طظعغـفقكàلâمنهوçèéêëىيîï\u064B\u064C\u064D\u064Eô\u064F\u0650÷\u0651ù\u0652ûü"
               "\u200E\u200Fے"},
        {1257, "€�‚�„…†‡�‰�‹�¨ˇ¸�‘’“”•–—�™�›�¯˛�\u00A0�¢£¤�¦§Ø©Ŗ«¬\u00AD®Æ°±²³´µ¶·ø¹ŗ»¼½¾æ"
               "ĄĮĀĆÄÅĘĒČÉŹĖĢĶĪĻŠŃŅÓŌÕÖ×ŲŁŚŪÜŻŽßąįāćäåęēčéźėģķīļšńņóōõö÷ųłśūüżž˙"},
        {1258, "€�‚ƒ„…†‡ˆ‰�‹Œ����‘’“”•–—˜™�›œ��Ÿ\u00A0¡¢£¤¥¦§¨©ª«¬\u00AD®¯°±²³´µ¶·¸¹º»¼½¾¿"
               "ÀÁÂĂÄÅÆÇÈÉÊË\u0300ÍÎÏĐÑ\u0309ÓÔƠÖ×ØÙÚÛÜƯ\u0303ßàáâăäåæçèéêë\u0301íîïđñ\u0323óôơö÷øùúûüư₫ÿ"},
        {932, "���������������������������������｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿ"
              "ﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ��������������������������������"},
        {936, "€���������������������������������������������������������������"
              "����������������������������������������������������������������"},
        {949, "����������������������������������������������������������������"
              "����������������������������������������������������������������"},
        {950, "\uFFFD���������������������������������������������������������������"
              "����������������������������������������������������������������"},
    };
    for (const auto &[number, expected] : pages) {
        const paradox::CodePage &page = paradox::CodePage::forNumber(number);
        ASSERT_EQ(page.number(), number);
        const QList<uint> want = QString::fromStdString(expected).toUcs4();
        ASSERT_EQ(want.size(), 128) << number;
        for (int b = 0x80; b < 0x100; ++b) {
            const unsigned char byte = uint8_t(b);
            std::string got;
            page.decode(&byte, 1, got);
            EXPECT_EQ(QString::fromStdString(got).toUcs4(), QList<uint>{want[b - 0x80]})
                << "code page " << number << " byte 0x" << std::hex << b;
        }
    }
}

// In multi-byte text a lead byte without its trail byte is one U+FFFD and
// never takes the byte after it; single upper bytes keep their meaning.
TEST(CodePage, LeadBytesWithoutTrailByte)
{
    struct Case {
        int page;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {932, "A\x82", "A\uFFFD"},
        {932, "\x82\n\x82\xA0\xB1", "\uFFFD\n\u3042\uFF71"},
        {936, "\xD6\xD0\x80\xD0", "\u4E2D\u20AC\uFFFD"},
        {949, "\xB0\xA1\xB0", "\uAC00\uFFFD"},
        {949, "\x81_", "\uFFFD_"},
        {950, "\xA4\xA4\xA4", "\u4E2D\uFFFD"},
    };
    for (const Case &c : cases) {
        std::string got;
        paradox::CodePage::forNumber(c.page).decode(reinterpret_cast<const unsigned char *>(c.bytes.data()),
                                                    c.bytes.size(), got);
        EXPECT_EQ(got, c.text) << c.page;
    }
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
            changed.push_back(std::filesystem::relative(entry.path(), root).generic_string());
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
