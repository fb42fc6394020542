#pragma once
// The database password of a Jet 3 / Jet 4 file. The first page of such a
// file is scrambled from byte 0x18 on with a fixed RC4 key; in it the password
// lies at 0x42 (20 bytes in Jet 3, 40 bytes of UCS-2 in Jet 4, the Jet 4 ones
// masked with the whole days of the creation date kept at 0x72). It is read
// only to check what the user types: it is never shown.
#include <string>

namespace engine::jet {

// The password as UTF-8, empty when the file has none. Throws engine::Error
// 3343 when the file is too short to hold a first page.
std::string storedPassword(const std::string& path);

// Throws engine::Error 3031 "Not a valid password." when the file has a
// password and `given` is not it (passwords are told apart by case).
void requirePassword(const std::string& path, const std::string& given);

}  // namespace engine::jet
