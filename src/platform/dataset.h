// In-memory client datasets: typed fields, a cursor over the rows, append/edit/post/delete, locate, index
// orders and filter expressions, and loading and saving data packets (platform/packet.h).
//
//   ClientDataSet ds;
//   ds.AddFieldDef("NRSEQ", FieldType::String, 3);
//   ds.AddFieldDef("QTPRODCOMVEN", FieldType::Float);
//   ds.CreateDataSet();
//   ds.Append();
//   ds.FieldByName("NRSEQ").SetAsString("001");
//   ds.Post();
//   for (ds.First(); !ds.Eof(); ds.Next()) total += ds.FieldByName("QTPRODCOMVEN").AsFloat();
//
// Texts are Windows-1252. A string field stores the empty text as null and reads null as "".
// Field names match regardless of case. Not thread-safe: one thread uses a dataset at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "platform/variant.h"

namespace imp {

enum class FieldType { String, Float, Integer, Boolean, DateTime };

// "string", "float", "integer", "boolean", "datetime" (the names of data packets).
const char* FieldTypeName(FieldType type);

// A stored value: null, a text (String), a double (Float and DateTime), an integer or a boolean.
using FieldValue = std::variant<std::monostate, std::string, double, int32_t, bool>;

struct FieldDef {
  std::string name;
  FieldType type = FieldType::String;
  int size = 0;  // String only: the most Windows-1252 characters kept; 0 means no limit
};

// Orders texts as Windows-1252 bytes, or without case (ASCII and Latin-1 letters) when asked: <0, 0, >0.
int CompareText(std::string_view a, std::string_view b, bool caseInsensitive);

class ClientDataSet;
class FilterExpression;

// A field of a dataset, bound to its current row (or to the row being edited or appended). A Field& stays
// valid while the dataset keeps the same fields (reopening with the same definitions keeps them); a load or
// copy that brings other fields replaces them.
class Field {
 public:
  Field(const Field&) = delete;
  Field& operator=(const Field&) = delete;

  const std::string& FieldName() const { return def_.name; }
  FieldType DataType() const { return def_.type; }
  int Size() const { return def_.size; }
  int Index() const { return index_; }

  // Reading converts with the variant rules; a null reads as "", 0 or false.
  bool IsNull() const;
  std::string AsString() const;
  double AsFloat() const;
  int32_t AsInteger() const;
  bool AsBoolean() const;
  double AsDateTime() const;
  Variant AsVariant() const;  // Null for a null value

  // Writing needs the dataset in edit or insert mode. The value is converted to the field's type
  // (ConversionError when it cannot be); an empty text or a null/empty variant stores null. A text longer
  // than the size of a string field is cut to it; a text holding a NUL keeps what precedes it, as
  // fixed-size string fields do.
  void SetAsString(std::string_view value);
  void SetAsFloat(double value);
  void SetAsInteger(int32_t value);
  void SetAsBoolean(bool value);
  void SetAsDateTime(double value);
  void SetAsVariant(const Variant& value);
  void Clear();
  Field& operator=(const Variant& value) {
    SetAsVariant(value);
    return *this;
  }

 private:
  friend class ClientDataSet;
  Field(ClientDataSet& owner, FieldDef def, int index) : owner_(owner), def_(std::move(def)), index_(index) {}
  const FieldValue& value() const;
  void store(FieldValue value);

  ClientDataSet& owner_;
  FieldDef def_;
  int index_;
};

struct LocateOptions {
  bool caseInsensitive = false;
  bool partialKey = false;  // a text value matches the start of the field's text
};

struct IndexOptions {
  bool descending = false;         // every field of the index descending
  bool caseInsensitive = false;    // every text field compared without case
  std::string descFields = {};     // "A;B": these fields descending
  std::string caseInsFields = {};  // "A;B": these text fields compared without case
};

struct FilterOptions {
  bool caseInsensitive = false;
};

class ClientDataSet {
 public:
  enum class State { Inactive, Browse, Edit, Insert };

  ClientDataSet();
  ~ClientDataSet();
  ClientDataSet(const ClientDataSet&) = delete;
  ClientDataSet& operator=(const ClientDataSet&) = delete;

  // ---- structure ----
  // Field definitions take effect at CreateDataSet; loading a packet replaces them.
  void AddFieldDef(std::string_view name, FieldType type, int size = 0);  // Error on a duplicate name
  void ClearFieldDefs();
  const std::vector<FieldDef>& FieldDefs() const { return defs_; }

  void CreateDataSet();  // opens empty with the field definitions
  void Close();          // inactive, rows gone; definitions, index and filter settings stay
  void EmptyDataSet();   // removes every row, keeps the fields
  bool Active() const { return state_ != State::Inactive; }
  State GetState() const { return state_; }

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  Field& Fields(int index);
  Field& FieldByName(std::string_view name);  // Error "Field 'X' not found"
  Field* FindField(std::string_view name);    // nullptr when missing

  // ---- cursor ----
  void First();
  void Last();
  void Next();
  void Prior();
  bool Eof() const;
  bool Bof() const;
  int RecNo() const;        // 1-based position among the visible rows; 0 when there is none
  int RecordCount() const;  // visible rows
  bool IsEmpty() const;

  // ---- editing ----
  // Moving the cursor, Append and Edit post a pending edit first (an untouched appended row is dropped).
  void Append();
  void Edit();  // on an empty dataset, appends
  void Post();  // the cursor stays on the posted row, wherever the index puts it
  void Cancel();
  void Delete();                                          // the cursor moves to the row that followed (Eof when none)
  void AppendRecord(const std::vector<Variant>& values);  // Append, values in field order, Post

  // ---- searching and ordering ----
  // Moves to the first visible row (current order) whose fields "A;B" equal the values; false leaves the
  // cursor where it was. A null string field equals "".
  bool Locate(std::string_view fieldNames, const std::vector<Variant>& values, const LocateOptions& options = {});

  // Ascending order on "A;B" (nulls first, ties in insertion order); "" is insertion order.
  void SetIndexFieldNames(std::string_view fieldNames);
  const std::string& IndexFieldNames() const { return indexFieldNames_; }
  // A named index, defined once and selected with SetIndexName; defining a name again replaces it.
  void AddIndex(std::string_view name, std::string_view fieldNames, const IndexOptions& options = {});
  void DeleteIndex(std::string_view name);
  void SetIndexName(std::string_view name);  // "" leaves only the insertion order; Error for an unknown name
  const std::string& IndexName() const { return indexName_; }

  // Filter expressions: FIELD = 'text', numbers, TRUE/FALSE, NULL, IS [NOT] NULL, AND/OR/NOT, parentheses
  // (platform/filter.h). The text is parsed when set (syntax errors raise then) and its fields are checked when
  // the filter takes effect; changing the filter moves to the first row.
  void SetFilter(std::string_view expression);
  const std::string& Filter() const { return filterText_; }
  void SetFiltered(bool filtered);
  bool Filtered() const { return filtered_; }
  void SetFilterOptions(const FilterOptions& options);
  const FilterOptions& GetFilterOptions() const { return filterOptions_; }

  // ---- copies and packets ----
  // Replaces fields and rows with a copy of every row of `source` (its filter does not apply); this
  // dataset keeps its own index and filter settings. The cursor goes to the first row.
  void CloneFrom(const ClientDataSet& source);
  // Replaces fields and rows with those of a data packet (UTF-8 JSON); on a refused packet (Error) the
  // dataset keeps its previous state.
  void LoadFromPacket(std::string_view packet);
  std::string SavePacket() const;  // every row, in insertion order
  void LoadFromFile(const std::filesystem::path& path);
  void SaveToFile(const std::filesystem::path& path) const;

 private:
  friend class Field;
  struct Record {
    std::vector<FieldValue> cells;
    bool deleted = false;
  };
  struct KeyPart {
    int field;
    bool descending;
    bool caseInsensitive;
  };
  struct IndexDef {
    std::string name;
    std::string fields;
    IndexOptions options;
  };
  // A small Fenwick tree over the view: which view slots still hold a visible row.
  class SlotCounter {
   public:
    void reset(std::size_t n);  // n slots, all set
    void push_back(bool set);
    void clear(std::size_t slot);
    std::size_t size() const { return tree_.size(); }
    std::size_t total() const { return total_; }
    std::size_t prefix(std::size_t slot) const;  // set slots in [0, slot]
    std::size_t find(std::size_t k) const;       // the slot holding the k-th (1-based) set slot
    bool test(std::size_t slot) const { return set_[slot] != 0; }

   private:
    std::vector<std::size_t> tree_;
    std::vector<unsigned char> set_;
    std::size_t total_ = 0;
  };
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  void check_active() const;
  void check_browse_mode();
  void reset_rows();
  void install(std::vector<FieldDef> defs, std::vector<Record> rows);
  std::vector<KeyPart> resolve_index(const std::vector<FieldDef>& defs) const;
  std::unique_ptr<FilterExpression> resolve_filter(const std::vector<FieldDef>& defs, const std::string& text,
                                                   bool filtered, const FilterOptions& options) const;
  void rebind();
  void set_order(std::string fieldNames, std::string indexName);
  bool visible(const Record& r) const;
  bool before(std::size_t a, std::size_t b) const;  // order of the current index, ties by insertion
  int compare_keys(const std::vector<FieldValue>& a, const std::vector<FieldValue>& b) const;
  void ensure_view() const;
  void rebuild_view() const;
  void drop_current_slot();
  void maybe_compact();
  void move_to_rank(std::size_t rank) const;
  const FieldValue& current_value(int field) const;
  void set_value(int field, FieldValue value);
  static std::optional<int> find_index(const std::vector<FieldDef>& defs, std::string_view name);

  std::vector<FieldDef> defs_;    // definitions for CreateDataSet
  std::vector<FieldDef> active_;  // the fields of the open dataset
  std::vector<std::unique_ptr<Field>> fields_;
  std::unordered_map<std::string, int> byName_;  // upper-case name -> field

  // Rows in insertion order. Deleted rows stay as tombstones until enough of them pile up, so that deleting
  // while walking costs O(log n) per row instead of an O(n) erase.
  std::vector<Record> records_;
  std::size_t live_ = 0;
  std::size_t dead_ = 0;

  // The visible rows in the current order, built lazily: record numbers by slot, and the slots still visible.
  // Deleting clears a slot; the view is rebuilt when the order or the filter changes or an indexed row is
  // added or re-keyed, and compacted when cleared slots outnumber the set ones.
  // Every live record in index order; a filter change re-filters it instead of sorting again.
  mutable std::vector<std::size_t> sorted_;
  mutable bool sortDirty_ = true;
  mutable std::vector<std::size_t> view_;
  mutable SlotCounter slots_;
  mutable bool viewDirty_ = true;
  mutable std::size_t pos_ = kNone;  // slot of the current row
  mutable std::size_t cur_ = kNone;  // record of the current row (kNone when there is none)
  mutable bool eof_ = true;
  mutable bool bof_ = true;

  State state_ = State::Inactive;
  std::vector<FieldValue> buffer_;  // the row being edited or appended
  bool modified_ = false;

  std::string indexFieldNames_;
  std::string indexName_;
  std::vector<IndexDef> indexes_;
  std::vector<KeyPart> key_;  // the active order, resolved against the fields

  std::string filterText_;
  bool filtered_ = false;
  FilterOptions filterOptions_;
  // Parsed and bound once when the filter takes effect; rows are tested against the compiled form.
  std::unique_ptr<FilterExpression> filter_;
};

}  // namespace imp
