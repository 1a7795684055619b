// Filter expressions of client datasets, and quoting of values that go into them.
//
// Grammar (keywords in any case, blanks free, `'P1'AND X = ''` is fine):
//   expr       := and-expr { OR and-expr }
//   and-expr   := not-expr { AND not-expr }
//   not-expr   := NOT not-expr | '(' expr ')' | operand [ IS [NOT] NULL | op operand ]
//   op         := = | <> | < | > | <= | >=
//   operand    := FIELD | [FIELD NAME] | 'text' ('' is a quote) | number ('.' decimal point) | TRUE | FALSE | NULL
// A lone operand is a condition only when it is a boolean field or TRUE/FALSE.
//
// Comparisons follow the field's type:
//   - texts compare as Windows-1252 bytes (or without case when asked); a null string field equals '';
//   - a numeric or date-time field compares as a number: a quoted literal is converted ('5' = 5; a date-time
//     field also takes a date text); a null value makes the comparison false;
//   - a boolean field compares with TRUE/FALSE (or 'True'/'False');
//   - X = NULL is X IS NULL and X <> NULL is X IS NOT NULL.
// Build expressions from data with QuotedStr: "NRSEQ = " + QuotedStr(value) keeps a value holding a quote
// inside its literal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/dataset.h"

namespace imp {

// The text between single quotes, each inner quote doubled: D'Avila -> 'D''Avila'.
std::string QuotedStr(std::string_view text);

// A parsed filter expression. Parse once; Bind resolves the field names against a dataset's fields and
// converts the literals once, so testing a row does no parsing.
class FilterExpression {
 public:
  // Error "Filter expression incorrectly formatted: ..." naming the expression on a syntax error.
  static FilterExpression Parse(std::string_view text);

  // Error "Field 'X' not found" for a field the list lacks; Error naming the expression for a literal that
  // does not fit its field ('abc' against a numeric field) or a lone operand that is no condition.
  void Bind(const std::vector<FieldDef>& fields, bool caseInsensitive);

  // Whether a row (values in the order of the bound fields) passes. A blank expression passes every row.
  bool Matches(const std::vector<FieldValue>& row) const;

  const std::string& Text() const { return text_; }
  bool Blank() const { return root_ < 0; }

  enum class CompareOp { Eq, Ne, Lt, Gt, Le, Ge };
  struct Operand {
    enum class Kind { Field, Text, Number, Bool, Null };
    Kind kind = Kind::Null;
    std::string text;  // the field name or the text literal
    double number = 0;
    bool boolean = false;
    int field = -1;  // once bound
    FieldType type = FieldType::String;
  };
  struct Node {
    enum class Kind { Or, And, Not, Compare, IsNull, IsNotNull, Truth, Never };
    enum class Mode { Text, Number, Bool };
    Kind kind = Kind::Never;
    int left = -1, right = -1;
    CompareOp op = CompareOp::Eq;
    Operand a, b;
    Mode mode = Mode::Text;
    bool caseInsensitive = false;
  };

 private:
  friend class FilterParser;
  bool eval(int node, const std::vector<FieldValue>& row) const;
  [[noreturn]] void fail(const std::string& why) const;

  std::string text_;
  std::vector<Node> nodes_;
  int root_ = -1;
};

}  // namespace imp
