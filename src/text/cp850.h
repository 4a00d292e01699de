// Code page 850: the program's single-byte texts, and the rules every layer
// shares to compare and size them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qp {

// Byte -> Unicode. Bytes 0x01-0x1F and 0x7F give their PC glyphs, so that
// every cell read back from the console converts to the same byte.
char32_t Cp850ToUnicode(unsigned char byte);
// Unicode -> byte; characters outside the code page give `fallback`.
unsigned char UnicodeToCp850(char32_t ch, unsigned char fallback = '?');

std::u32string Cp850ToU32(std::string_view text);
std::string U32ToCp850(std::u32string_view text);
std::string Cp850ToUtf8(std::string_view text);
std::string Utf8ToCp850(std::string_view utf8);
// The same when every character has a byte in code page 850; nothing for a
// text that is no UTF-8 or holds a character the code page lacks.
std::optional<std::string> Utf8ToCp850Exactly(std::string_view utf8);

// Every control byte (below 0x20, and 0x7F) as a blank: a text from a file or
// a variable as it may go to a printer or a terminal, where such a byte
// would be a command.
std::string ControlBytesAsBlanks(std::string_view text);

// The shared upper-case rule for comparing names and code letters:
// a-z and the small letters ä ö ü é ñ å ç become their capitals.
unsigned char UpperForCompare(unsigned char byte);
std::string UpperForCompare(std::string_view text);

// Leading and trailing blanks (0x20 only) removed.
std::string TrimBlanks(std::string_view text);
std::string TrimTrailingBlanks(std::string_view text);
// True for an empty text or one made only of blanks.
bool IsBlank(std::string_view text);

// A fixed-width value: left-aligned, padded with blanks and cut to width.
std::string FitWidth(std::string_view text, std::size_t width);

// The numeric value a text begins with (leading blanks skipped, an optional
// sign, then digits); 0 when it does not begin with a number. Saturates at the
// 32-bit range instead of overflowing.
long NumericValue(std::string_view text);

}  // namespace qp
