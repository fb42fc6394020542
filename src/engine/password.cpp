#include "engine/password.h"

#include <sodium.h>

#include <map>
#include <mutex>
#include <set>

#include "engine/error.h"

namespace engine::password {

namespace {

// Every grid opens its own connection: remember what was verified already so
// that only the first open pays for the hash.
std::mutex mutex;
std::set<std::pair<std::string, std::string>> verified;
std::map<std::string, std::string> sessionPasswords;

void init() {
    static const bool ok = sodium_init() >= 0;
    if (!ok) throw Error(err::Generic, "The password library could not be started.");
}

constexpr unsigned long long kOps = crypto_pwhash_OPSLIMIT_MIN;
constexpr size_t kMem = 8u * 1024u * 1024u;

}  // namespace

void checkAcceptable(std::string_view pw) {
    if (pw.find(';') != std::string_view::npos)
        throw Error(err::InvalidArgument, "Invalid argument: a password cannot contain ';' (it ends the connect "
                                          "string that carries it).");
    size_t chars = 0;
    for (unsigned char ch : pw)
        if ((ch & 0xC0) != 0x80) ++chars;
    if (chars > 20) throw Error(err::InvalidArgument, "Invalid argument: a password has at most 20 characters.");
}

std::string hash(std::string_view pw) {
    init();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, pw.data(), pw.size(), kOps, kMem) != 0)
        throw Error(err::Generic, "Not enough memory to set the password.");
    return out;
}

bool verify(const std::string& stored, std::string_view pw) {
    init();
    std::pair<std::string, std::string> key{stored, std::string(pw)};
    {
        std::lock_guard<std::mutex> g(mutex);
        if (verified.count(key)) return true;
    }
    if (crypto_pwhash_str_verify(stored.c_str(), pw.data(), pw.size()) != 0) return false;
    std::lock_guard<std::mutex> g(mutex);
    verified.insert(std::move(key));
    return true;
}

}  // namespace engine::password

namespace engine::password {

void remember(const std::string& file, std::string_view pw) {
    std::lock_guard<std::mutex> g(mutex);
    sessionPasswords[file] = std::string(pw);
}

std::string remembered(const std::string& file) {
    std::lock_guard<std::mutex> g(mutex);
    auto it = sessionPasswords.find(file);
    return it == sessionPasswords.end() ? std::string() : it->second;
}

}  // namespace engine::password
