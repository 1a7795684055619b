// The host's text routines that lay out fixed-width printer lines. Texts are Windows-1252, one byte per
// column; widths count characters. A negative width gives the empty text where the result has a fixed
// width (TamFixo, TamFixoR, Replicate, Right) and the text unchanged where a longer text is kept whole.
#pragma once

#include <string>
#include <string_view>

#include "platform/variant.h"

namespace imp {

// `text` centred in `width` columns; when the blanks do not split evenly the extra one goes on the right.
// A text at least as wide is returned unchanged.
std::string Centraliza(std::string_view text, int width);
// `text` right-aligned in `width` columns (blanks on the left); a longer text is returned unchanged.
std::string PadL(std::string_view text, int width);
// `text` left-aligned in `width` columns (blanks on the right); a longer text is returned unchanged.
std::string PadR(std::string_view text, int width);
// Exactly `width` characters: left-aligned, blank-filled or cut on the right.
std::string TamFixo(std::string_view text, int width);
// Exactly `width` characters, right-aligned; a longer text keeps its first `width` characters.
std::string TamFixoR(std::string_view text, int width);
// `text` repeated `count` times; "" when count <= 0.
std::string Replicate(std::string_view text, int count);
std::string Replicate(char c, int count);
// The last `count` characters (the whole text when shorter).
std::string Right(std::string_view text, int count);
// A code filled with '0' on the left to `width` digits; a longer text is returned unchanged.
std::string Ajusta(std::string_view text, int width);
// Accented Latin letters of Windows-1252 replaced by their plain letters (both cases), the cedilla by c;
// every other byte, control bytes included, is left as it is.
std::string RemoveAcentos(std::string_view text);
// True for "" and for a text made only of blanks (' '). Control bytes are content: a text holding a
// printer command is not empty.
bool EmptyString(std::string_view text);
// `if_true` when the condition holds, else `if_false`.
Variant iif(bool condition, const Variant& if_true, const Variant& if_false);
// Truncated toward zero to two decimals, on the decimal value (0.29*100/100 stays 0.29).
double Trunc2(double value);
// Rounded half away from zero to `decimals` decimals, on the decimal value (2.675 gives 2.68).
double RoundDec(double value, int decimals);
// The first day of the month of a date-time, at 00:00.
double PriDiaMes(double date);
// A short pause of the calling thread between printer commands: `count` tenths of a second (callers pass 1
// and 3), scaled by IMP_PAUSE_SCALE like every pause of the documents.
void Delay(int count);

}  // namespace imp
