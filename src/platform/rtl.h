// The runtime-library formatting the documents use: FormatFloat, FloatToStr, date and time texts, with the
// host's format settings (decimal and thousands separators, short date and time patterns).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace imp {

struct FormatSettings {
  char decimalSeparator = ',';
  char thousandSeparator = '.';
  std::string shortDate = "dd/mm/yyyy";
  std::string shortTime = "hh:nn:ss";
  // Money: the symbol (Windows-1252), where it stands beside a positive amount (currencyFormat 0 "$1", 1 "1$",
  // 2 "$ 1", 3 "1 $"), the form of a negative amount (negCurrFormat 0 to 15, the runtime's: 0 "($1)", 1 "-$1",
  // 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$", 6 "1-$", 7 "1$-", 8 "-1 $", 9 "-$ 1", 10 "1 $-", 11 "$ 1-", 12 "$ -1",
  // 13 "1- $", 14 "($ 1)", 15 "(1 $)") and the decimals. The defaults are the Brazilian ones: "R$ 1.500,00",
  // "-R$ 1,00".
  std::string currencyString = "R$";
  int currencyFormat = 2;
  int negCurrFormat = 9;
  int currencyDecimals = 2;
  // The separators '/' and ':' of a pattern stand for these; taken from the short patterns.
  char dateSeparator() const;
  char timeSeparator() const;
};

// The settings of the current host; the host layer installs them. Thread-safe.
FormatSettings current_format();
void set_current_format(const FormatSettings& fs);

// ---- date-time: a double counting days from 1899-12-30, the fraction being the time of day ----
double EncodeDate(int year, int month, int day);
double EncodeTime(int hour, int minute, int second, int millisecond);
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond);
struct DateTimeParts {
  int year, month, day, hour, minute, second, millisecond;
};
DateTimeParts DecodeDateTime(double dt);  // rounded to the millisecond
// "YYYY-MM-DDThh:mm:ss[.zzz]" (also with a blank instead of T, or the date alone); nullopt when malformed.
std::optional<double> ParseIsoDateTime(std::string_view text);
std::string FormatIsoDateTime(double dt);  // "YYYY-MM-DDThh:mm:ss", ".zzz" added when not zero

// ---- numbers ----
// Patterns of the documents: "#0.00", "0.00", "0.000", "0", "#,##0.00", "###,##0.00", "###,##0", "#,#00.00".
// Rounds half away from zero on the decimal value (15 significant digits), never on binary noise.
std::string FormatFloat(std::string_view pattern, double value, const FormatSettings& fs);
std::string FormatFloat(std::string_view pattern, double value);
// Shortest general form with up to 15 significant digits ("2,5", "3", "0,1"); exponent form beyond.
std::string FloatToStr(double value, const FormatSettings& fs);
std::string FloatToStr(double value);
// Fixed format: `digits` decimals, rounded half away from zero; precision is the significant digits kept.
std::string FloatToStrF(double value, int precision, int digits, const FormatSettings& fs);
std::string FloatToStrF(double value, int precision, int digits);
// Money in the currency format of the settings, with thousands separators and `digits` decimals (rounded half
// away from zero on the 15-significant-digit decimal value): "R$ 12.500,00", "-R$ 1,00". An amount that rounds
// to zero has no sign. The one routine every document formats money with. A currencyFormat or negCurrFormat
// out of range takes the default form.
std::string FormatCurrency(double value, int digits, const FormatSettings& fs);
std::string FormatCurrency(double value, int digits);
std::string FormatCurrency(double value);  // the settings' currencyDecimals
// A number written with either separator ("1,5", "1.5", "-2", " 3 "); nullopt when it is not a number.
std::optional<double> TryStrToFloat(std::string_view text, const FormatSettings& fs);
double StrToFloat(std::string_view text, const FormatSettings& fs);  // throws ConversionError
double StrToFloat(std::string_view text);

// ---- dates and times ----
std::string DateToStr(double dt, const FormatSettings& fs);
std::string DateToStr(double dt);
std::string TimeToStr(double dt, const FormatSettings& fs);
std::string TimeToStr(double dt);
// Date and time in the short formats; the time is left out when it is midnight, as the runtime does.
std::string DateTimeToStr(double dt, const FormatSettings& fs);
std::string DateTimeToStr(double dt);
// Patterns: d dd m mm yy yyyy h hh n nn s ss z zzz, any case; m/mm right after h/hh means minutes;
// '/' and ':' are the date and time separators; text in quotes is copied.
std::string FormatDateTime(std::string_view pattern, double dt, const FormatSettings& fs);
std::string FormatDateTime(std::string_view pattern, double dt);
// A date (and optional time) in the short formats, or ISO form; nullopt when it is not a date.
std::optional<double> TryStrToDateTime(std::string_view text, const FormatSettings& fs);

}  // namespace imp
