#include "platform/filter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "platform/error.h"
#include "platform/rtl.h"

namespace imp {

std::string QuotedStr(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '\'';
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

namespace {

char upper_ascii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper_ascii(a[i]) != upper_ascii(b[i])) return false;
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

// A number written with '.' or ',' as decimal point; nullopt for anything else (the empty text included).
std::optional<double> parse_number(std::string_view s) {
  s = trim(s);
  if (s.empty()) return std::nullopt;
  std::string t(s);
  for (char& c : t)
    if (c == ',') c = '.';
  std::size_t start = t[0] == '+' ? 1 : 0;
  double v = 0;
  auto [end, ec] = std::from_chars(t.data() + start, t.data() + t.size(), v);
  if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<bool> parse_bool(std::string_view s) {
  s = trim(s);
  if (iequals(s, "true")) return true;
  if (iequals(s, "false")) return false;
  return std::nullopt;
}

bool is_ident_start(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool is_ident_char(char c) {
  return is_ident_start(c) || (c >= '0' && c <= '9');
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

using Operand = FilterExpression::Operand;
using Node = FilterExpression::Node;
using CompareOp = FilterExpression::CompareOp;

}  // namespace

// Recursive descent over the expression text, building the node list of the expression.
class FilterParser {
 public:
  FilterParser(FilterExpression& out, std::string_view text) : out_(out), s_(text) {}

  void run() {
    skip();
    if (p_ == s_.size()) return;  // blank: no filtering
    out_.root_ = parse_or();
    skip();
    if (p_ != s_.size()) error("unexpected text");
  }

 private:
  [[noreturn]] void error(const std::string& what) const { out_.fail(what + " at position " + std::to_string(p_ + 1)); }

  void skip() {
    while (p_ < s_.size() && static_cast<unsigned char>(s_[p_]) <= ' ') ++p_;
  }

  // The keyword `kw` at the cursor as a whole word, consumed when present.
  bool keyword(std::string_view kw) {
    skip();
    if (s_.size() - p_ < kw.size() || !iequals(s_.substr(p_, kw.size()), kw)) return false;
    if (p_ + kw.size() < s_.size() && is_ident_char(s_[p_ + kw.size()])) return false;
    p_ += kw.size();
    return true;
  }

  // Expressions are built by the documents and hold a few terms; one nested without end (or a chain of
  // thousands of terms) is refused before evaluating it could exhaust the stack.
  static constexpr int kMaxDepth = 128;

  int add(Node n) {
    auto depth_of = [this](int i) { return i < 0 ? 0 : depth_[static_cast<std::size_t>(i)]; };
    const int depth = 1 + std::max(depth_of(n.left), depth_of(n.right));
    if (depth > kMaxDepth) error("expression nested too deep");
    out_.nodes_.push_back(std::move(n));
    depth_.push_back(depth);
    return static_cast<int>(out_.nodes_.size()) - 1;
  }

  int parse_or() {
    int left = parse_and();
    while (keyword("OR")) {
      Node n;
      n.kind = Node::Kind::Or;
      n.left = left;
      n.right = parse_and();
      left = add(std::move(n));
    }
    return left;
  }

  int parse_and() {
    int left = parse_not();
    while (keyword("AND")) {
      Node n;
      n.kind = Node::Kind::And;
      n.left = left;
      n.right = parse_not();
      left = add(std::move(n));
    }
    return left;
  }

  int parse_not() {
    if (++nesting_ > kMaxDepth) error("expression nested too deep");
    struct Leave {
      int& n;
      ~Leave() { --n; }
    } leave{nesting_};
    if (keyword("NOT")) {
      Node n;
      n.kind = Node::Kind::Not;
      n.left = parse_not();
      return add(std::move(n));
    }
    skip();
    if (p_ < s_.size() && s_[p_] == '(') {
      ++p_;
      int inner = parse_or();
      skip();
      if (p_ >= s_.size() || s_[p_] != ')') error("expected ')'");
      ++p_;
      return inner;
    }
    return parse_condition();
  }

  int parse_condition() {
    Node n;
    n.a = parse_operand();
    if (keyword("IS")) {
      n.kind = keyword("NOT") ? Node::Kind::IsNotNull : Node::Kind::IsNull;
      if (!keyword("NULL")) error("expected NULL");
      return add(std::move(n));
    }
    auto op = parse_op();
    if (!op) {
      n.kind = Node::Kind::Truth;  // a lone boolean field or TRUE/FALSE; checked when bound
      return add(std::move(n));
    }
    n.kind = Node::Kind::Compare;
    n.op = *op;
    n.b = parse_operand();
    return add(std::move(n));
  }

  std::optional<CompareOp> parse_op() {
    skip();
    if (p_ >= s_.size()) return std::nullopt;
    char c = s_[p_];
    char d = p_ + 1 < s_.size() ? s_[p_ + 1] : '\0';
    if (c == '=') {
      p_ += 1;
      return CompareOp::Eq;
    }
    if (c == '<') {
      if (d == '>') return p_ += 2, CompareOp::Ne;
      if (d == '=') return p_ += 2, CompareOp::Le;
      return p_ += 1, CompareOp::Lt;
    }
    if (c == '>') {
      if (d == '=') return p_ += 2, CompareOp::Ge;
      return p_ += 1, CompareOp::Gt;
    }
    return std::nullopt;
  }

  Operand parse_operand() {
    skip();
    if (p_ >= s_.size()) error("expected a field or a value");
    Operand o;
    char c = s_[p_];
    if (c == '\'') {
      o.kind = Operand::Kind::Text;
      ++p_;
      for (;;) {
        if (p_ >= s_.size()) error("unterminated text");
        if (s_[p_] == '\'') {
          if (p_ + 1 < s_.size() && s_[p_ + 1] == '\'') {
            o.text += '\'';
            p_ += 2;
            continue;
          }
          ++p_;
          break;
        }
        o.text += s_[p_++];
      }
      return o;
    }
    if (c == '[') {
      std::size_t close = s_.find(']', p_ + 1);
      if (close == std::string_view::npos) error("expected ']'");
      o.kind = Operand::Kind::Field;
      o.text = std::string(trim(s_.substr(p_ + 1, close - p_ - 1)));
      if (o.text.empty()) error("expected a field name");
      p_ = close + 1;
      return o;
    }
    if (is_digit(c) || c == '.' ||
        ((c == '-' || c == '+') && p_ + 1 < s_.size() && (is_digit(s_[p_ + 1]) || s_[p_ + 1] == '.'))) {
      std::size_t start = p_;
      if (c == '-' || c == '+') ++p_;
      while (p_ < s_.size() && is_digit(s_[p_])) ++p_;
      if (p_ < s_.size() && s_[p_] == '.') {
        ++p_;
        while (p_ < s_.size() && is_digit(s_[p_])) ++p_;
      }
      if (p_ < s_.size() && (s_[p_] == 'e' || s_[p_] == 'E')) {
        std::size_t q = p_ + 1;
        if (q < s_.size() && (s_[q] == '+' || s_[q] == '-')) ++q;
        if (q < s_.size() && is_digit(s_[q])) {
          p_ = q;
          while (p_ < s_.size() && is_digit(s_[p_])) ++p_;
        }
      }
      auto v = parse_number(s_.substr(start, p_ - start));
      if (!v) {
        p_ = start;
        error("malformed number");
      }
      o.kind = Operand::Kind::Number;
      o.number = *v;
      return o;
    }
    if (is_ident_start(c)) {
      std::size_t start = p_;
      while (p_ < s_.size() && is_ident_char(s_[p_])) ++p_;
      std::string_view word = s_.substr(start, p_ - start);
      if (iequals(word, "NULL")) {
        o.kind = Operand::Kind::Null;
      } else if (iequals(word, "TRUE") || iequals(word, "FALSE")) {
        o.kind = Operand::Kind::Bool;
        o.boolean = iequals(word, "TRUE");
      } else if (iequals(word, "AND") || iequals(word, "OR") || iequals(word, "NOT") || iequals(word, "IS")) {
        p_ = start;
        error("expected a field or a value");
      } else {
        o.kind = Operand::Kind::Field;
        o.text = std::string(word);
      }
      return o;
    }
    error("expected a field or a value");
  }

  FilterExpression& out_;
  std::string_view s_;
  std::size_t p_ = 0;
  int nesting_ = 0;         // NOT and '(' open at the cursor
  std::vector<int> depth_;  // depth of each node built
};

FilterExpression FilterExpression::Parse(std::string_view text) {
  FilterExpression e;
  e.text_ = std::string(text);
  FilterParser(e, e.text_).run();
  return e;
}

void FilterExpression::fail(const std::string& why) const {
  throw Error("Filter expression incorrectly formatted: \"" + text_ + "\" (" + why + ")");
}

namespace {

enum class Kind { Text, Number, Bool };

Kind kind_of(const Operand& o) {
  switch (o.kind) {
    case Operand::Kind::Field:
      switch (o.type) {
        case FieldType::String: return Kind::Text;
        case FieldType::Boolean: return Kind::Bool;
        default: return Kind::Number;
      }
    case Operand::Kind::Number: return Kind::Number;
    case Operand::Kind::Bool: return Kind::Bool;
    default: return Kind::Text;
  }
}

}  // namespace

void FilterExpression::Bind(const std::vector<FieldDef>& fields, bool caseInsensitive) {
  auto resolve = [&](Operand& o) {
    if (o.kind != Operand::Kind::Field) return;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (iequals(fields[i].name, o.text)) {
        o.field = static_cast<int>(i);
        o.type = fields[i].type;
        return;
      }
    }
    throw Error("Field '" + o.text + "' not found");
  };
  // A text literal compared with a number or a date-time field becomes a number once, here.
  auto to_number = [&](Operand& lit, const Operand& other) {
    if (lit.kind != Operand::Kind::Text) return;
    std::optional<double> v;
    if (other.kind == Operand::Kind::Field && other.type == FieldType::DateTime) {
      v = ParseIsoDateTime(trim(lit.text));
      if (!v) v = TryStrToDateTime(trim(lit.text), current_format());
    }
    if (!v) v = parse_number(lit.text);
    if (!v) fail("'" + lit.text + "' is not a number");
    lit.kind = Operand::Kind::Number;
    lit.number = *v;
  };
  auto to_bool = [&](Operand& lit) {
    if (lit.kind == Operand::Kind::Text) {
      auto b = parse_bool(lit.text);
      if (!b) fail("'" + lit.text + "' is not a boolean");
      lit.boolean = *b;
    } else if (lit.kind == Operand::Kind::Number) {
      lit.boolean = lit.number != 0;
    } else {
      return;
    }
    lit.kind = Operand::Kind::Bool;
  };

  for (auto& n : nodes_) {
    resolve(n.a);
    resolve(n.b);
    n.caseInsensitive = caseInsensitive;
    if (n.kind == Node::Kind::Truth) {
      bool ok = (n.a.kind == Operand::Kind::Field && n.a.type == FieldType::Boolean) || n.a.kind == Operand::Kind::Bool;
      if (!ok) fail("'" + n.a.text + "' is not a condition");
      continue;
    }
    if (n.kind != Node::Kind::Compare) continue;
    bool aNull = n.a.kind == Operand::Kind::Null, bNull = n.b.kind == Operand::Kind::Null;
    if (aNull || bNull) {
      // X = NULL tests for null; other comparisons with NULL are never true.
      if (n.op == CompareOp::Eq || n.op == CompareOp::Ne) {
        if (aNull) std::swap(n.a, n.b);
        n.kind = n.op == CompareOp::Eq ? Node::Kind::IsNull : Node::Kind::IsNotNull;
      } else {
        n.kind = Node::Kind::Never;
      }
      continue;
    }
    Kind ka = kind_of(n.a), kb = kind_of(n.b);
    if (ka == Kind::Bool || kb == Kind::Bool) {
      n.mode = Node::Mode::Bool;
      to_bool(n.a);
      to_bool(n.b);
    } else if (ka == Kind::Number || kb == Kind::Number) {
      n.mode = Node::Mode::Number;
      to_number(n.a, n.b);
      to_number(n.b, n.a);
    } else {
      n.mode = Node::Mode::Text;
    }
  }
}

namespace {

std::optional<double> number_of(const Operand& o, const std::vector<FieldValue>& row) {
  if (o.kind != Operand::Kind::Field) return o.number;
  const FieldValue& v = row[o.field];
  if (auto d = std::get_if<double>(&v)) return *d;
  if (auto i = std::get_if<int32_t>(&v)) return *i;
  if (auto s = std::get_if<std::string>(&v)) return parse_number(*s);
  if (auto b = std::get_if<bool>(&v)) return *b ? -1.0 : 0.0;
  return std::nullopt;
}

std::optional<bool> bool_of(const Operand& o, const std::vector<FieldValue>& row) {
  if (o.kind != Operand::Kind::Field) return o.boolean;
  const FieldValue& v = row[o.field];
  if (auto b = std::get_if<bool>(&v)) return *b;
  if (auto s = std::get_if<std::string>(&v)) return parse_bool(*s);
  if (auto d = std::get_if<double>(&v)) return *d != 0;
  if (auto i = std::get_if<int32_t>(&v)) return *i != 0;
  return std::nullopt;
}

std::string_view text_of(const Operand& o, const std::vector<FieldValue>& row) {
  if (o.kind != Operand::Kind::Field) return o.text;
  if (auto s = std::get_if<std::string>(&row[o.field])) return *s;
  return {};  // a null string field reads as ''
}

bool apply(CompareOp op, int c) {
  switch (op) {
    case CompareOp::Eq: return c == 0;
    case CompareOp::Ne: return c != 0;
    case CompareOp::Lt: return c < 0;
    case CompareOp::Gt: return c > 0;
    case CompareOp::Le: return c <= 0;
    case CompareOp::Ge: return c >= 0;
  }
  return false;
}

}  // namespace

bool FilterExpression::eval(int index, const std::vector<FieldValue>& row) const {
  const Node& n = nodes_[index];
  switch (n.kind) {
    case Node::Kind::Or: return eval(n.left, row) || eval(n.right, row);
    case Node::Kind::And: return eval(n.left, row) && eval(n.right, row);
    case Node::Kind::Not: return !eval(n.left, row);
    case Node::Kind::Never: return false;
    case Node::Kind::IsNull:
    case Node::Kind::IsNotNull: {
      bool null = n.a.kind == Operand::Kind::Null ||
                  (n.a.kind == Operand::Kind::Field && std::holds_alternative<std::monostate>(row[n.a.field]));
      return n.kind == Node::Kind::IsNull ? null : !null;
    }
    case Node::Kind::Truth: return bool_of(n.a, row).value_or(false);
    case Node::Kind::Compare:
      switch (n.mode) {
        case Node::Mode::Text: return apply(n.op, CompareText(text_of(n.a, row), text_of(n.b, row), n.caseInsensitive));
        case Node::Mode::Number: {
          auto x = number_of(n.a, row), y = number_of(n.b, row);
          if (!x || !y) return false;
          return apply(n.op, *x < *y ? -1 : (*x > *y ? 1 : 0));
        }
        case Node::Mode::Bool: {
          auto x = bool_of(n.a, row), y = bool_of(n.b, row);
          if (!x || !y) return false;
          return apply(n.op, static_cast<int>(*x) - static_cast<int>(*y));
        }
      }
  }
  return false;
}

bool FilterExpression::Matches(const std::vector<FieldValue>& row) const {
  return root_ < 0 || eval(root_, row);
}

}  // namespace imp
