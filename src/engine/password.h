#pragma once
// Database passwords are kept as salted hashes; they control access through
// the engine but do not encrypt the file.
#include <string>
#include <string_view>

namespace engine::password {

std::string hash(std::string_view password);
bool verify(const std::string& storedHash, std::string_view password);

}  // namespace engine::password
