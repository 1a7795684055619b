// Data packets: the content of a client dataset as UTF-8 JSON, as hosts hand it in (a bytes variant) and as
// `.cds` files hold it.
//
//   {"fields": [{"name": "NRCOMANDA", "type": "string", "size": 10},
//               {"name": "QTPRODCOMVEN", "type": "float"},
//               {"name": "NRSEQITEM", "type": "integer"},
//               {"name": "IDRETIRADA", "type": "boolean"},
//               {"name": "DTABERCAIX", "type": "datetime"}],
//    "rows": [{"NRCOMANDA": "0012", "QTPRODCOMVEN": 2, "DTABERCAIX": "2026-12-09T11:30:00"}]}
//
// Reading: field names match regardless of case; a missing key (or null) is a null value; a key naming no
// field is ignored; a string longer than its field's size is cut to it. In a text value a character with no
// Windows-1252 form becomes "?" and a NUL a blank (logged once per job), and every other control character
// becomes a blank: data prints as text, never as a printer command. A packet that is not JSON, lacks the
// "fields"/"rows" arrays, names an unknown type or a field twice, or holds a value of the wrong type is
// refused with an Error naming the field and the row; field names and types stay strict.
// Writing: null values are left out, floats in the shortest form that reads back the same double,
// date-times as "YYYY-MM-DDThh:mm:ss[.zzz]".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dataset.h"
#include "platform/variant.h"

namespace imp {

struct PacketContents {
  std::vector<FieldDef> fields;
  std::vector<std::vector<FieldValue>> rows;  // values in field order, texts in Windows-1252
};

PacketContents DecodePacket(std::string_view json);

// The JSON of a data packet as a host hands it: a bytes variant holds it as it stands (UTF-8); a text variant
// holds it in Windows-1252, as every text crossing the module's interface. Every packet the module receives
// goes through here, so two readers of one packet never decode it differently. imp::Error naming `what` for
// any other value.
std::string PacketJson(const Variant& packet, std::string_view what);
std::string EncodePacket(const std::vector<FieldDef>& fields, const std::vector<const std::vector<FieldValue>*>& rows);

// The bytes of a packet file; Error when it cannot be read.
std::string ReadPacketFile(const std::filesystem::path& path);
// Writes through a temporary file and a rename, so a reader never sees half a packet; Error on failure.
void WritePacketFile(const std::filesystem::path& path, std::string_view packet);

}  // namespace imp
