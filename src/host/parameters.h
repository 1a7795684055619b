// The host's parameter record (the outlet and terminal parameters of its main form): one row, or none.
// Readers test IsEmpty first; a field the record lacks reads as empty, as the host's record leaves
// unlisted fields empty.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/dataset.h"
#include "platform/variant.h"

namespace imp::host {

class Parameters {
 public:
  // Asks the host for its record now (each job reads it afresh). A packet the host sends that does not load
  // is an imp::Error for the caller to log.
  static Parameters Load();
  explicit Parameters(std::string_view packet);

  bool IsEmpty() const;
  bool Has(std::string_view field) const;
  Variant AsVariant(std::string_view field) const;  // empty variant when missing
  std::string AsString(std::string_view field) const;
  double AsFloat(std::string_view field) const;
  bool AsBoolean(std::string_view field) const;
  double AsDateTime(std::string_view field) const;
  // A switch that may come as a boolean or as a text: true for true, "S", "True" or a non-zero number.
  bool AsFlag(std::string_view field) const;
  ClientDataSet& dataset() { return *ds_; }

 private:
  std::shared_ptr<ClientDataSet> ds_;
};

}  // namespace imp::host
