#include "host/parameters.h"

#include "host/services.h"

namespace imp::host {

Parameters Parameters::Load() {
  return Parameters(ParametersPacket());
}

Parameters::Parameters(std::string_view packet) : ds_(std::make_shared<ClientDataSet>()) {
  ds_->LoadFromPacket(packet);
  ds_->First();
}

bool Parameters::IsEmpty() const {
  return ds_->IsEmpty();
}

bool Parameters::Has(std::string_view field) const {
  return ds_->FindField(field) != nullptr;
}

Variant Parameters::AsVariant(std::string_view field) const {
  if (ds_->IsEmpty()) return Variant();
  const Field* f = ds_->FindField(field);
  return f ? f->AsVariant() : Variant();
}

std::string Parameters::AsString(std::string_view field) const {
  return AsVariant(field).to_text();
}
double Parameters::AsFloat(std::string_view field) const {
  return AsVariant(field).to_double();
}
bool Parameters::AsBoolean(std::string_view field) const {
  return AsVariant(field).to_bool();
}
bool Parameters::AsFlag(std::string_view field) const {
  Variant v = AsVariant(field);
  if (v.type() == Variant::Type::Text) {
    const std::string& t = v.text();
    if (t == "S" || t == "s") return true;
    if (t == "N" || t == "n" || t.empty()) return false;
  }
  try {
    return v.to_bool();
  } catch (const std::exception&) {
    return false;
  }
}

double Parameters::AsDateTime(std::string_view field) const {
  return AsVariant(field).to_date_time();
}

}  // namespace imp::host
