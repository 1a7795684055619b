#include "platform/variant.h"

#include <cmath>
#include <limits>

#include "platform/error.h"

namespace imp {

Variant Variant::null() {
  Variant v;
  v.type_ = Type::Null;
  return v;
}

Variant Variant::date_time(double dt) {
  Variant v;
  v.type_ = Type::DateTime;
  v.d_ = dt;
  return v;
}

Variant Variant::bytes(std::string data) {
  Variant v;
  v.type_ = Type::Bytes;
  v.s_ = std::move(data);
  return v;
}

Variant Variant::array(std::vector<Variant> items) {
  Variant v;
  v.type_ = Type::Array;
  v.a_ = std::make_shared<std::vector<Variant>>(std::move(items));
  return v;
}

const char* Variant::type_name(Type t) {
  switch (t) {
    case Type::Empty: return "Empty";
    case Type::Null: return "Null";
    case Type::Bool: return "Boolean";
    case Type::Int: return "Integer";
    case Type::Double: return "Double";
    case Type::DateTime: return "Date";
    case Type::Text: return "String";
    case Type::Bytes: return "Array of Byte";
    case Type::Array: return "Array of Variant";
  }
  return "?";
}

namespace {
[[noreturn]] void cannot(Variant::Type from, const char* to) {
  throw ConversionError(std::string("Could not convert variant of type (") + Variant::type_name(from) +
                        ") into type (" + to + ")");
}
[[noreturn]] void bad_text(const std::string& text, const char* to) {
  throw ConversionError("Could not convert variant of type (String) into type (" + std::string(to) + "): '" + text +
                        "'");
}

bool iequals(const std::string& a, const char* b) {
  std::size_t n = 0;
  for (; b[n]; ++n) {
    if (n >= a.size()) return false;
    char x = a[n], y = b[n];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return n == a.size();
}

std::string trim(const std::string& s) {
  auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}
}  // namespace

std::string Variant::to_text(const FormatSettings& fs) const {
  switch (type_) {
    case Type::Empty:
    case Type::Null: return {};
    case Type::Bool: return b_ ? "True" : "False";
    case Type::Int: return std::to_string(i_);
    case Type::Double: return FloatToStr(d_, fs);
    case Type::DateTime: return DateTimeToStr(d_, fs);
    case Type::Text: return s_;
    case Type::Bytes:
    case Type::Array: cannot(type_, "String");
  }
  return {};
}
std::string Variant::to_text() const {
  return to_text(current_format());
}

double Variant::to_double(const FormatSettings& fs) const {
  switch (type_) {
    case Type::Empty:
    case Type::Null: return 0;
    case Type::Bool: return b_ ? -1 : 0;
    case Type::Int: return i_;
    case Type::Double:
    case Type::DateTime: return d_;
    case Type::Text: {
      auto t = trim(s_);
      if (t.empty()) bad_text(s_, "Double");
      auto v = TryStrToFloat(t, fs);
      if (!v) bad_text(s_, "Double");
      return *v;
    }
    case Type::Bytes:
    case Type::Array: cannot(type_, "Double");
  }
  return 0;
}
double Variant::to_double() const {
  return to_double(current_format());
}

int32_t Variant::to_int() const {
  if (type_ == Type::Int) return i_;
  if (type_ == Type::Bytes || type_ == Type::Array) cannot(type_, "Integer");
  double d = to_double();
  if (!std::isfinite(d)) cannot(type_, "Integer");
  double r = std::nearbyint(d);  // default rounding mode: half to even
  if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
    throw ConversionError("Overflow while converting variant of type (" + std::string(type_name(type_)) +
                          ") into type (Integer)");
  return static_cast<int32_t>(r);
}

bool Variant::to_bool() const {
  switch (type_) {
    case Type::Empty:
    case Type::Null: return false;
    case Type::Bool: return b_;
    case Type::Int: return i_ != 0;
    case Type::Double:
    case Type::DateTime: return d_ != 0;
    case Type::Text: {
      auto t = trim(s_);
      if (iequals(t, "true")) return true;
      if (iequals(t, "false")) return false;
      auto v = TryStrToFloat(t, current_format());
      if (!v) bad_text(s_, "Boolean");
      return *v != 0;
    }
    case Type::Bytes:
    case Type::Array: cannot(type_, "Boolean");
  }
  return false;
}

double Variant::to_date_time(const FormatSettings& fs) const {
  switch (type_) {
    case Type::Empty:
    case Type::Null: return 0;
    case Type::Bool: return b_ ? -1 : 0;
    case Type::Int: return i_;
    case Type::Double:
    case Type::DateTime: return d_;
    case Type::Text: {
      auto v = TryStrToDateTime(trim(s_), fs);
      if (!v) bad_text(s_, "Date");
      return *v;
    }
    case Type::Bytes:
    case Type::Array: cannot(type_, "Date");
  }
  return 0;
}
double Variant::to_date_time() const {
  return to_date_time(current_format());
}

const std::string& Variant::text() const {
  if (type_ != Type::Text) cannot(type_, "String");
  return s_;
}
const std::string& Variant::bytes_value() const {
  if (type_ != Type::Bytes) cannot(type_, "Array of Byte");
  return s_;
}
const std::vector<Variant>& Variant::items() const {
  if (type_ != Type::Array) cannot(type_, "Array of Variant");
  return *a_;
}
std::vector<Variant>& Variant::items() {
  if (type_ != Type::Array) cannot(type_, "Array of Variant");
  if (a_.use_count() > 1) a_ = std::make_shared<std::vector<Variant>>(*a_);  // copy on write
  return *a_;
}

bool Variant::operator==(const Variant& o) const {
  if (type_ != o.type_) return false;
  switch (type_) {
    case Type::Empty:
    case Type::Null: return true;
    case Type::Bool: return b_ == o.b_;
    case Type::Int: return i_ == o.i_;
    case Type::Double:
    case Type::DateTime: return d_ == o.d_;
    case Type::Text:
    case Type::Bytes: return s_ == o.s_;
    case Type::Array: return *a_ == *o.a_;
  }
  return false;
}

}  // namespace imp
