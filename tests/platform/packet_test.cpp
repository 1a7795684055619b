#include "platform/packet.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/rtl.h"
#include "support/test_support.h"

namespace imp {
namespace {

const char* kFields = R"("fields": [{"name": "NRCOMANDA", "type": "string", "size": 4},
                                    {"name": "QTPRODCOMVEN", "type": "float"},
                                    {"name": "NRSEQITEM", "type": "integer"},
                                    {"name": "IDRETIRADA", "type": "boolean"},
                                    {"name": "DTABERCAIX", "type": "datetime"}])";

std::string packet(const std::string& rows) {
  return std::string("{") + kFields + R"(, "rows": [)" + rows + "]}";
}

TEST(Packet, RoundTripKeepsEveryTypeExactly) {
  ClientDataSet ds;
  ds.AddFieldDef("NMPRODUTO", FieldType::String, 20);
  ds.AddFieldDef("QT", FieldType::Float);
  ds.AddFieldDef("N", FieldType::Integer);
  ds.AddFieldDef("B", FieldType::Boolean);
  ds.AddFieldDef("DT", FieldType::DateTime);
  ds.CreateDataSet();
  const double dt = EncodeDateTime(2026, 12, 9, 11, 30, 0, 123);
  ds.AppendRecord({"Açaí \"grande\""_cp, 0.1, std::numeric_limits<int32_t>::min(), true, Variant::date_time(dt)});
  ds.AppendRecord({Variant(), 1.0 / 3, std::numeric_limits<int32_t>::max(), false, Variant()});
  ds.AppendRecord({"x", 2.0, 0});

  std::string saved = ds.SavePacket();
  // UTF-8 at the edge, shortest floats, ISO date-times with milliseconds, nulls left out.
  EXPECT_NE(saved.find(R"({"NMPRODUTO": "Açaí \"grande\"", "QT": 0.1, "N": -2147483648, "B": true, )"
                       R"("DT": "2026-12-09T11:30:00.123"})"),
            std::string::npos)
      << saved;
  EXPECT_NE(saved.find(R"({"QT": 0.3333333333333333, "N": 2147483647, "B": false})"), std::string::npos) << saved;
  EXPECT_NE(saved.find(R"({"NMPRODUTO": "x", "QT": 2, "N": 0})"), std::string::npos) << saved;

  ClientDataSet back;
  back.LoadFromPacket(saved);
  ASSERT_EQ(back.FieldCount(), 5);
  EXPECT_EQ(back.FieldDefs()[0].size, 20);
  EXPECT_EQ(back.RecordCount(), 3);
  for (ds.First(), back.First(); !ds.Eof(); ds.Next(), back.Next()) {
    for (int i = 0; i < ds.FieldCount(); ++i) {
      EXPECT_EQ(back.Fields(i).IsNull(), ds.Fields(i).IsNull()) << i;
      EXPECT_TRUE(back.Fields(i).AsVariant() == ds.Fields(i).AsVariant()) << i;
    }
  }
  EXPECT_EQ(back.SavePacket(), saved);
}

TEST(Packet, ReadingRules) {
  ClientDataSet ds;
  ds.LoadFromPacket(packet(R"({"nrcomanda": "001234", "QTPRODCOMVEN": 2, "COLUNA_NOVA": [1], "NRSEQITEM": null},
                              {"NrComanda": "", "IDRETIRADA": false, "DTABERCAIX": "2026-12-09T11:30:00"})"));
  EXPECT_TRUE(ds.Active());
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(ds.FieldByName("NRCOMANDA").AsString(), "0012");  // cut to the size; names regardless of case
  EXPECT_DOUBLE_EQ(ds.FieldByName("QTPRODCOMVEN").AsFloat(), 2);
  EXPECT_TRUE(ds.FieldByName("NRSEQITEM").IsNull());  // null and missing keys alike
  EXPECT_TRUE(ds.FieldByName("IDRETIRADA").IsNull());
  ds.Next();
  EXPECT_TRUE(ds.FieldByName("NRCOMANDA").IsNull());  // an empty text is null
  EXPECT_FALSE(ds.FieldByName("IDRETIRADA").AsBoolean());
  EXPECT_FALSE(ds.FieldByName("IDRETIRADA").IsNull());
  EXPECT_DOUBLE_EQ(ds.FieldByName("DTABERCAIX").AsDateTime(), EncodeDateTime(2026, 12, 9, 11, 30, 0, 0));

  ClientDataSet empty;
  empty.LoadFromPacket(R"({"fields": [], "rows": []})");
  EXPECT_TRUE(empty.Active());
  EXPECT_TRUE(empty.IsEmpty());
}

// Text values are data: one unusual character never refuses a packet, and no byte of a value can act as a
// printer command.
TEST(Packet, TextValuesPrintAsText) {
  const struct {
    const char* name;
    std::string value;  // JSON string body
    std::string read;   // Windows-1252
  } cases[] = {
      {"emoji", "Chope \\ud83c\\udf7a", "Chope ?"},
      {"outside Windows-1252", "1 \xE2\x86\x92 2", "1 ? 2"},
      {"NUL", "Cho\\u0000pe", "Cho pe"},
      {"drawer kick", "Sem sal\\u001bp\\u0000\\u0019", "Sem sal p  "},
      {"cut and line ends", "Pastel\\u001bi\\r\\n\\u007f", "Pastel i   "},
      {"accents kept", "Açaí ½", "Açaí ½"_cp},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ClientDataSet ds;
    ds.LoadFromPacket(R"({"fields": [{"name": "NMPRODUTO", "type": "string"}], "rows": [{"NMPRODUTO": ")" + c.value +
                      "\"}]}");
    EXPECT_EQ(ds.FieldByName("NMPRODUTO").AsString(), c.read);
  }
  // Field names stay strict.
  EXPECT_THROW(ClientDataSet().LoadFromPacket(R"({"fields": [{"name": "N\u0000", "type": "string"}], "rows": []})"),
               Error);
}

TEST(Packet, RefusesBadPacketsAndKeepsThePreviousContent) {
  struct Case {
    const char* name;
    std::string json;
    const char* message;  // a part of the message
  };
  const Case cases[] = {
      {"not JSON", "{\"fields\": [", "JSON"},
      {"not an object", "[1, 2]", "\"fields\""},
      {"no fields", R"({"rows": []})", "\"fields\""},
      {"rows not an array", R"({"fields": [], "rows": {}})", "\"rows\""},
      {"unknown type", R"({"fields": [{"name": "A", "type": "money"}], "rows": []})", "tipo 'money'"},
      {"duplicate field", R"({"fields": [{"name": "A", "type": "float"}, {"name": "a", "type": "float"}], "rows": []})",
       "campo 'a' repetido"},
      {"field without name", R"({"fields": [{"type": "float"}], "rows": []})", "sem nome"},
      {"row not an object", packet("{}, 5"), "linha 2"},
      {"integer with a fraction", packet(R"({"NRSEQITEM": 1.5})"), "campo 'NRSEQITEM' da linha 1"},
      {"integer beyond 32 bits", packet(R"({"NRSEQITEM": 2147483648})"), "campo 'NRSEQITEM' da linha 1"},
      {"float as text", packet(R"({}, {"QTPRODCOMVEN": "1"})"), "campo 'QTPRODCOMVEN' da linha 2"},
      {"boolean as number", packet(R"({"IDRETIRADA": 1})"), "campo 'IDRETIRADA' da linha 1"},
      {"impossible date", packet(R"({"DTABERCAIX": "2026-13-01T00:00:00"})"), "campo 'DTABERCAIX' da linha 1"},
      {"date in another form", packet(R"({"DTABERCAIX": "09/12/2026"})"), "campo 'DTABERCAIX' da linha 1"},
      {"text as number", packet(R"({"NRCOMANDA": 12})"), "campo 'NRCOMANDA' da linha 1"},
      {"number beyond a double", packet(R"({"QTPRODCOMVEN": 1e309})"), "fora do intervalo"},
      {"same field twice in a row", packet(R"({"NRCOMANDA": "1", "nrcomanda": "2"})"), "repetido na linha 1"},
  };
  ClientDataSet ds;
  ds.LoadFromPacket(packet(R"({"NRCOMANDA": "0001"}, {"NRCOMANDA": "0002"})"));
  ds.Last();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      ds.LoadFromPacket(c.json);
      FAIL() << "accepted";
    } catch (const Error& e) {
      std::string m = e.what();
      EXPECT_EQ(m.rfind("Pacote de dados inválido: "_cp, 0), 0u) << m;
      EXPECT_NE(m.find(c.message), std::string::npos) << m;
    }
    EXPECT_EQ(ds.FieldCount(), 5);
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.FieldByName("NRCOMANDA").AsString(), "0002");
  }
}

TEST(Packet, FilesAndSettingsThatOutliveALoad) {
  test::TempDir dir;
  ClientDataSet ds;
  // An index defined before the packet arrives orders the loaded rows.
  ds.AddIndex("Indice", "NRCOMANDA", {.descending = true});
  ds.SetIndexName("Indice");
  test::write_file(dir.path() / "Pedido.cds", packet(R"({"NRCOMANDA": "0001"}, {"NRCOMANDA": "0003"},
                                                        {"NRCOMANDA": "0002"})"));
  ds.LoadFromFile(dir.path() / "Pedido.cds");
  EXPECT_EQ(ds.FieldByName("NRCOMANDA").AsString(), "0003");
  ds.Next();
  EXPECT_EQ(ds.FieldByName("NRCOMANDA").AsString(), "0002");

  ds.SaveToFile(dir.path() / "Copia.cds");  // insertion order, whatever the index
  ClientDataSet copy;
  copy.LoadFromFile(dir.path() / "Copia.cds");
  EXPECT_EQ(copy.FieldByName("NRCOMANDA").AsString(), "0001");
  EXPECT_EQ(test::read_file(dir.path() / "Copia.cds"), ds.SavePacket());

  EXPECT_THROW(copy.LoadFromFile(dir.path() / "Falta.cds"), Error);
  EXPECT_EQ(copy.RecordCount(), 3);
  EXPECT_THROW(copy.SaveToFile(dir.path() / "sem" / "pasta.cds"), Error);

  // A load whose fields do not fit the dataset's active filter is refused as a whole.
  copy.SetFilter("NRCOMANDA = '0001'");
  copy.SetFiltered(true);
  EXPECT_THROW(copy.LoadFromPacket(R"({"fields": [{"name": "X", "type": "float"}], "rows": []})"), Error);
  EXPECT_EQ(copy.RecordCount(), 1);
}

}  // namespace
}  // namespace imp
