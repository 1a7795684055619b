// What imphost knows about each entry point of the library: how to pass the arguments of a job file and
// how to read what comes back.
#pragma once

#include <string_view>
#include <vector>

namespace imphost {

// How one parameter travels across the C ABI.
enum class Param {
  Bool,        // int32_t 0/1
  Int,         // int32_t
  Double,      // double
  DateTime,    // double, days from 1899-12-30
  Text,        // const char*, Windows-1252 (null in the job: NULL)
  WideText,    // const char*, UTF-8
  VarText,     // char**: the job's value goes in, the module's value comes out (released with imp_free)
  VarInt,      // int32_t*: the job's value goes in, the module's value comes out
  Variant,     // const imp_variant*
  VariantOut,  // imp_variant* the module fills (released with imp_variant_clear); takes no job argument
  JobArray,    // const imp_variant* items, int32_t count, imp_variant* result; the job's args are the items
};

// What the entry returns. Variant means a trailing imp_variant* out-parameter and no C return value.
enum class Result { None, Text, Int, Bool, Double, Variant };

struct Signature {
  std::string_view name;
  std::vector<Param> params;
  Result result = Result::None;
};

// The signature of an exported name, or nullptr when imphost does not know it.
const Signature* find_signature(std::string_view name);

// Every known signature, in table order.
const std::vector<Signature>& signatures();

}  // namespace imphost
