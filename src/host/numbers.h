// Small number and document utilities of the tickets: an amount in Spanish words, the greatest common
// divisor of the fraction display, and the punctuation of a Brazilian taxpayer number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace imp {

// The amount in upper-case Spanish words, cents after "COMA" ("DOCE COMA CINCUENTA"); Windows-1252 text
// (the accented e of "dieciséis" stays lower-case). Amounts up to 999,999,999,999.99 are read, millions
// included ("UN MILLON", "DOS MILLONES QUINIENTOS MIL"); a negative amount, a larger one, NaN or an
// infinity give "".
std::string NumeroEnLetras(double amount);

// Greatest common divisor by Euclid's remainders; MDC(a, 0) is a. The sign follows the remainders
// (MDC(4, -6) is -2).
int32_t MDC(int32_t a, int32_t b);

// "12345678901" -> "123.456.789-01" (11 characters: a CPF); any other length is punctuated as a CNPJ:
// "12345678000190" -> "12.345.678/0001-90". The text is not checked; missing positions give empty pieces.
std::string formataCPFCNPJ(std::string_view digits);

}  // namespace imp
