#pragma once

#include <string_view>

namespace tabulon::paradox {

// Text bytes of a table worth looking at: values holding a byte above 127,
// each followed by '\n'. A sample of this many bytes decides.
inline constexpr size_t kCodePageSampleBytes = 256 * 1024;

// True when `sample` reads as natural text in code page `number`: no
// undefined or control characters, no letters of two alphabets or stray
// symbols inside one word, no runs of accented letters that no Western
// language writes. Tolerates a few odd words in a large sample, more of
// them for the code page the header names.
bool ReadsNaturally(std::string_view sample, int number, bool header = false);

// The code page to read a table's text in: `header` whenever its text is
// plausible in it (plain ASCII always is); otherwise the one code page
// Paradox writes that reads it naturally, preferring the one uchardet
// names; `header` again when none does.
int DetectCodePage(std::string_view sample, int header);

} // namespace tabulon::paradox
