#pragma once
// Exclusive opens: a whole-file lock that keeps other processes out while every
// connection of this process still opens the file freely.
#include <string>

namespace engine::filelock {

// Registers one open of `path`; throws Error 3045 when another process holds
// the file exclusively or, for an exclusive open, has it open at all.
void acquire(const std::string& path, bool exclusive);
void release(const std::string& path, bool exclusive);

}  // namespace engine::filelock
