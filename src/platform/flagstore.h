// A small persistent store of named flags under keys, standing in for the registry: one JSON file in the host
// folder (imp-registry.json), rewritten atomically (a temporary file renamed over it) under a lock that other
// processes respect too.
#pragma once

#include <optional>
#include <string_view>

namespace imp::flagstore {

// The value, or nullopt when the key has no such value. imp::Error when the store cannot be read.
std::optional<bool> read_bool(std::string_view key, std::string_view name);
// Writes the value (creating the key). imp::Error when the store cannot be written.
void write_bool(std::string_view key, std::string_view name, bool value);

}  // namespace imp::flagstore
