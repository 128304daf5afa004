#include "source/paradox/codepagedetect.h"

#include "source/paradox/codepage.h"

#include <QChar>
#include <QString>

#include <uchardet.h>

#include <cstring>
#include <string>
#include <vector>

namespace tabulon::paradox {
namespace {

// The code pages Paradox writes, most common first: the order settles a
// sample that reads naturally in more than one (a short name).
constexpr int kCandidates[] = {1251, 1252, 1250, 866, 850, 437, 852, 865, 1253, 1254, 1257, 936, 950, 932, 949};

// Below this many bytes above 127 uchardet guesses rather than knows.
constexpr size_t kUchardetMinimum = 32;

struct Score {
    size_t words = 0; // words holding a character beyond ASCII
    size_t odd = 0;   // of them, words no language writes
    // The header's reading is given more benefit of the doubt than another's.
    bool plausible(bool header = false) const { return words <= 2 ? odd == 0 : odd * (header ? 4 : 10) <= words; }
};

enum class Alphabet { None, Latin, Cyrillic, Greek, Other };

Alphabet alphabetOf(char32_t c)
{
    if (c < 0x80)
        return Alphabet::Latin;
    switch (QChar::script(c)) {
    case QChar::Script_Latin: return Alphabet::Latin;
    case QChar::Script_Cyrillic: return Alphabet::Cyrillic;
    case QChar::Script_Greek: return Alphabet::Greek;
    default: return Alphabet::Other;
    }
}

bool isGreekTonos(char32_t c)
{
    switch (c) {
    case 0x386:
    case 0x388:
    case 0x389:
    case 0x38A:
    case 0x38C:
    case 0x38E:
    case 0x38F:
    case 0x390:
    case 0x3AC:
    case 0x3AD:
    case 0x3AE:
    case 0x3AF:
    case 0x3B0:
    case 0x3CC:
    case 0x3CD:
    case 0x3CE: return true;
    default: return false;
    }
}

// Marks that stand inside words of real text: dashes, quotes, the
// apostrophe, the middle dot, the soft hyphen.
bool isInnerMark(char32_t c) { return (c >= 0x2010 && c <= 0x201F) || c == 0xB7 || c == 0xAD; }

bool oddWord(const std::vector<char32_t> &w)
{
    bool asciiLetter = false;
    bool seen[5] = {};
    int latinRun = 0;
    bool smallInRun = false;
    int tonos = 0;
    size_t firstLetter = w.size(), lastLetter = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        if (QChar::isLetter(w[i])) {
            firstLetter = std::min(firstLetter, i);
            lastLetter = i;
        }
    }
    for (size_t i = 0; i < w.size(); ++i) {
        const char32_t c = w[i];
        if (c == 0xFFFD || (c >= 0x80 && c < 0xA0))
            return true;
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Other_Control || category == QChar::Other_NotAssigned ||
            category == QChar::Other_PrivateUse)
            return true;
        if (!QChar::isLetter(c)) {
            if (c >= 0x80 && i > firstLetter && i < lastLetter && !QChar::isMark(c) && !isInnerMark(c))
                return true;
            latinRun = 0;
            smallInRun = false;
            continue;
        }
        const Alphabet a = alphabetOf(c);
        // An ideograph between two Latin letters is two Western bytes read
        // as one East Asian character.
        if (a == Alphabet::Other && i > 0 && i + 1 < w.size() && w[i - 1] < 0x80 && w[i + 1] < 0x80)
            return true;
        if (c < 0x80)
            asciiLetter = true;
        else
            seen[int(a)] = true;
        // Accented capitals may run ("ÆØÅ"); three accented letters with a
        // small one among them no Western word has.
        const bool accented = a == Alphabet::Latin && c >= 0x80;
        latinRun = accented ? latinRun + 1 : 0;
        smallInRun = accented && (smallInRun || QChar::isLower(c));
        if (latinRun >= 3 && smallInRun)
            return true;
        if (isGreekTonos(c) && ++tonos > 1)
            return true;
        // Final sigma inside a word.
        if (c == 0x3C2 && i + 1 < w.size() && QChar::isLetter(w[i + 1]))
            return true;
        if (i > 0 && QChar::isUpper(c) && QChar::isLower(w[i - 1]) && (c >= 0x80 || w[i - 1] >= 0x80))
            return true;
    }
    if (asciiLetter && !seen[int(Alphabet::Other)])
        seen[int(Alphabet::Latin)] = true;
    int alphabets = 0;
    for (bool s : seen)
        alphabets += s;
    return alphabets > 1;
}

Score score(std::string_view sample, int number)
{
    std::string utf8;
    CodePage::forNumber(number).decode(reinterpret_cast<const unsigned char *>(sample.data()), sample.size(), utf8);
    const std::u32string text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU32String();
    Score s;
    std::vector<char32_t> word;
    bool beyondAscii = false;
    auto endWord = [&] {
        if (beyondAscii) {
            ++s.words;
            s.odd += oddWord(word);
        }
        word.clear();
        beyondAscii = false;
    };
    for (char32_t c : text) {
        // East Asian text has no blanks: its punctuation ends words.
        const bool cjkPunctuation = (c >= 0x3000 && c <= 0x303F) ||
                                    (c >= 0xFF00 && c <= 0xFF65 && !QChar::isLetterOrNumber(c));
        const bool inWord = c < 0x80 ? ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') : !QChar::isSpace(c) && !cjkPunctuation;
        if (!inWord) {
            endWord();
            continue;
        }
        word.push_back(c);
        beyondAscii = beyondAscii || c >= 0x80;
    }
    endWord();
    return s;
}

int fromUchardetName(const char *name)
{
    static const struct {
        const char *name;
        int number;
    } names[] = {{"WINDOWS-1251", 1251}, {"IBM866", 866},        {"WINDOWS-1252", 1252}, {"ISO-8859-1", 1252},
                 {"ISO-8859-15", 1252},  {"WINDOWS-1250", 1250}, {"ISO-8859-2", 1250},   {"IBM852", 852},
                 {"IBM865", 865},        {"WINDOWS-1253", 1253}, {"ISO-8859-7", 1253},   {"WINDOWS-1254", 1254},
                 {"ISO-8859-9", 1254},   {"WINDOWS-1257", 1257}, {"ISO-8859-13", 1257},  {"ISO-8859-4", 1257},
                 {"SHIFT_JIS", 932},     {"GB18030", 936},       {"BIG5", 950},          {"EUC-KR", 949},
                 {"UHC", 949},           {"CP949", 949}};
    for (const auto &n : names)
        if (strcasecmp(n.name, name) == 0)
            return n.number;
    return 0;
}

int uchardetGuess(std::string_view sample)
{
    uchardet_t detector = uchardet_new();
    if (!detector)
        return 0;
    int number = 0;
    if (uchardet_handle_data(detector, sample.data(), sample.size()) == 0) {
        uchardet_data_end(detector);
        const char *name = uchardet_get_charset(detector);
        number = name ? fromUchardetName(name) : 0;
    }
    uchardet_delete(detector);
    return number;
}

} // namespace

bool ReadsNaturally(std::string_view sample, int number, bool header)
{
    return score(sample, number).plausible(header);
}

int DetectCodePage(std::string_view sample, int header)
{
    size_t high = 0;
    for (unsigned char c : sample)
        high += c >= 0x80;
    if (high == 0 || ReadsNaturally(sample, header, true))
        return header;
    if (high >= kUchardetMinimum) {
        const int guess = uchardetGuess(sample);
        if (guess && guess != header && ReadsNaturally(sample, guess))
            return guess;
    }
    int best = header;
    Score bestScore;
    for (int number : kCandidates) {
        if (number == header)
            continue;
        const Score s = score(sample, number);
        if (s.plausible() && (best == header || s.odd * bestScore.words < bestScore.odd * s.words)) {
            best = number;
            bestScore = s;
        }
    }
    return best;
}

} // namespace tabulon::paradox
