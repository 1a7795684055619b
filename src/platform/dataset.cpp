#include "platform/dataset.h"

#include <algorithm>
#include <cmath>

#include "platform/error.h"
#include "platform/filter.h"
#include "platform/packet.h"

namespace imp {

const char* FieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::String: return "string";
    case FieldType::Float: return "float";
    case FieldType::Integer: return "integer";
    case FieldType::Boolean: return "boolean";
    case FieldType::DateTime: return "datetime";
  }
  return "string";
}

namespace {

// Lower case of a Windows-1252 letter (ASCII, Latin-1 and the few letters in 80-9F).
unsigned char fold(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;  // Š
    case 0x8C: return 0x9C;  // Œ
    case 0x8E: return 0x9E;  // Ž
    case 0x9F: return 0xFF;  // Ÿ
    default: return c;
  }
}

std::string upper_name(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// "A; B;;C" -> {"A", "B", "C"}
std::vector<std::string> split_names(std::string_view list) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view part = list.substr(start, end - start);
    while (!part.empty() && static_cast<unsigned char>(part.front()) <= ' ') part.remove_prefix(1);
    while (!part.empty() && static_cast<unsigned char>(part.back()) <= ' ') part.remove_suffix(1);
    if (!part.empty()) out.emplace_back(part);
    start = end + 1;
  }
  return out;
}

bool list_has(const std::vector<std::string>& list, std::string_view name) {
  for (const auto& n : list)
    if (upper_name(n) == upper_name(name)) return true;
  return false;
}

bool same_defs(const std::vector<FieldDef>& a, const std::vector<FieldDef>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].size != b[i].size) return false;
  return true;
}

[[noreturn]] void field_not_found(std::string_view name) {
  throw Error("Field '" + std::string(name) + "' not found");
}

const FieldValue kNull{};

// Nulls first; values of one field share a type.
int compare_values(const FieldValue& a, const FieldValue& b, bool caseInsensitive) {
  bool an = std::holds_alternative<std::monostate>(a), bn = std::holds_alternative<std::monostate>(b);
  if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
  if (auto s = std::get_if<std::string>(&a)) return CompareText(*s, std::get<std::string>(b), caseInsensitive);
  if (auto d = std::get_if<double>(&a)) {
    double e = std::get<double>(b);
    return *d < e ? -1 : (*d > e ? 1 : 0);
  }
  if (auto i = std::get_if<int32_t>(&a)) {
    int32_t j = std::get<int32_t>(b);
    return *i < j ? -1 : (*i > j ? 1 : 0);
  }
  return static_cast<int>(std::get<bool>(a)) - static_cast<int>(std::get<bool>(b));
}

}  // namespace

int CompareText(std::string_view a, std::string_view b, bool caseInsensitive) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (caseInsensitive) {
      x = fold(x);
      y = fold(y);
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// ---------------------------------------------------------------- Field

const FieldValue& Field::value() const {
  return owner_.current_value(index_);
}

bool Field::IsNull() const {
  return std::holds_alternative<std::monostate>(value());
}

Variant Field::AsVariant() const {
  const FieldValue& v = value();
  if (auto s = std::get_if<std::string>(&v)) return Variant(*s);
  if (auto d = std::get_if<double>(&v)) return def_.type == FieldType::DateTime ? Variant::date_time(*d) : Variant(*d);
  if (auto i = std::get_if<int32_t>(&v)) return Variant(*i);
  if (auto b = std::get_if<bool>(&v)) return Variant(*b);
  return Variant::null();
}

std::string Field::AsString() const {
  if (auto s = std::get_if<std::string>(&value())) return *s;
  return AsVariant().to_text();
}
double Field::AsFloat() const {
  return AsVariant().to_double();
}
int32_t Field::AsInteger() const {
  return AsVariant().to_int();
}
bool Field::AsBoolean() const {
  return AsVariant().to_bool();
}
double Field::AsDateTime() const {
  return AsVariant().to_date_time();
}

void Field::SetAsString(std::string_view value) {
  if (def_.type != FieldType::String) {
    SetAsVariant(Variant(std::string(value)));
    return;
  }
  value = value.substr(0, value.find('\0'));
  if (def_.size > 0 && value.size() > static_cast<std::size_t>(def_.size)) value = value.substr(0, def_.size);
  if (value.empty()) {
    store(std::monostate{});
  } else {
    store(std::string(value));
  }
}
void Field::SetAsFloat(double value) {
  SetAsVariant(Variant(value));
}
void Field::SetAsInteger(int32_t value) {
  SetAsVariant(Variant(value));
}
void Field::SetAsBoolean(bool value) {
  SetAsVariant(Variant(value));
}
void Field::SetAsDateTime(double value) {
  SetAsVariant(Variant::date_time(value));
}
void Field::Clear() {
  store(std::monostate{});
}

void Field::SetAsVariant(const Variant& value) {
  if (value.is_unassigned() || (value.is_text() && value.text().empty())) {
    store(std::monostate{});
    return;
  }
  switch (def_.type) {
    case FieldType::String: SetAsString(value.to_text()); return;
    case FieldType::Float: {
      double d = value.to_double();
      if (!std::isfinite(d)) throw ConversionError("Invalid floating point value for field '" + def_.name + "'");
      store(d);
      return;
    }
    case FieldType::Integer: store(value.to_int()); return;
    case FieldType::Boolean: store(value.to_bool()); return;
    case FieldType::DateTime: {
      double d = value.to_date_time();
      // 0001-01-01 to 9999-12-31, the dates a date-time can spell.
      if (!std::isfinite(d) || d < -693593.0 || d >= 2958466.0)
        throw ConversionError("Invalid date-time value for field '" + def_.name + "'");
      store(d);
      return;
    }
  }
}

void Field::store(FieldValue value) {
  owner_.set_value(index_, std::move(value));
}

// ---------------------------------------------------------------- SlotCounter (1-based Fenwick tree inside)

void ClientDataSet::SlotCounter::reset(std::size_t n) {
  set_.assign(n, 1);
  tree_.assign(n + 1, 0);
  for (std::size_t i = 1; i <= n; ++i) {
    tree_[i] += 1;
    std::size_t j = i + (i & (~i + 1));
    if (j <= n) tree_[j] += tree_[i];
  }
  total_ = n;
}

void ClientDataSet::SlotCounter::push_back(bool set) {
  if (tree_.empty()) tree_.push_back(0);
  std::size_t i = tree_.size();  // 1-based index of the new slot
  std::size_t low = i & (~i + 1);
  // Node i covers the slots (i - low, i]: the new one plus the nodes that tile (i - low, i - 1].
  std::size_t sum = set ? 1 : 0;
  for (std::size_t k = i - 1; k > i - low; k -= k & (~k + 1)) sum += tree_[k];
  tree_.push_back(sum);
  set_.push_back(set ? 1 : 0);
  if (set) ++total_;
}

void ClientDataSet::SlotCounter::clear(std::size_t slot) {
  if (!set_[slot]) return;
  set_[slot] = 0;
  --total_;
  for (std::size_t i = slot + 1; i < tree_.size(); i += i & (~i + 1)) tree_[i] -= 1;
}

std::size_t ClientDataSet::SlotCounter::prefix(std::size_t slot) const {
  std::size_t sum = 0;
  for (std::size_t i = slot + 1; i > 0; i -= i & (~i + 1)) sum += tree_[i];
  return sum;
}

std::size_t ClientDataSet::SlotCounter::find(std::size_t k) const {
  std::size_t n = tree_.empty() ? 0 : tree_.size() - 1;
  std::size_t pos = 0, step = 1;
  while (step * 2 <= n) step *= 2;
  for (; step; step /= 2) {
    if (pos + step <= n && tree_[pos + step] < k) {
      pos += step;
      k -= tree_[pos];
    }
  }
  return pos;  // 1-based pos + 1 is the answer, so pos is the 0-based slot
}

// ---------------------------------------------------------------- ClientDataSet

ClientDataSet::ClientDataSet() = default;
ClientDataSet::~ClientDataSet() = default;

void ClientDataSet::check_active() const {
  if (!Active()) throw Error("Cannot perform this operation on a closed dataset");
}

// Leaves edit or insert mode as moving the cursor does: a changed row is posted, an untouched one dropped.
void ClientDataSet::check_browse_mode() {
  if (state_ != State::Edit && state_ != State::Insert) return;
  if (modified_) {
    Post();
  } else {
    Cancel();
  }
}

std::optional<int> ClientDataSet::find_index(const std::vector<FieldDef>& defs, std::string_view name) {
  std::string key = upper_name(name);
  for (std::size_t i = 0; i < defs.size(); ++i)
    if (upper_name(defs[i].name) == key) return static_cast<int>(i);
  return std::nullopt;
}

void ClientDataSet::AddFieldDef(std::string_view name, FieldType type, int size) {
  if (name.empty()) throw Error("Field name missing");
  if (find_index(defs_, name)) throw Error("Duplicate field name '" + std::string(name) + "'");
  if (size < 0) throw Error("Invalid size for field '" + std::string(name) + "'");
  defs_.push_back(FieldDef{std::string(name), type, type == FieldType::String ? size : 0});
}

void ClientDataSet::ClearFieldDefs() {
  defs_.clear();
}

void ClientDataSet::CreateDataSet() {
  if (defs_.empty()) throw Error("Cannot create a dataset without field definitions");
  install(defs_, {});
}

void ClientDataSet::Close() {
  state_ = State::Inactive;
  buffer_.clear();
  modified_ = false;
  records_.clear();
  records_.shrink_to_fit();
  live_ = dead_ = 0;
  key_.clear();
  filter_.reset();
  reset_rows();
}

void ClientDataSet::reset_rows() {
  sorted_.clear();
  sortDirty_ = true;
  view_.clear();
  slots_.reset(0);
  viewDirty_ = false;
  pos_ = cur_ = kNone;
  eof_ = bof_ = true;
}

void ClientDataSet::EmptyDataSet() {
  check_active();
  buffer_.clear();
  modified_ = false;
  state_ = State::Browse;
  records_.clear();
  live_ = dead_ = 0;
  reset_rows();
}

// Opens with new fields and rows. The index and filter settings are resolved against the new fields first,
// so a failure leaves everything as it was.
void ClientDataSet::install(std::vector<FieldDef> defs, std::vector<Record> rows) {
  auto key = resolve_index(defs);
  auto filter = resolve_filter(defs, filterText_, filtered_, filterOptions_);

  if (!same_defs(defs, active_) || fields_.size() != defs.size()) {
    fields_.clear();
    byName_.clear();
    for (std::size_t i = 0; i < defs.size(); ++i) {
      fields_.push_back(std::unique_ptr<Field>(new Field(*this, defs[i], static_cast<int>(i))));
      byName_.emplace(upper_name(defs[i].name), static_cast<int>(i));
    }
  }
  active_ = std::move(defs);
  records_ = std::move(rows);
  live_ = records_.size();
  dead_ = 0;
  key_ = std::move(key);
  filter_ = std::move(filter);
  state_ = State::Browse;
  buffer_.clear();
  modified_ = false;
  reset_rows();
  viewDirty_ = true;
  First();
}

Field& ClientDataSet::Fields(int index) {
  if (index < 0 || index >= FieldCount()) throw Error("List index out of bounds (" + std::to_string(index) + ")");
  return *fields_[index];
}

Field* ClientDataSet::FindField(std::string_view name) {
  auto it = byName_.find(upper_name(name));
  return it == byName_.end() ? nullptr : fields_[it->second].get();
}

Field& ClientDataSet::FieldByName(std::string_view name) {
  Field* f = FindField(name);
  if (!f) field_not_found(name);
  return *f;
}

const FieldValue& ClientDataSet::current_value(int field) const {
  if (state_ == State::Edit || state_ == State::Insert) return buffer_[field];
  if (state_ == State::Inactive || cur_ == kNone) return kNull;
  return records_[cur_].cells[field];
}

void ClientDataSet::set_value(int field, FieldValue value) {
  if (state_ != State::Edit && state_ != State::Insert) throw Error("Dataset not in edit or insert mode");
  buffer_[field] = std::move(value);
  modified_ = true;
}

// ---- view and cursor

bool ClientDataSet::visible(const Record& r) const {
  return !filter_ || filter_->Matches(r.cells);
}

int ClientDataSet::compare_keys(const std::vector<FieldValue>& a, const std::vector<FieldValue>& b) const {
  for (const KeyPart& k : key_) {
    int c = compare_values(a[k.field], b[k.field], k.caseInsensitive);
    if (c != 0) return k.descending ? -c : c;
  }
  return 0;
}

bool ClientDataSet::before(std::size_t a, std::size_t b) const {
  if (!key_.empty()) {
    int c = compare_keys(records_[a].cells, records_[b].cells);
    if (c != 0) return c < 0;
  }
  return a < b;
}

void ClientDataSet::ensure_view() const {
  if (viewDirty_) rebuild_view();
}

void ClientDataSet::rebuild_view() const {
  if (sortDirty_) {
    sorted_.clear();
    sorted_.reserve(live_);
    for (std::size_t i = 0; i < records_.size(); ++i)
      if (!records_[i].deleted) sorted_.push_back(i);
    if (!key_.empty())
      std::sort(sorted_.begin(), sorted_.end(), [this](std::size_t a, std::size_t b) { return before(a, b); });
    sortDirty_ = false;
  }
  view_.clear();
  view_.reserve(live_);
  for (std::size_t i : sorted_)
    if (!records_[i].deleted && visible(records_[i])) view_.push_back(i);
  slots_.reset(view_.size());
  viewDirty_ = false;
  if (view_.empty()) {
    pos_ = cur_ = kNone;
    eof_ = bof_ = true;
    return;
  }
  if (cur_ == kNone) {
    pos_ = 0;
    cur_ = view_[0];
    bof_ = true;
    eof_ = false;
    return;
  }
  auto it = std::find(view_.begin(), view_.end(), cur_);
  eof_ = bof_ = false;
  if (it == view_.end()) {
    // The current row left the view: go to the row that would follow it.
    it = std::lower_bound(view_.begin(), view_.end(), cur_,
                          [this](std::size_t a, std::size_t b) { return before(a, b); });
    if (it == view_.end()) {
      --it;
      eof_ = true;
    }
  }
  pos_ = static_cast<std::size_t>(it - view_.begin());
  cur_ = *it;
}

void ClientDataSet::move_to_rank(std::size_t rank) const {
  pos_ = slots_.find(rank);
  cur_ = view_[pos_];
}

// Takes the current row out of the view; the cursor goes to the row that followed, else to the new last row
// with Eof set.
void ClientDataSet::drop_current_slot() {
  std::size_t rank = slots_.prefix(pos_);
  slots_.clear(pos_);
  std::size_t total = slots_.total();
  if (total == 0) {
    pos_ = cur_ = kNone;
    eof_ = bof_ = true;
    return;
  }
  bof_ = false;
  if (rank <= total) {
    move_to_rank(rank);
    eof_ = false;
  } else {
    move_to_rank(total);
    eof_ = true;
  }
}

// Drops tombstones once they outnumber the rows (amortised O(1) per delete).
void ClientDataSet::maybe_compact() {
  const std::size_t kMin = 1024;
  std::size_t cleared = slots_.size() - slots_.total();
  bool storage = dead_ > kMin && dead_ > live_;
  bool view = !viewDirty_ && cleared > kMin && cleared > slots_.total();
  if (!storage && !view) return;
  std::vector<std::size_t> map;
  if (storage) {
    map.assign(records_.size(), kNone);
    std::size_t n = 0;
    for (std::size_t i = 0; i < records_.size(); ++i) {
      if (records_[i].deleted) continue;
      map[i] = n;
      if (n != i) records_[n] = std::move(records_[i]);
      ++n;
    }
    records_.resize(n);
    dead_ = 0;
    if (cur_ != kNone) cur_ = map[cur_];
    if (!sortDirty_) {
      std::size_t k = 0;
      for (std::size_t idx : sorted_)
        if (map[idx] != kNone) sorted_[k++] = map[idx];
      sorted_.resize(k);
    }
    if (viewDirty_) return;  // rebuilt from the records when next needed
  }
  std::vector<std::size_t> kept;
  kept.reserve(slots_.total());
  std::size_t newPos = kNone;
  for (std::size_t slot = 0; slot < view_.size(); ++slot) {
    if (!slots_.test(slot)) continue;
    if (slot == pos_) newPos = kept.size();
    kept.push_back(storage ? map[view_[slot]] : view_[slot]);
  }
  view_.swap(kept);
  slots_.reset(view_.size());
  pos_ = newPos;
  cur_ = pos_ == kNone ? kNone : view_[pos_];
}

void ClientDataSet::First() {
  check_active();
  check_browse_mode();
  ensure_view();
  if (slots_.total() == 0) {
    pos_ = cur_ = kNone;
    eof_ = bof_ = true;
    return;
  }
  move_to_rank(1);
  bof_ = true;
  eof_ = false;
}

void ClientDataSet::Last() {
  check_active();
  check_browse_mode();
  ensure_view();
  if (slots_.total() == 0) {
    pos_ = cur_ = kNone;
    eof_ = bof_ = true;
    return;
  }
  move_to_rank(slots_.total());
  eof_ = true;
  bof_ = false;
}

void ClientDataSet::Next() {
  check_active();
  check_browse_mode();
  ensure_view();
  std::size_t total = slots_.total();
  if (total == 0) {
    eof_ = bof_ = true;
    return;
  }
  if (eof_) return;
  std::size_t rank = slots_.prefix(pos_);
  if (rank < total) {
    move_to_rank(rank + 1);
    bof_ = false;
  } else {
    eof_ = true;
  }
}

void ClientDataSet::Prior() {
  check_active();
  check_browse_mode();
  ensure_view();
  if (slots_.total() == 0) {
    eof_ = bof_ = true;
    return;
  }
  if (bof_) return;
  std::size_t rank = slots_.prefix(pos_);
  if (rank > 1) {
    move_to_rank(rank - 1);
    eof_ = false;
  } else {
    bof_ = true;
  }
}

bool ClientDataSet::Eof() const {
  if (!Active()) return true;
  ensure_view();
  return slots_.total() == 0 || eof_;
}

bool ClientDataSet::Bof() const {
  if (!Active()) return true;
  ensure_view();
  return slots_.total() == 0 || bof_;
}

int ClientDataSet::RecNo() const {
  if (!Active()) return 0;
  ensure_view();
  if (slots_.total() == 0 || pos_ == kNone) return 0;
  return static_cast<int>(slots_.prefix(pos_));
}

int ClientDataSet::RecordCount() const {
  if (!Active()) return 0;
  ensure_view();
  return static_cast<int>(slots_.total());
}

bool ClientDataSet::IsEmpty() const {
  return RecordCount() == 0;
}

// ---- editing

void ClientDataSet::Append() {
  check_active();
  check_browse_mode();
  buffer_.assign(active_.size(), FieldValue{});
  state_ = State::Insert;
  modified_ = false;
}

void ClientDataSet::Edit() {
  check_active();
  if (state_ == State::Edit || state_ == State::Insert) return;
  ensure_view();
  if (slots_.total() == 0) {
    Append();
    return;
  }
  buffer_ = records_[cur_].cells;
  state_ = State::Edit;
  modified_ = false;
}

void ClientDataSet::Cancel() {
  if (state_ != State::Edit && state_ != State::Insert) return;
  buffer_.clear();
  modified_ = false;
  state_ = State::Browse;
}

void ClientDataSet::Post() {
  check_active();
  if (state_ == State::Insert) {
    std::size_t id = records_.size();
    records_.push_back(Record{std::move(buffer_), false});
    ++live_;
    if (!key_.empty())
      sortDirty_ = true;
    else if (!sortDirty_)
      sorted_.push_back(id);
    buffer_.clear();
    modified_ = false;
    state_ = State::Browse;
    if (!visible(records_[id])) return;  // filtered out: the cursor stays where it was
    cur_ = id;
    eof_ = bof_ = false;
    if (!key_.empty() || viewDirty_) {
      viewDirty_ = true;  // its place in the index is found when the view is next needed
      return;
    }
    view_.push_back(id);
    slots_.push_back(true);
    pos_ = view_.size() - 1;
    return;
  }
  if (state_ != State::Edit) return;
  Record& r = records_[cur_];
  bool rekeyed = false;
  for (const KeyPart& k : key_)
    if (compare_values(r.cells[k.field], buffer_[k.field], false) != 0) rekeyed = true;
  r.cells = std::move(buffer_);
  buffer_.clear();
  modified_ = false;
  state_ = State::Browse;
  if (!visible(r)) {
    // No longer passes the filter: it leaves the view and the cursor goes to the row that followed.
    if (viewDirty_) return;  // the rebuild places the cursor
    drop_current_slot();
    maybe_compact();
    return;
  }
  if (rekeyed) sortDirty_ = viewDirty_ = true;  // the cursor stays on this row wherever it sorts
}

void ClientDataSet::Delete() {
  check_active();
  if (state_ == State::Insert) {
    Cancel();
    return;
  }
  Cancel();
  ensure_view();
  if (slots_.total() == 0) throw Error("Cannot perform this operation on an empty dataset");
  records_[cur_].deleted = true;
  records_[cur_].cells.clear();
  records_[cur_].cells.shrink_to_fit();
  --live_;
  ++dead_;
  drop_current_slot();
  maybe_compact();
}

void ClientDataSet::AppendRecord(const std::vector<Variant>& values) {
  check_active();
  if (values.size() > fields_.size()) throw Error("Too many values for the dataset's fields");
  Append();
  try {
    for (std::size_t i = 0; i < values.size(); ++i) fields_[i]->SetAsVariant(values[i]);
  } catch (...) {
    Cancel();
    throw;
  }
  Post();
}

// ---- locate

bool ClientDataSet::Locate(std::string_view fieldNames, const std::vector<Variant>& values,
                           const LocateOptions& options) {
  check_active();
  check_browse_mode();
  auto names = split_names(fieldNames);
  if (names.empty() || names.size() != values.size())
    throw Error("Locate: " + std::to_string(names.size()) + " fields and " + std::to_string(values.size()) + " values");
  struct Want {
    int field = 0;
    bool null = false;
    std::string text;
    double number = 0;
    bool boolean = false;
  };
  std::vector<Want> wants;
  for (std::size_t i = 0; i < names.size(); ++i) {
    auto f = find_index(active_, names[i]);
    if (!f) field_not_found(names[i]);
    Want w;
    w.field = *f;
    const Variant& v = values[i];
    if (v.is_unassigned()) {
      w.null = true;
    } else {
      switch (active_[*f].type) {
        case FieldType::String:
          w.text = v.to_text();
          w.null = w.text.empty();
          break;
        case FieldType::Float:
        case FieldType::Integer: w.number = v.to_double(); break;
        case FieldType::DateTime: w.number = v.to_date_time(); break;
        case FieldType::Boolean: w.boolean = v.to_bool(); break;
      }
    }
    wants.push_back(std::move(w));
  }
  auto matches = [&](const std::vector<FieldValue>& cells) {
    for (const Want& w : wants) {
      const FieldValue& c = cells[w.field];
      if (std::holds_alternative<std::monostate>(c)) {
        if (!w.null) return false;
        continue;
      }
      if (w.null) return false;
      if (auto s = std::get_if<std::string>(&c)) {
        std::string_view have = *s;
        if (options.partialKey && have.size() > w.text.size()) have = have.substr(0, w.text.size());
        if (CompareText(have, w.text, options.caseInsensitive) != 0) return false;
      } else if (auto d = std::get_if<double>(&c)) {
        if (*d != w.number) return false;
      } else if (auto n = std::get_if<int32_t>(&c)) {
        if (static_cast<double>(*n) != w.number) return false;
      } else if (std::get<bool>(c) != w.boolean) {
        return false;
      }
    }
    return true;
  };
  ensure_view();
  // Walk the live rows by rank: the slots of deleted rows are never visited, so a search that finds an early
  // row stays cheap however many rows were deleted before it.
  for (std::size_t k = 1; k <= slots_.total(); ++k) {
    std::size_t slot = slots_.find(k);
    if (!matches(records_[view_[slot]].cells)) continue;
    pos_ = slot;
    cur_ = view_[slot];
    eof_ = bof_ = false;
    return true;
  }
  return false;
}

// ---- indexes

std::vector<ClientDataSet::KeyPart> ClientDataSet::resolve_index(const std::vector<FieldDef>& defs) const {
  std::vector<KeyPart> key;
  if (!indexName_.empty()) {
    auto it = std::find_if(indexes_.begin(), indexes_.end(), [&](const IndexDef& d) { return d.name == indexName_; });
    if (it == indexes_.end()) throw Error("Index '" + indexName_ + "' not found");
    auto desc = split_names(it->options.descFields);
    auto ci = split_names(it->options.caseInsFields);
    for (const auto& name : split_names(it->fields)) {
      auto f = find_index(defs, name);
      if (!f) field_not_found(name);
      key.push_back(KeyPart{*f, it->options.descending || list_has(desc, name),
                            it->options.caseInsensitive || list_has(ci, name)});
    }
    return key;
  }
  for (const auto& name : split_names(indexFieldNames_)) {
    auto f = find_index(defs, name);
    if (!f) field_not_found(name);
    key.push_back(KeyPart{*f, false, false});
  }
  return key;
}

// Re-resolves the order after a settings change; on failure the previous settings come back.
void ClientDataSet::rebind() {
  if (!Active()) return;
  key_ = resolve_index(active_);
  sortDirty_ = viewDirty_ = true;
}

// Switches the order to index field names or to a named index; a setting that does not resolve leaves the
// previous one in place.
void ClientDataSet::set_order(std::string fieldNames, std::string indexName) {
  if (Active()) check_browse_mode();
  std::string oldFields = indexFieldNames_, oldName = indexName_;
  indexFieldNames_ = std::move(fieldNames);
  indexName_ = std::move(indexName);
  try {
    rebind();
  } catch (...) {
    indexFieldNames_ = oldFields;
    indexName_ = oldName;
    throw;
  }
}

void ClientDataSet::SetIndexFieldNames(std::string_view fieldNames) {
  set_order(std::string(fieldNames), {});
}

void ClientDataSet::AddIndex(std::string_view name, std::string_view fieldNames, const IndexOptions& options) {
  if (name.empty()) throw Error("Index name missing");
  if (split_names(fieldNames).empty()) throw Error("Index '" + std::string(name) + "' has no fields");
  if (Active()) {
    for (const auto& f : split_names(fieldNames))
      if (!find_index(active_, f)) field_not_found(f);
  }
  IndexDef def{std::string(name), std::string(fieldNames), options};
  auto it = std::find_if(indexes_.begin(), indexes_.end(), [&](const IndexDef& d) { return d.name == name; });
  if (it != indexes_.end()) {
    *it = std::move(def);
    if (indexName_ == name) {
      if (Active()) check_browse_mode();
      rebind();
    }
  } else {
    indexes_.push_back(std::move(def));
  }
}

void ClientDataSet::DeleteIndex(std::string_view name) {
  auto it = std::find_if(indexes_.begin(), indexes_.end(), [&](const IndexDef& d) { return d.name == name; });
  if (it == indexes_.end()) throw Error("Index '" + std::string(name) + "' not found");
  indexes_.erase(it);
  if (indexName_ == name) {
    if (Active()) check_browse_mode();
    indexName_.clear();
    rebind();
  }
}

void ClientDataSet::SetIndexName(std::string_view name) {
  if (!name.empty() &&
      std::none_of(indexes_.begin(), indexes_.end(), [&](const IndexDef& d) { return d.name == name; }))
    throw Error("Index '" + std::string(name) + "' not found");
  set_order({}, std::string(name));
}

// ---- filters

std::unique_ptr<FilterExpression> ClientDataSet::resolve_filter(const std::vector<FieldDef>& defs,
                                                                const std::string& text, bool filtered,
                                                                const FilterOptions& options) const {
  if (!filtered) return nullptr;
  auto f = std::make_unique<FilterExpression>(FilterExpression::Parse(text));
  if (f->Blank()) return nullptr;
  f->Bind(defs, options.caseInsensitive);
  return f;
}

void ClientDataSet::SetFilter(std::string_view expression) {
  FilterExpression::Parse(expression);  // syntax errors raise here, whatever the state
  if (!Active()) {
    filterText_ = std::string(expression);
    return;
  }
  check_browse_mode();
  auto f = resolve_filter(active_, std::string(expression), filtered_, filterOptions_);
  filterText_ = std::string(expression);
  if (!filtered_) return;
  filter_ = std::move(f);
  viewDirty_ = true;
  First();
}

void ClientDataSet::SetFiltered(bool filtered) {
  if (!Active()) {
    filtered_ = filtered;
    return;
  }
  check_browse_mode();
  auto f = resolve_filter(active_, filterText_, filtered, filterOptions_);
  bool changed = filtered != filtered_;
  filtered_ = filtered;
  filter_ = std::move(f);
  if (changed) {
    viewDirty_ = true;
    First();
  }
}

void ClientDataSet::SetFilterOptions(const FilterOptions& options) {
  if (!Active()) {
    filterOptions_ = options;
    return;
  }
  check_browse_mode();
  auto f = resolve_filter(active_, filterText_, filtered_, options);
  filterOptions_ = options;
  if (!filtered_) return;
  filter_ = std::move(f);
  viewDirty_ = true;
  First();
}

// ---- copies and packets

void ClientDataSet::CloneFrom(const ClientDataSet& source) {
  if (&source == this) return;
  source.check_active();
  std::vector<Record> rows;
  rows.reserve(source.live_);
  for (const Record& r : source.records_)
    if (!r.deleted) rows.push_back(Record{r.cells, false});
  install(source.active_, std::move(rows));
  defs_ = active_;
}

void ClientDataSet::LoadFromPacket(std::string_view packet) {
  PacketContents contents = DecodePacket(packet);
  std::vector<Record> rows;
  rows.reserve(contents.rows.size());
  for (auto& cells : contents.rows) rows.push_back(Record{std::move(cells), false});
  install(contents.fields, std::move(rows));
  defs_ = active_;
}

std::string ClientDataSet::SavePacket() const {
  check_active();
  std::vector<const std::vector<FieldValue>*> rows;
  rows.reserve(live_);
  for (const Record& r : records_)
    if (!r.deleted) rows.push_back(&r.cells);
  return EncodePacket(active_, rows);
}

void ClientDataSet::LoadFromFile(const std::filesystem::path& path) {
  LoadFromPacket(ReadPacketFile(path));
}

void ClientDataSet::SaveToFile(const std::filesystem::path& path) const {
  WritePacketFile(path, SavePacket());
}

}  // namespace imp
