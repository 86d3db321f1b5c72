// The text rules of the results workbook: what may go into a sheet name or a cell, and when two
// sheet names belong to the same pupil.
//
// Spreadsheet programs disagree about names that the file format itself allows. Gnumeric
// refuses a whole file when one name holds a control character and merges sheets whose names
// differ only in letter case; LibreOffice renames or drops sheets whose names are empty, hold
// one of : \ / ? * [ ] or begin or end with an apostrophe; Excel takes at most 31 characters.
// The rules below keep every name inside what all of them accept.
#pragma once

#include <string>
#include <string_view>

namespace workbook {

// What every sheet name and cell text goes through: a double quotation mark becomes an
// apostrophe; tabs and line breaks become spaces; other control characters and whatever XML
// cannot carry (lone surrogates, U+FFFE, U+FFFF, values beyond U+10FFFF) are dropped. Every
// other character is kept as it is.
std::wstring CleanText(std::wstring_view text);

// The sheet name for a typed pupil name: CleanText, then each of : \ / ? * [ ] becomes '_',
// spaces and apostrophes are trimmed from both ends, the name is cut to 31 UTF-16 units (what
// Excel counts) without splitting a character from the marks that combine with it, and an
// empty result becomes "Ученик".
std::wstring SheetName(std::wstring_view typed);

// Lower case for comparing names: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic
// (Ё included). Other characters are compared as they are. Independent of the C locale.
std::wstring FoldCase(std::wstring_view text);

// True when `text` is a decimal number as the workbook's Number cells hold them: an optional
// sign, digits with an optional '.' and fraction, an optional exponent. No spaces.
bool IsNumber(std::wstring_view text);

// Spaces at both ends removed (the same spaces the name rule trims).
std::wstring_view TrimSpaces(std::wstring_view text);

}  // namespace workbook
