#include "platform/dataset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/cp1252.h"
#include "platform/error.h"

namespace imp {
namespace {

// Order rows: production port, seat, item number, name, quantity.
void make_orders(ClientDataSet& ds) {
  ds.AddFieldDef("CDPORIMPPROD", FieldType::String, 15);
  ds.AddFieldDef("NRLUGARMESA", FieldType::String, 4);
  ds.AddFieldDef("NRSEQITEM", FieldType::Integer);
  ds.AddFieldDef("NMPRODUTO", FieldType::String, 10);
  ds.AddFieldDef("QTPRODCOMVEN", FieldType::Float);
  ds.CreateDataSet();
}

std::vector<std::string> column(ClientDataSet& ds, const char* field) {
  std::vector<std::string> out;
  for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName(field).AsString());
  return out;
}

using Strings = std::vector<std::string>;

TEST(ClientDataSet, FieldsStoreTypedValuesAndRefuseWritesOutsideEditing) {
  ClientDataSet ds;
  make_orders(ds);
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_EQ(ds.RecNo(), 0);
  EXPECT_TRUE(ds.FieldByName("NMPRODUTO").IsNull());  // no current row: null

  ds.Append();
  ds.FieldByName("nmproduto").SetAsString("HAMBURGUER DUPLO");  // names match regardless of case; cut to 10
  ds.FieldByName("NRSEQITEM") = 7;
  ds.FieldByName("QTPRODCOMVEN").SetAsString("1,5");  // text to number with either separator
  ds.FieldByName("NRLUGARMESA").SetAsString("");      // stored as null
  ds.Post();

  EXPECT_EQ(ds.FieldByName("NMPRODUTO").AsString(), "HAMBURGUER");
  EXPECT_EQ(ds.FieldByName("NRSEQITEM").AsString(), "7");
  EXPECT_DOUBLE_EQ(ds.FieldByName("QTPRODCOMVEN").AsFloat(), 1.5);
  EXPECT_TRUE(ds.FieldByName("NRLUGARMESA").IsNull());
  EXPECT_EQ(ds.FieldByName("NRLUGARMESA").AsString(), "");
  EXPECT_TRUE(ds.FieldByName("CDPORIMPPROD").AsVariant().is_null());
  EXPECT_EQ(ds.RecNo(), 1);

  try {
    ds.FieldByName("NMPRODUTO").SetAsString("X");
    FAIL() << "write outside edit mode";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Dataset not in edit or insert mode");
  }
  try {
    ds.FieldByName("NoSuchField");
    FAIL() << "missing field";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Field 'NoSuchField' not found");
  }
  EXPECT_EQ(ds.FindField("NoSuchField"), nullptr);

  ds.Edit();
  EXPECT_THROW(ds.FieldByName("NRSEQITEM").SetAsString("abc"), ConversionError);
  EXPECT_THROW(ds.FieldByName("NRSEQITEM").SetAsFloat(3e10), ConversionError);  // beyond 32 bits
  ds.FieldByName("NMPRODUTO").SetAsString(std::string("AB\0CD", 5));            // a NUL ends the text
  ds.Post();
  EXPECT_EQ(ds.FieldByName("NMPRODUTO").AsString(), "AB");
}

TEST(ClientDataSet, AppendPostCancelAndUntouchedAppend) {
  ClientDataSet ds;
  make_orders(ds);
  ds.AppendRecord({"P1", "01", 1});
  ds.AppendRecord({"P2", "01", 2});

  ds.Append();
  ds.FieldByName("CDPORIMPPROD").SetAsString("P3");
  ds.Cancel();
  EXPECT_EQ(ds.RecordCount(), 2);

  ds.Append();  // nothing written: moving the cursor drops it
  ds.First();
  EXPECT_EQ(ds.RecordCount(), 2);

  ds.Append();  // written: moving the cursor posts it
  ds.FieldByName("CDPORIMPPROD").SetAsString("P3");
  ds.First();
  EXPECT_EQ(column(ds, "CDPORIMPPROD"), (Strings{"P1", "P2", "P3"}));

  ds.Last();
  ds.Edit();
  ds.FieldByName("NRLUGARMESA").SetAsString("09");
  ds.Cancel();
  EXPECT_TRUE(ds.FieldByName("NRLUGARMESA").IsNull());

  ClientDataSet empty;
  make_orders(empty);
  empty.Edit();  // on an empty dataset, Edit appends
  EXPECT_EQ(empty.GetState(), ClientDataSet::State::Insert);
}

// `while (!Eof) { if (cond) Delete(); else Next(); }` must visit every row once, with or without an order
// or a filter.
TEST(ClientDataSet, DeleteWhileWalkingVisitsEveryRowOnce) {
  struct Case {
    const char* name;
    const char* index;
    const char* filter;
    Strings expectedLeft;
  };
  const Case cases[] = {
      {"insertion order", "", "", {"P1/2", "P2/3", "P1/6"}},
      {"indexed", "CDPORIMPPROD;NRSEQITEM", "", {"P1/2", "P1/6", "P2/3"}},
      {"filtered", "", "CDPORIMPPROD = 'P1'", {"P1/2", "P1/6"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ClientDataSet ds;
    make_orders(ds);
    const char* ports[] = {"P2", "P1", "P2", "P2", "P1", "P1", "P2"};
    for (int i = 0; i < 7; ++i) ds.AppendRecord({ports[i], "01", i + 1});
    ds.SetIndexFieldNames(c.index);
    ds.SetFilter(c.filter);
    ds.SetFiltered(true);

    int visited = 0;
    ds.First();
    while (!ds.Eof()) {
      ++visited;
      int n = ds.FieldByName("NRSEQITEM").AsInteger();
      if (n % 3 != 0 && n != 2) {
        ds.Delete();
      } else {
        ds.Next();
      }
    }
    EXPECT_EQ(visited, c.filter[0] ? 3 : 7);
    ds.SetFiltered(false);
    Strings left;
    for (ds.First(); !ds.Eof(); ds.Next())
      left.push_back(ds.FieldByName("CDPORIMPPROD").AsString() + "/" + ds.FieldByName("NRSEQITEM").AsString());
    if (c.filter[0]) {
      // The rows the filter hid stay.
      EXPECT_EQ(ds.RecordCount(), 6);
    } else {
      EXPECT_EQ(left, c.expectedLeft);
    }
  }

  ClientDataSet ds;  // deleting the last row leaves Eof set and the cursor on the new last row
  make_orders(ds);
  ds.AppendRecord({"P1"});
  ds.AppendRecord({"P2"});
  ds.Last();
  ds.Delete();
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.FieldByName("CDPORIMPPROD").AsString(), "P1");
  ds.Delete();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_THROW(ds.Delete(), Error);
}

// Deleting costs O(log n), so emptying 100,000 rows by walking (or by always deleting the first) is linear in
// practice; a quadratic erase would take minutes.
TEST(ClientDataSet, DeletingManyRowsWhileWalking) {
  ClientDataSet ds;
  make_orders(ds);
  const int n = 100000;
  for (int i = 0; i < n; ++i) ds.AppendRecord({i % 2 ? "P1" : "P2", "01", i});
  ds.First();
  int visited = 0;
  while (!ds.Eof()) {
    ASSERT_EQ(ds.FieldByName("NRSEQITEM").AsInteger(), visited);
    ++visited;
    if (visited % 3) {
      ds.Delete();
    } else {
      ds.Next();
    }
  }
  EXPECT_EQ(visited, n);
  EXPECT_EQ(ds.RecordCount(), n / 3);
  ds.SetIndexFieldNames("CDPORIMPPROD;NRSEQITEM");
  while (!ds.IsEmpty()) {
    ds.First();
    ds.Delete();
  }
  // How long this takes is a benchmark's business (bench/dataset_bench.cpp, BM_DeleteWhileWalking, which
  // also reports the growth with n): a wall-clock bound here fails on a busy machine, not on a slow dataset.
}

TEST(ClientDataSet, PostKeepsTheCursorOnTheEditedRowWhereverTheIndexPutsIt) {
  ClientDataSet ds;
  make_orders(ds);
  for (const char* p : {"A", "B", "C", "D"}) ds.AppendRecord({p});
  ds.SetIndexFieldNames("CDPORIMPPROD");
  ds.First();
  ds.Next();  // B
  ds.Edit();
  ds.FieldByName("CDPORIMPPROD").SetAsString("Z");
  ds.Post();
  EXPECT_EQ(ds.FieldByName("CDPORIMPPROD").AsString(), "Z");
  EXPECT_EQ(ds.RecNo(), 4);
  EXPECT_TRUE(ds.Eof() == false);
  ds.Prior();
  EXPECT_EQ(ds.FieldByName("CDPORIMPPROD").AsString(), "D");

  // An appended row takes its place in the index and becomes current.
  ds.Append();
  ds.FieldByName("CDPORIMPPROD").SetAsString("B");
  ds.Post();
  EXPECT_EQ(ds.FieldByName("CDPORIMPPROD").AsString(), "B");
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_EQ(column(ds, "CDPORIMPPROD"), (Strings{"A", "B", "C", "D", "Z"}));

  // An edit that takes the row out of the filter moves to the row that followed.
  ds.SetFilter("CDPORIMPPROD <> 'X'");
  ds.SetFiltered(true);
  ds.First();
  ds.Next();  // B
  ds.Edit();
  ds.FieldByName("CDPORIMPPROD").SetAsString("X");
  ds.Post();
  EXPECT_EQ(ds.FieldByName("CDPORIMPPROD").AsString(), "C");
  EXPECT_EQ(ds.RecordCount(), 4);
}

TEST(ClientDataSet, IndexOrders) {
  ClientDataSet ds;
  ds.AddFieldDef("K", FieldType::String, 10);
  ds.AddFieldDef("N", FieldType::Integer);
  ds.AddFieldDef("TAG", FieldType::String, 10);
  ds.CreateDataSet();
  // Windows-1252 bytes: 'b' (62) < 'É' (C9) < 'é' (E9); without case É and é are one letter.
  const std::vector<std::vector<Variant>> rows = {{"b", 2, "r1"},        {"B", 1, "r2"}, {"É"_cp, 1, "r3"},
                                                  {"é"_cp, 1, "r4"},     {"", 3, "r5"},  {"b", 1, "r6"},
                                                  {"a", Variant(), "r7"}};
  for (const auto& r : rows) ds.AppendRecord(r);

  ds.AddIndex("ciDesc", "K;N", {.descending = true, .caseInsensitive = true});
  ds.AddIndex("mixed", "K;N", {.descFields = "N", .caseInsFields = "K"});
  struct Case {
    const char* name;
    const char* fields;  // IndexFieldNames, or "@name" for a named index
    Strings tags;
  };
  const Case cases[] = {
      {"insertion", "", {"r1", "r2", "r3", "r4", "r5", "r6", "r7"}},
      // Ascending bytes, nulls first, ties in insertion order.
      {"single field stable", "K", {"r5", "r2", "r7", "r1", "r6", "r3", "r4"}},
      {"two fields", "K;N", {"r5", "r2", "r7", "r6", "r1", "r3", "r4"}},
      {"numbers, null first", "N", {"r7", "r2", "r3", "r4", "r6", "r1", "r5"}},
      {"descending, case-insensitive", "@ciDesc", {"r3", "r4", "r1", "r2", "r6", "r7", "r5"}},
      {"per-field options", "@mixed", {"r5", "r7", "r1", "r2", "r6", "r3", "r4"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.fields[0] == '@') {
      ds.SetIndexName(c.fields + 1);
      EXPECT_EQ(ds.IndexFieldNames(), "");
    } else {
      ds.SetIndexFieldNames(c.fields);
      EXPECT_EQ(ds.IndexName(), "");
    }
    EXPECT_EQ(column(ds, "TAG"), c.tags);
  }
  EXPECT_THROW(ds.SetIndexName("nope"), Error);
  try {
    ds.SetIndexFieldNames("K;NOPE");
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Field 'NOPE' not found");
  }
  EXPECT_EQ(ds.IndexName(), "mixed");  // a refused setting keeps the previous one
}

TEST(ClientDataSet, Locate) {
  ClientDataSet ds;
  make_orders(ds);
  ds.AppendRecord({"P1", "01", 1, "Suco"});
  ds.AppendRecord({"p1", "02", 2, "SUCO"});
  ds.AppendRecord({"P2", Variant(), 3, "Café"_cp, 2.5});
  ds.AppendRecord({"P1", "02", 4, "Pão"_cp});
  struct Case {
    const char* name;
    const char* fields;
    std::vector<Variant> values;
    LocateOptions options;
    int expected;  // NRSEQITEM of the row found, 0 for none
  };
  const Case cases[] = {
      {"two fields", "CDPORIMPPROD;NRLUGARMESA", {"P1", "02"}, {}, 4},
      {"exact case", "NMPRODUTO", {"SUCO"}, {}, 2},
      {"case-insensitive", "cdporimpprod;NRLUGARMESA", {"P1", "02"}, {.caseInsensitive = true}, 2},
      {"case-insensitive Latin-1", "NMPRODUTO", {"CAFÉ"_cp}, {.caseInsensitive = true}, 3},
      {"partial key", "NMPRODUTO", {"Pã"_cp}, {.partialKey = true}, 4},
      {"null string equals empty", "CDPORIMPPROD;NRLUGARMESA", {"P2", ""}, {}, 3},
      {"number", "QTPRODCOMVEN", {2.5}, {}, 3},
      {"integer given as text", "NRSEQITEM", {"4"}, {}, 4},
      {"not found", "NMPRODUTO", {"Agua"}, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ds.Last();
    bool found = ds.Locate(c.fields, c.values, c.options);
    EXPECT_EQ(found, c.expected != 0);
    EXPECT_EQ(ds.FieldByName("NRSEQITEM").AsInteger(), c.expected ? c.expected : 4);  // not found: stays
  }
  ds.SetIndexFieldNames("NRSEQITEM");
  ds.SetFilter("NRSEQITEM > 1");
  ds.SetFiltered(true);
  EXPECT_FALSE(ds.Locate("NRSEQITEM", {1}));  // hidden by the filter
  EXPECT_THROW(ds.Locate("NOPE", {1}), Error);
}

TEST(ClientDataSet, LifecycleAndCopies) {
  ClientDataSet ds;
  EXPECT_THROW(ds.CreateDataSet(), Error);  // no fields
  make_orders(ds);
  Field& port = ds.FieldByName("CDPORIMPPROD");
  ds.AppendRecord({"P1"});
  ds.AppendRecord({"P2"});

  ClientDataSet copy;
  copy.SetFilter("CDPORIMPPROD = 'P2'");
  copy.SetFiltered(true);
  ds.SetFilter("CDPORIMPPROD = 'P1'");
  ds.SetFiltered(true);
  copy.CloneFrom(ds);  // every row, the copy's own filter
  EXPECT_EQ(column(copy, "CDPORIMPPROD"), (Strings{"P2"}));
  copy.SetFiltered(false);
  copy.First();
  copy.Edit();
  copy.FieldByName("CDPORIMPPROD").SetAsString("P9");
  copy.Post();
  ds.SetFiltered(false);
  EXPECT_EQ(column(ds, "CDPORIMPPROD"), (Strings{"P1", "P2"}));  // independent

  ds.EmptyDataSet();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_EQ(ds.FieldCount(), 5);
  ds.Close();
  EXPECT_FALSE(ds.Active());
  EXPECT_TRUE(ds.Eof());
  EXPECT_THROW(ds.First(), Error);
  EXPECT_THROW(ds.Append(), Error);
  ds.CreateDataSet();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_EQ(&ds.FieldByName("CDPORIMPPROD"), &port);  // same fields: references stay valid
}

}  // namespace
}  // namespace imp
