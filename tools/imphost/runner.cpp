#include "runner.h"

#include <ffi.h>

#include <cmath>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>

#include "signatures.h"
#include "values.h"

namespace imphost {

namespace {

using Json = nlohmann::ordered_json;
using VType = JobValue::Type;

// The argument list of one call, kept at stable addresses until the call returns, and what to read
// back afterwards.
class CallFrame {
 public:
  void add_int(int32_t v) { add(&ffi_type_sint32, &ints_.emplace_back(v)); }
  void add_double(double v) { add(&ffi_type_double, &doubles_.emplace_back(v)); }
  void add_pointer(const void* p) { add(&ffi_type_pointer, &pointers_.emplace_back(p)); }

  const char* keep_text(std::string s) { return texts_.emplace_back(std::move(s)).c_str(); }
  char** new_text_cell(char* initial) { return &text_cells_.emplace_back(initial); }
  int32_t* new_int_cell(int32_t initial) { return &ints_.emplace_back(initial); }
  imp_variant* new_variant_cell() { return &variant_cells_.emplace_back(imp_variant{}); }
  const imp_variant* keep_variant(const JobValue& v) {
    return variants_.emplace_back(std::make_unique<HostVariant>(v))->get();
  }

  // Runs after the call, in order, to collect var outputs and the result.
  void after(std::function<void()> f) { after_.push_back(std::move(f)); }
  void finish() {
    for (auto& f : after_) f();
  }

  std::vector<ffi_type*>& types() { return types_; }
  std::vector<void*>& values() { return values_; }

 private:
  void add(ffi_type* t, void* slot) {
    types_.push_back(t);
    values_.push_back(slot);
  }
  std::vector<ffi_type*> types_;
  std::vector<void*> values_;
  std::deque<int32_t> ints_;
  std::deque<double> doubles_;
  std::deque<const void*> pointers_;
  std::deque<std::string> texts_;
  std::deque<char*> text_cells_;
  std::deque<imp_variant> variant_cells_;
  std::vector<std::unique_ptr<HostVariant>> variants_;
  std::vector<std::function<void()>> after_;
};

std::string describe(VType t) {
  switch (t) {
    case VType::Empty: return "an unassigned value";
    case VType::Null: return "null";
    case VType::Bool: return "a boolean";
    case VType::Int: return "an integer";
    case VType::Double: return "a number";
    case VType::DateTime: return "a date";
    case VType::Text: return "a text";
    case VType::Bytes: return "a packet";
    case VType::Array: return "an array";
  }
  return "a value";
}

int32_t as_int(const JobValue& v) {
  if (v.type == VType::Int) return v.i;
  if (v.type == VType::Double && v.d == std::trunc(v.d) && v.d >= std::numeric_limits<int32_t>::min() &&
      v.d <= std::numeric_limits<int32_t>::max())
    return static_cast<int32_t>(v.d);
  throw JobError("expected a 32-bit integer, got " + describe(v.type));
}

double as_double(const JobValue& v) {
  if (v.type == VType::Double || v.type == VType::DateTime) return v.d;
  if (v.type == VType::Int) return v.i;
  throw JobError("expected a number or a date, got " + describe(v.type));
}

// A text parameter: Windows-1252, or no text at all (NULL) for null and unassigned values.
std::optional<std::string> as_text(const JobValue& v, bool wide) {
  if (v.type == VType::Null || v.type == VType::Empty) return std::nullopt;
  if (v.type != VType::Text) throw JobError("expected a text, got " + describe(v.type));
  std::optional<std::string> text = wide ? std::optional<std::string>(v.text) : utf8_to_cp1252(v.text);
  if (!text) throw JobError("text \"" + v.text + "\" has a character outside Windows-1252");
  if (text->find('\0') != std::string::npos) throw JobError("a text parameter cannot carry a NUL character");
  return text;
}

std::string module_text(const char* p) {
  return p ? cp1252_to_utf8(p) : std::string();
}

// Adds the parameter `k` of kind `kind` with the job's value `v` (nullptr for kinds that take none).
void add_param(const Library& lib, CallFrame& frame, std::size_t k, Param kind, const JobValue* v, Json& var) {
  const std::string key = std::to_string(k);
  switch (kind) {
    case Param::Bool:
      if (v->type != VType::Bool) throw JobError("expected true or false, got " + describe(v->type));
      frame.add_int(v->b ? 1 : 0);
      break;
    case Param::Int: frame.add_int(as_int(*v)); break;
    case Param::Double:
    case Param::DateTime: frame.add_double(as_double(*v)); break;
    case Param::Text:
    case Param::WideText: {
      std::optional<std::string> text = as_text(*v, kind == Param::WideText);
      frame.add_pointer(text ? frame.keep_text(std::move(*text)) : nullptr);
      break;
    }
    case Param::VarText: {
      std::optional<std::string> text = as_text(*v, false);
      char* initial = text ? const_cast<char*>(frame.keep_text(std::move(*text))) : nullptr;
      char** cell = frame.new_text_cell(initial);
      frame.add_pointer(cell);
      // The module replaces the value and never frees ours; a value it wrote is released with imp_free.
      frame.after([&lib, cell, initial, key, &var] {
        var[key] = module_text(*cell);
        if (*cell != initial) lib.free(*cell);
      });
      break;
    }
    case Param::VarInt: {
      int32_t* cell = frame.new_int_cell(as_int(*v));
      frame.add_pointer(cell);
      frame.after([cell, key, &var] { var[key] = *cell; });
      break;
    }
    case Param::Variant: frame.add_pointer(frame.keep_variant(*v)); break;
    case Param::VariantOut: {
      imp_variant* cell = frame.new_variant_cell();
      frame.add_pointer(cell);
      frame.after([&lib, cell, key, &var] {
        var[key] = variant_to_json(*cell);
        lib.variant_clear(cell);
      });
      break;
    }
    case Param::JobArray: break;  // built by the caller from all the job's arguments
  }
}

nlohmann::json read_job_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw JobError("cannot read the job file");
  std::ostringstream s;
  s << in.rdbuf();
  nlohmann::json j = nlohmann::json::parse(s.str(), nullptr, false);
  if (j.is_discarded()) throw JobError("the job file is not valid JSON");
  if (!j.is_object() || !j.contains("entry") || !j["entry"].is_string())
    throw JobError("a job file is {\"entry\": \"name\", \"args\": [...]}");
  if (j.contains("args") && !j["args"].is_array()) throw JobError("\"args\" must be an array");
  return j;
}

}  // namespace

Json run_job(const Library& lib, const Job& job) {
  const nlohmann::json j = read_job_file(job.file);
  const std::string entry = j["entry"].get<std::string>();
  void* fn = lib.symbol(entry);
  if (!fn) throw JobError("the library does not export the entry " + entry);
  const Signature* sig = find_signature(entry);
  if (!sig) throw JobError("imphost does not know the parameters of " + entry + " (add it to the signature table)");

  const std::filesystem::path base = job.file.parent_path();
  std::vector<JobValue> args;
  if (j.contains("args")) {
    for (std::size_t k = 0; k < j["args"].size(); ++k) {
      try {
        args.push_back(parse_job_value(j["args"][k], base));
      } catch (const JobError& e) {
        throw JobError("argument " + std::to_string(k) + " of " + entry + ": " + e.what());
      }
    }
  }

  Json result = nullptr;
  Json var = Json::object();
  CallFrame frame;
  const bool job_array = sig->params.size() == 1 && sig->params[0] == Param::JobArray;
  if (job_array) {
    JobValue items;
    items.type = VType::Array;
    items.items = std::move(args);
    const imp_variant* array = nullptr;
    try {
      array = frame.keep_variant(items);
    } catch (const JobError& e) {
      throw JobError("arguments of " + entry + ": " + e.what());
    }
    imp_variant* out = frame.new_variant_cell();
    frame.add_pointer(array->v.array.items);
    frame.add_int(array->v.array.count);
    frame.add_pointer(out);
    frame.after([&lib, out, &result] {
      result = variant_to_json(*out);
      lib.variant_clear(out);
    });
  } else {
    std::size_t wanted = 0;
    for (Param p : sig->params) wanted += p == Param::VariantOut ? 0 : 1;
    if (args.size() != wanted)
      throw JobError(entry + " takes " + std::to_string(wanted) + " arguments, the job gives " +
                     std::to_string(args.size()));
    std::size_t next = 0;
    for (std::size_t k = 0; k < sig->params.size(); ++k) {
      const Param kind = sig->params[k];
      const JobValue* v = kind == Param::VariantOut ? nullptr : &args[next++];
      try {
        add_param(lib, frame, k, kind, v, var);
      } catch (const JobError& e) {
        throw JobError("argument " + std::to_string(k) + " of " + entry + ": " + e.what());
      }
    }
  }

  imp_variant* variant_result = nullptr;
  ffi_type* rtype = &ffi_type_void;
  switch (sig->result) {
    case Result::None: break;
    case Result::Text: rtype = &ffi_type_pointer; break;
    case Result::Int:
    case Result::Bool: rtype = &ffi_type_sint32; break;
    case Result::Double: rtype = &ffi_type_double; break;
    case Result::Variant:
      variant_result = frame.new_variant_cell();
      frame.add_pointer(variant_result);
      break;
  }

  ffi_cif cif;
  if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(frame.types().size()), rtype, frame.types().data()) !=
      FFI_OK)
    throw JobError("cannot prepare the call of " + entry);
  union {
    ffi_arg integer;
    void* pointer;
    double real;
  } ret{};
  ffi_call(&cif, FFI_FN(fn), &ret, frame.values().data());
  frame.finish();

  switch (sig->result) {
    case Result::None: break;
    case Result::Text: {
      char* text = static_cast<char*>(ret.pointer);
      result = module_text(text);
      lib.free(text);
      break;
    }
    case Result::Int: result = static_cast<int32_t>(ret.integer); break;
    case Result::Bool: result = static_cast<int32_t>(ret.integer) != 0; break;
    case Result::Double: result = ret.real; break;
    case Result::Variant:
      result = variant_to_json(*variant_result);
      lib.variant_clear(variant_result);
      break;
  }
  return Json{{"job", job.shown}, {"entry", entry}, {"result", std::move(result)}, {"var", std::move(var)}};
}

int run_session(const Library& lib, const std::filesystem::path& host_dir, const std::vector<Job>& jobs,
                std::ostream& out, std::ostream& err) {
  lib.set_host_dir(host_dir.string().c_str());
  lib.initialize();
  int failed = 0;
  for (const Job& job : jobs) {
    try {
      Json line = run_job(lib, job);
      lib.wait_idle(-1);
      out << line.dump() << std::endl;
    } catch (const JobError& e) {
      ++failed;
      err << "imphost: " << job.shown << ": " << e.what() << std::endl;
    }
  }
  lib.finalize();
  return failed;
}

std::filesystem::path choose_host_dir(const std::string& option) {
  std::filesystem::path dir = option;
  if (dir.empty()) {
    if (const char* env = std::getenv("IMP_HOST_DIR"); env && *env) dir = env;
  }
  if (dir.empty()) dir = std::filesystem::current_path();
  return std::filesystem::absolute(dir);
}

}  // namespace imphost
