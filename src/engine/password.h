#pragma once
// Database passwords are kept as salted hashes; they control access through
// the engine but do not encrypt the file.
#include <string>
#include <string_view>

namespace engine::password {

// 3001 for a password the connect string cannot carry (";") or longer than 20 characters.
void checkAcceptable(std::string_view password);
std::string hash(std::string_view password);
bool verify(const std::string& storedHash, std::string_view password);

// The password this process last opened a file with: later opens of the same
// file without one (every grid opens its own connection) use it, as a session
// would. Keyed by the file's canonical path.
void remember(const std::string& file, std::string_view password);
std::string remembered(const std::string& file);

}  // namespace engine::password
