#include "platform/filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/rtl.h"

namespace imp {
namespace {

using Strings = std::vector<std::string>;

// Rows identified by ID; nulls where a Variant() stands.
void make_rows(ClientDataSet& ds) {
  ds.AddFieldDef("ID", FieldType::String, 2);
  ds.AddFieldDef("CDPORIMPPROD", FieldType::String, 15);
  ds.AddFieldDef("NRSEQ", FieldType::String, 3);
  ds.AddFieldDef("IDPROMOCAO", FieldType::String, 1);
  ds.AddFieldDef("NOMEPRODPAI", FieldType::String, 50);
  ds.AddFieldDef("IDTIPOMOVIVE", FieldType::String, 1);
  ds.AddFieldDef("NMPRODUTO", FieldType::String, 50);
  ds.AddFieldDef("QT", FieldType::Float);
  ds.AddFieldDef("N", FieldType::Integer);
  ds.AddFieldDef("FLAG", FieldType::Boolean);
  ds.AddFieldDef("DT", FieldType::DateTime);
  ds.CreateDataSet();
  Variant null;
  ds.AppendRecord({"1", "P1", "", "", "", "E", "D'Avila", 5.0, 5, true, Variant::date_time(EncodeDate(2026, 12, 9))});
  ds.AppendRecord({"2", "P1", "001", "N", "", "T", "Suco", 2.5, null, false, null});
  ds.AppendRecord({"3", "P2", "001", "", "COMBO", "S", "X' OR 'a'='a", null, 7, null,
                   Variant::date_time(EncodeDate(2026, 11, 30))});
  ds.AppendRecord({"4", "p1", "002", "", "", "E", "Pão"_cp, 1.0, null, null, null});
}

Strings ids(ClientDataSet& ds) {
  Strings out;
  for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName("ID").AsString());
  return out;
}

TEST(Filter, Expressions) {
  ClientDataSet ds;
  make_rows(ds);
  ds.SetFiltered(true);
  struct Case {
    const char* expression;
    Strings expected;
  };
  const Case cases[] = {
      // Forms the documents write.
      {"CDPORIMPPROD = 'P1'AND NRSEQ = ''", {"1"}},
      {"IDPROMOCAO <>'' OR NOMEPRODPAI <>''", {"2", "3"}},
      {"NRSEQ = '001'", {"2", "3"}},
      {"IDTIPOMOVIVE = 'E' OR IDTIPOMOVIVE = 'T'", {"1", "2", "4"}},
      {"  CDPORIMPPROD   =  'P2'  ", {"3"}},
      {"'P2' = CDPORIMPPROD", {"3"}},
      // Precedence NOT > AND > OR, parentheses, keywords in any case.
      {"ID = '1' OR ID = '2' AND ID = '3'", {"1"}},
      {"(ID = '1' OR ID = '2') AND QT > 3", {"1"}},
      {"NOT ID = '1' AND NOT ID = '2'", {"3", "4"}},
      {"not (id = '1' or Id = '2')", {"3", "4"}},
      // Texts: exact bytes, '' escapes a quote, null equals ''.
      {"NMPRODUTO = 'D''Avila'", {"1"}},
      {"NRSEQ <> ''", {"2", "3", "4"}},
      {"NRSEQ IS NULL", {"1"}},
      {"CDPORIMPPROD < 'P2'", {"1", "2"}},
      // Numbers and dates: quoted literals convert, a null never compares.
      {"QT = '5'", {"1"}},
      {"N = 5", {"1"}},
      {"N <> 5", {"3"}},
      {"QT >= 2.5", {"1", "2"}},
      {"QT = N", {"1"}},
      {"N IS NOT NULL AND N = NULL", {}},
      {"N = NULL", {"2", "4"}},
      {"DT >= '2026-12-01'", {"1"}},
      {"DT < 46360", {"3"}},
      // Booleans.
      {"FLAG = TRUE", {"1"}},
      {"FLAG", {"1"}},
      {"FLAG = 'False'", {"2"}},
      {"", {"1", "2", "3", "4"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expression);
    ds.SetFilter(c.expression);
    EXPECT_EQ(ids(ds), c.expected);
  }

  ds.SetFilter("CDPORIMPPROD = 'P1' AND NMPRODUTO = 'PÃO'"_cp);
  EXPECT_EQ(ids(ds), Strings{});
  ds.SetFilterOptions({.caseInsensitive = true});
  EXPECT_EQ(ids(ds), (Strings{"4"}));
}

// A value built into an expression with QuotedStr stays one literal, whatever quotes it holds.
TEST(Filter, QuotedValuesCannotChangeTheExpression) {
  EXPECT_EQ(QuotedStr("D'Avila"), "'D''Avila'");
  EXPECT_EQ(QuotedStr(""), "''");
  ClientDataSet ds;
  make_rows(ds);
  ds.SetFilter("NMPRODUTO = " + QuotedStr("X' OR 'a'='a"));
  ds.SetFiltered(true);
  EXPECT_EQ(ids(ds), (Strings{"3"}));
  ds.SetFilter("NMPRODUTO = " + QuotedStr("D'Avila") + " AND CDPORIMPPROD = " + QuotedStr("P1"));
  EXPECT_EQ(ids(ds), (Strings{"1"}));
}

TEST(Filter, ErrorsNameTheExpressionOrTheField) {
  const char* syntax[] = {"ID = ",        "ID = 'abc", "(ID = '1'",  "ID == '1'", "ID = '1' AND",
                          "AND ID = '1'", "ID '1'",    "ID = '1' )", "ID IS 1",   "ID = 1.2.3"};
  for (const char* text : syntax) {
    SCOPED_TRACE(text);
    ClientDataSet ds;
    make_rows(ds);
    try {
      ds.SetFilter(text);
      FAIL() << "accepted";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("\"") + text + "\""), std::string::npos) << e.what();
    }
    EXPECT_EQ(ds.Filter(), "");
  }

  ClientDataSet ds;
  make_rows(ds);
  ds.SetFilter("NOPE = '1'");  // not in effect yet: fields are checked when it takes effect
  try {
    ds.SetFiltered(true);
    FAIL() << "unknown field accepted";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Field 'NOPE' not found");
  }
  EXPECT_FALSE(ds.Filtered());
  EXPECT_EQ(ds.RecordCount(), 4);

  ds.SetFilter("ID = '1'");
  ds.SetFiltered(true);
  EXPECT_THROW(ds.SetFilter("ID = '1' OR NOPE IS NULL"), Error);
  EXPECT_EQ(ds.Filter(), "ID = '1'");  // the previous filter stays
  EXPECT_EQ(ids(ds), (Strings{"1"}));
  EXPECT_THROW(ds.SetFilter("QT = 'abc'"), Error);  // a text that is no number against a number field
  EXPECT_THROW(ds.SetFilter("NMPRODUTO"), Error);   // a text field is no condition

  // Nesting without end is refused before anything recurses that deep; real depths pass.
  std::string chain = "ID = '1'";
  for (int i = 0; i < 20; ++i) chain = "NOT (" + chain + ") OR ID = '2'";
  EXPECT_NO_THROW(ds.SetFilter(chain));
  for (const std::string& deep : {std::string(100000, '(') + "ID = '1'" + std::string(100000, ')'), [] {
                                    std::string s = "ID = '1'";
                                    for (int i = 0; i < 100000; ++i) s += " AND ID = '1'";
                                    return s;
                                  }()}) {
    EXPECT_THROW(ds.SetFilter(deep), Error);
  }
  std::string nots;
  for (int i = 0; i < 100000; ++i) nots += "NOT ";
  EXPECT_THROW(ds.SetFilter(nots + "ID = '1'"), Error);
}

}  // namespace
}  // namespace imp
