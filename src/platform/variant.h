// A variant with the usual conversion rules between text, numbers, booleans and date-times:
// - number to text: shortest form with the host's decimal separator; boolean to text "True"/"False";
//   date-time to text in the short formats;
// - text to number with either separator; "True"/"False" to boolean; "S"/"N" are texts, never booleans;
// - empty or null to text "", to number 0, to boolean false;
// - bytes and arrays become no text or number: asking is a ConversionError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl.h"

namespace imp {

class Variant {
 public:
  enum class Type { Empty, Null, Bool, Int, Double, DateTime, Text, Bytes, Array };

  Variant() = default;
  Variant(bool b) : type_(Type::Bool), b_(b) {}
  Variant(int32_t i) : type_(Type::Int), i_(i) {}
  Variant(double d) : type_(Type::Double), d_(d) {}
  Variant(std::string text) : type_(Type::Text), s_(std::move(text)) {}
  Variant(const char* text) : type_(Type::Text), s_(text ? text : "") {}
  static Variant null();
  static Variant date_time(double dt);
  static Variant bytes(std::string data);
  static Variant array(std::vector<Variant> items);

  Type type() const { return type_; }
  bool is_empty() const { return type_ == Type::Empty; }
  bool is_null() const { return type_ == Type::Null; }
  bool is_unassigned() const { return type_ == Type::Empty || type_ == Type::Null; }
  bool is_text() const { return type_ == Type::Text; }
  bool is_number() const { return type_ == Type::Int || type_ == Type::Double; }

  // Conversions; a value that does not convert throws ConversionError.
  std::string to_text(const FormatSettings& fs) const;
  std::string to_text() const;
  double to_double(const FormatSettings& fs) const;
  double to_double() const;
  int32_t to_int() const;  // rounds half to even, as the runtime does
  bool to_bool() const;    // numbers: not zero; texts: "True"/"False" or a number
  double to_date_time(const FormatSettings& fs) const;
  double to_date_time() const;

  // Raw access; throws ConversionError when the variant holds another kind.
  const std::string& text() const;  // Text only
  const std::string& bytes_value() const;
  const std::vector<Variant>& items() const;
  std::vector<Variant>& items();

  // Same kind and value (texts compare exactly).
  bool operator==(const Variant& other) const;

  static const char* type_name(Type t);

 private:
  Type type_ = Type::Empty;
  bool b_ = false;
  int32_t i_ = 0;
  double d_ = 0;
  std::string s_;  // Text and Bytes
  std::shared_ptr<std::vector<Variant>> a_;
};

using VariantArray = std::vector<Variant>;

}  // namespace imp
