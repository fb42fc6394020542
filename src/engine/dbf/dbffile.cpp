#include "engine/dbf/dbffile.h"

#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "engine/error.h"
#include "engine/fieldtypes.h"

namespace engine::dbf {

namespace {

// ------------------------------------------------------------------ bytes

std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint32_t be32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}
std::int64_t le64(const unsigned char* p) {
    return static_cast<std::int64_t>(std::uint64_t(le32(p)) | std::uint64_t(le32(p + 4)) << 32);
}

std::string fileName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

[[noreturn]] void damaged(const std::string& path, const std::string& why) {
    throw Error(err::NotADatabase, "'" + path + "' is not a valid DBF table: " + why + ".");
}

// Reads up to n bytes at offset; fewer only at the end of the file.
size_t readAt(int fd, void* buf, size_t n, std::int64_t offset) {
    size_t done = 0;
    while (done < n) {
        ssize_t got = ::pread(fd, static_cast<char*>(buf) + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

class File {
public:
    File() = default;
    ~File() {
        if (fd_ >= 0) ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens for reading; throws the engine's error for a missing, unreadable or folder path.
    void open(const std::string& path, const std::string& missingMessage) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) throw Error(err::FileNotFound, missingMessage);
            throw Error(err::NotPermitted, "The file '" + path + "' cannot be opened: " + std::strerror(errno) + ".");
        }
        if (S_ISDIR(st.st_mode))
            throw Error(err::NotADatabase, "'" + fileName(path) + "' is a folder, not a table file.");
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0)
            throw Error(err::NotPermitted, "The file '" + path + "' cannot be opened: " + std::strerror(errno) + ".");
        if (::fstat(fd_, &st) == 0) size_ = st.st_size;
    }
    int fd() const { return fd_; }
    std::int64_t size() const { return size_; }

private:
    int fd_ = -1;
    std::int64_t size_ = 0;
};

// -------------------------------------------------------------- code pages

struct LanguageDriver {
    std::uint8_t id;
    const char* encoding;
};

// Language-driver bytes and the code pages they stand for.
constexpr LanguageDriver kDrivers[] = {
    {0x01, "CP437"},  {0x02, "CP850"},  {0x03, "CP1252"}, {0x04, "MACINTOSH"}, {0x08, "CP865"},
    {0x09, "CP437"},  {0x0A, "CP850"},  {0x0B, "CP437"},  {0x0D, "CP437"},     {0x0E, "CP850"},
    {0x0F, "CP437"},  {0x10, "CP850"},  {0x11, "CP437"},  {0x12, "CP850"},     {0x13, "CP932"},
    {0x14, "CP850"},  {0x15, "CP437"},  {0x16, "CP850"},  {0x17, "CP865"},     {0x18, "CP437"},
    {0x19, "CP437"},  {0x1A, "CP850"},  {0x1B, "CP437"},  {0x1C, "CP863"},     {0x1D, "CP850"},
    {0x1F, "CP852"},  {0x22, "CP852"},  {0x23, "CP852"},  {0x24, "CP860"},     {0x25, "CP850"},
    {0x26, "CP866"},  {0x37, "CP850"},  {0x40, "CP852"},  {0x4D, "CP936"},     {0x4E, "CP949"},
    {0x4F, "CP950"},  {0x50, "CP874"},  {0x57, "CP1252"}, {0x58, "CP1252"},    {0x59, "CP1252"},
    {0x64, "CP852"},  {0x65, "CP866"},  {0x66, "CP865"},  {0x67, "CP861"},     {0x6A, "CP737"},
    {0x6B, "CP857"},  {0x6C, "CP863"},  {0x78, "CP950"},  {0x79, "CP949"},     {0x7A, "CP936"},
    {0x7B, "CP932"},  {0x7C, "CP874"},  {0x7D, "CP1255"}, {0x7E, "CP1256"},    {0x86, "CP737"},
    {0x87, "CP852"},  {0x88, "CP857"},  {0x96, "MAC-CYRILLIC"}, {0x97, "MAC-CENTRALEUROPE"},
    {0xC8, "CP1250"}, {0xC9, "CP1251"}, {0xCA, "CP1254"}, {0xCB, "CP1253"},    {0xCC, "CP1257"},
};

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Bytes of one code page to UTF-8. Single-byte code pages go through a table
// of the 256 bytes built once with iconv; others call iconv per value.
class CodePage {
public:
    explicit CodePage(const std::string& encoding) {
        cd_ = iconv_open("UTF-8", encoding.c_str());
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw Error(err::InvalidArgument, "The code page '" + encoding + "' is not known.");
        asciiSame_ = true;
        singleByte_ = true;
        for (int b = 0; b < 256; ++b) {
            char in = static_cast<char>(b);
            char out[16];
            char* ip = &in;
            char* op = out;
            size_t il = 1, ol = sizeof out;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            size_t rc = iconv(cd_, &ip, &il, &op, &ol);
            if (rc != size_t(-1)) {
                // Stateful encodings may hold a byte back until flushed.
                iconv(cd_, nullptr, nullptr, &op, &ol);
            }
            const bool ok = rc != size_t(-1) && il == 0 && op > out;
            if (b < 0x80 && !(ok && op - out == 1 && out[0] == in)) asciiSame_ = false;
            if (!ok && (rc != size_t(-1) || errno == EINVAL)) singleByte_ = false;  // needs more bytes
            table_[b] = ok ? std::string(out, op) : std::string(kReplacement);
        }
        singleByte_ = singleByte_ && asciiSame_;
    }
    ~CodePage() { iconv_close(cd_); }
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    // Appends the UTF-8 form of the bytes to out.
    void decode(std::string_view in, std::string& out) {
        if (asciiSame_) {
            size_t ascii = 0;
            while (ascii < in.size() && static_cast<unsigned char>(in[ascii]) < 0x80) ++ascii;
            out.append(in.data(), ascii);
            if (ascii == in.size()) return;
            if (singleByte_) {
                for (size_t i = ascii; i < in.size(); ++i) {
                    const unsigned char b = static_cast<unsigned char>(in[i]);
                    if (b < 0x80) out += static_cast<char>(b);
                    else out += table_[b];
                }
                return;
            }
            in.remove_prefix(ascii);
        }
        convert(in, out);
    }

private:
    void convert(std::string_view in, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* ip = const_cast<char*>(in.data());
        size_t il = in.size();
        char buf[1024];
        while (il > 0) {
            char* op = buf;
            size_t ol = sizeof buf;
            const size_t rc = iconv(cd_, &ip, &il, &op, &ol);
            const int e = errno;
            out.append(buf, op);
            if (rc == size_t(-1) && e != E2BIG) {
                // A byte that is no character here, or a character cut off at
                // the end of the field: one replacement mark, and on.
                out += kReplacement;
                ++ip;
                --il;
            }
        }
        char* op = buf;
        size_t ol = sizeof buf;
        iconv(cd_, nullptr, nullptr, &op, &ol);
        out.append(buf, op);
    }

    iconv_t cd_;
    bool asciiSame_ = false;
    bool singleByte_ = false;
    std::array<std::string, 256> table_;
};

// ----------------------------------------------------------------- fields

enum class Kind : std::uint8_t {
    Char, Varchar, Binary, Varbinary, Numeric, Date, DateTime, Logical,
    Integer, Double, Currency, MemoText, MemoBinary, NullFlags
};

struct Layout {
    Kind kind;
    int offset;    // in the record
    int length;
    int nullBit;   // bit in _NullFlags telling the value is Null; -1 when none
    int varBit;    // bit telling a V/Q value is shorter than the field; -1 when none
};

bool isVisualFoxPro(std::uint8_t v) { return v == 0x30 || v == 0x31 || v == 0x32; }
bool isFoxPro(std::uint8_t v) { return isVisualFoxPro(v) || v == 0xF5 || v == 0xFB; }

// Table levels read with the dBASE III header layout.
bool knownVersion(std::uint8_t v) {
    switch (v) {
    case 0x03: case 0x05: case 0x30: case 0x31: case 0x32: case 0x43: case 0x63: case 0x7B:
    case 0x83: case 0x8B: case 0x8E: case 0xCB: case 0xF5: case 0xFB: return true;
    default: return false;
    }
}

// ------------------------------------------------------------------- memos

// A .dbt or .fpt file, read a block at a time on demand.
class MemoFile {
public:
    void open(const std::string& path, std::uint8_t version) {
        path_ = path;
        file_.open(path, "Could not find file '" + path + "'.");
        unsigned char h[24] = {};
        readAt(file_.fd(), h, sizeof h, 0);
        const std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
        fpt_ = equalsNoCase(ext, ".fpt");
        if (fpt_) {
            blockSize_ = static_cast<std::uint32_t>(h[6]) << 8 | h[7];
            if (blockSize_ == 0) blockSize_ = 64;
        } else {
            // dBASE III memo files always use 512-byte blocks; later levels
            // keep their block size in the header.
            blockSize_ = version == 0x83 ? 512 : le16(h + 20);
            if (blockSize_ == 0) blockSize_ = 512;
        }
    }

    // The bytes of the memo at `block`; empty for block 0. Throws when the
    // memo lies outside the file.
    const std::string& read(std::uint32_t block, std::int64_t record) {
        data_.clear();
        if (block == 0) return data_;
        const std::int64_t at = std::int64_t(block) * blockSize_;
        unsigned char h[8] = {};
        if (at >= file_.size() || readAt(file_.fd(), h, 8, at) < (fpt_ ? 8u : 1u)) outside(record);
        std::int64_t start = at, length = -1;
        if (fpt_) {
            start = at + 8;
            length = be32(h + 4);
        } else if (h[0] == 0xFF && h[1] == 0xFF && h[2] == 0x08 && h[3] == 0x00) {
            start = at + 8;  // the length counts the 8 bytes of the block's head
            length = std::max<std::int64_t>(0, std::int64_t(le32(h + 4)) - 8);
        }
        if (length >= 0) {
            if (length > file_.size() - start) outside(record);
            data_.resize(static_cast<size_t>(length));
            if (readAt(file_.fd(), data_.data(), data_.size(), start) != data_.size()) outside(record);
            return data_;
        }
        // dBASE III: the text runs to the first end-of-file mark (0x1A).
        char buf[512];
        for (std::int64_t pos = start; pos < file_.size();) {
            size_t got = readAt(file_.fd(), buf, sizeof buf, pos);
            if (got == 0) break;
            const char* end = static_cast<const char*>(std::memchr(buf, 0x1A, got));
            data_.append(buf, end ? static_cast<size_t>(end - buf) : got);
            if (end) break;
            pos += static_cast<std::int64_t>(got);
        }
        return data_;
    }

private:
    [[noreturn]] void outside(std::int64_t record) {
        throw Error(err::NotADatabase, "The memo file '" + path_ + "' is damaged: the memo of record " +
                                           std::to_string(record) + " lies outside it.");
    }

    File file_;
    std::string path_;
    bool fpt_ = false;
    std::uint32_t blockSize_ = 512;
    std::string data_;
};

// The file in `dir` named `name` in any letter case; empty when none.
std::string findNoCase(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (equalsNoCase(e->d_name, name)) {
            found = (dir.empty() ? "" : dir + "/") + e->d_name;
            if (name == e->d_name) break;  // the exact spelling wins
        }
    }
    ::closedir(d);
    return found;
}

// -------------------------------------------------------------- values

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    return s;
}

Variant numberValue(std::string_view raw) {
    std::string_view s = trimmed(raw);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return {};
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec == std::errc() && end == s.data() + s.size()) return Variant::dbl(v);
    // Some writers put a decimal comma; anything else ("*****" for a number
    // that did not fit) has no value.
    if (s.size() < 64 && s.find(',') != std::string_view::npos) {
        char buf[64];
        std::replace_copy(s.begin(), s.end(), buf, ',', '.');
        auto [e2, ec2] = std::from_chars(buf, buf + s.size(), v);
        if (ec2 == std::errc() && e2 == buf + s.size()) return Variant::dbl(v);
    }
    return {};
}

constexpr long kMinDay = -657434;   // 100-01-01, days from 1899-12-30
constexpr long kMaxDay = 2958465;   // 9999-12-31

Variant dateValue(const unsigned char* p) {
    int parts[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    for (int k = 0, at = 0; k < 3; at += widths[k++])
        for (int i = 0; i < widths[k]; ++i) {
            if (p[at + i] < '0' || p[at + i] > '9') return {};  // blank or damaged
            parts[k] = parts[k] * 10 + (p[at + i] - '0');
        }
    using namespace std::chrono;
    const year_month_day ymd{year{parts[0]}, month{unsigned(parts[1])}, day{unsigned(parts[2])}};
    if (!ymd.ok() || parts[0] < 100) return {};
    return Variant::date(dates::fromParts(parts[0], parts[1], parts[2]));
}

// Julian day number and milliseconds after midnight; seconds are rounded,
// as writers store 08:30:00 as 08:29:59.999.
Variant dateTimeValue(const unsigned char* p) {
    const auto julian = static_cast<std::int32_t>(le32(p));
    const auto ms = static_cast<std::int32_t>(le32(p + 4));
    if (julian == 0 || julian == 0x20202020) return {};
    const long day = long(julian) - 2415019;
    if (day < kMinDay || day > kMaxDay || ms < 0 || ms > 86400000) return {};
    const int seconds = (ms + 500) / 1000;
    if (day == kMaxDay && seconds >= 86400) return {};
    return Variant::date(dates::fromParts(1899, 12, 30 + static_cast<int>(day), 0, 0, seconds));
}

Variant logicalValue(unsigned char c) {
    switch (c) {
    case 'T': case 't': case 'Y': case 'y': return Variant::boolean(true);
    case 'F': case 'f': case 'N': case 'n': return Variant::boolean(false);
    default: return {};
    }
}

// The block number a memo field holds: four bytes in Visual FoxPro, else
// ten digits with blanks before them.
std::uint32_t memoBlock(const unsigned char* p, int length) {
    if (length == 4) return le32(p);
    std::uint64_t n = 0;
    for (int i = 0; i < length; ++i) {
        if (p[i] >= '0' && p[i] <= '9') n = n * 10 + (p[i] - '0');
        else if (p[i] != ' ' && p[i] != 0) return 0;
        if (n > 0xFFFFFFFFu) return 0;
    }
    return static_cast<std::uint32_t>(n);
}

}  // namespace

// ================================================================= table

std::string encodingForLanguageDriver(std::uint8_t id) {
    for (const auto& d : kDrivers)
        if (d.id == id) return d.encoding;
    return {};
}

struct DbfTable::Impl {
    std::string path;
    File file;
    std::uint8_t version = 0;
    std::uint8_t languageDriver = 0;
    std::string encoding;  // chosen by the caller, else from the language-driver byte
    std::unique_ptr<CodePage> codePage;
    std::string memoPath;
    MemoFile memo;

    std::int64_t headerLength = 0;
    std::int64_t recordLength = 0;
    std::int64_t records = 0;                 // whole records in the file
    mutable std::int64_t visibleRecords = -1;  // counted on demand

    std::vector<DbfField> fields;
    std::vector<Layout> layout;  // one per visible field
    int nullFlagsOffset = -1;
    int nullFlagsLength = 0;

    // Reading.
    std::vector<unsigned char> chunk;
    std::int64_t chunkFirst = 0;  // record index of chunk[0]
    std::int64_t chunkRecords = 0;
    std::int64_t current = -1;    // record index of row
    std::vector<Variant> row;
    std::string text;

    std::int64_t recordsPerChunk() const { return std::max<std::int64_t>(1, (1 << 20) / recordLength); }

    void readHeader();
    void findMemo();
    bool load(std::int64_t index);
    void decode(const unsigned char* rec);
};

void DbfTable::Impl::readHeader() {
    if (file.size() < 32) damaged(path, "the file is shorter than a table header");
    unsigned char h[32];
    if (readAt(file.fd(), h, 32, 0) != 32) damaged(path, "its header cannot be read");
    version = h[0];
    if (version == 0x04 || version == 0x8C)
        throw Error(err::OperationNotSupported,
                    "'" + path + "' is a DBF table of level 7, which this program cannot read.");
    if (!knownVersion(version)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", version);
        damaged(path, std::string("its first byte (") + hex + ") is not that of a table");
    }
    const std::uint32_t count = le32(h + 4);
    headerLength = le16(h + 8);
    recordLength = le16(h + 10);
    languageDriver = h[29];
    if (encoding.empty()) encoding = encodingForLanguageDriver(languageDriver);
    if (encoding.empty()) encoding = "CP1252";
    codePage = std::make_unique<CodePage>(encoding);
    if (headerLength < 32 + 32 + 1) damaged(path, "the header is too short to hold a field");
    if (headerLength > file.size()) damaged(path, "the header is longer than the file");
    if (recordLength < 2) damaged(path, "the record length is too small");

    std::vector<unsigned char> header(static_cast<size_t>(headerLength));
    if (readAt(file.fd(), header.data(), header.size(), 0) != header.size()) damaged(path, "its header cannot be read");

    const bool vfp = isVisualFoxPro(version);
    int offset = 1;  // after the deletion mark
    int nullBits = 0;
    struct Raw {
        std::string name;
        char type;
        int length, decimals, flags;
    };
    std::vector<Raw> raws;
    for (std::int64_t at = 32; at + 32 <= headerLength && header[static_cast<size_t>(at)] != 0x0D; at += 32) {
        const unsigned char* f = header.data() + at;
        Raw r;
        const auto* nameEnd = static_cast<const unsigned char*>(std::memchr(f, 0, 11));
        std::string_view name(reinterpret_cast<const char*>(f), nameEnd ? nameEnd - f : 11);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        codePage->decode(name, r.name);
        r.type = static_cast<char>(f[11]);
        r.length = f[16];
        r.decimals = f[17];
        r.flags = vfp ? f[18] : 0;
        // Character fields longer than 255 keep the high byte in the decimals.
        if (r.type == 'C' && !vfp) r.length |= r.decimals << 8, r.decimals = 0;
        raws.push_back(std::move(r));
    }
    if (raws.empty()) damaged(path, "it has no fields");

    for (const Raw& r : raws) {
        const std::string where = "the field '" + r.name + "' ";
        if (r.length == 0) damaged(path, where + "has no length");
        // Fixed-size types must have their size: the decoders rely on it.
        auto fixed = [&](std::initializer_list<int> lengths) {
            if (std::find(lengths.begin(), lengths.end(), r.length) == lengths.end())
                damaged(path, where + "of type " + r.type + " has the length " + std::to_string(r.length));
        };
        const bool binary = r.flags & 0x04;
        auto as = [&](Kind kind, int type) { return std::pair{kind, type}; };
        std::pair<Kind, int> kt;
        switch (r.type) {
        case 'C': kt = binary ? as(Kind::Binary, dbLongBinary) : as(Kind::Char, dbChar); break;
        case 'V': kt = binary ? as(Kind::Varbinary, dbLongBinary) : as(Kind::Varchar, dbText); break;
        case 'Q': kt = as(Kind::Varbinary, dbLongBinary); break;
        case 'N': kt = as(Kind::Numeric, dbNumeric); break;
        case 'F': kt = as(Kind::Numeric, dbFloat); break;
        case 'D': fixed({8}), kt = as(Kind::Date, dbDate); break;
        case 'T': fixed({8}), kt = as(Kind::DateTime, dbDate); break;
        case 'L': fixed({1}), kt = as(Kind::Logical, dbBoolean); break;
        case 'I': fixed({4}), kt = as(Kind::Integer, dbLong); break;
        case 'B': fixed({8}), kt = as(Kind::Double, dbDouble); break;
        case 'Y': fixed({8}), kt = as(Kind::Currency, dbCurrency); break;
        case 'M': fixed({4, 10}), kt = binary ? as(Kind::MemoBinary, dbLongBinary) : as(Kind::MemoText, dbMemo); break;
        case 'G': case 'P': case 'W': fixed({4, 10}), kt = as(Kind::MemoBinary, dbLongBinary); break;
        case '0': kt = as(Kind::NullFlags, 0); break;
        default:
            throw Error(err::OperationNotSupported, "The field '" + r.name + "' of '" + path + "' has the type '" +
                                                        std::string(1, r.type) + "', which this program cannot read.");
        }
        Layout l{kt.first, offset, r.length, -1, -1};
        DbfField f;
        f.dbfType = r.type;
        f.type = kt.second;
        f.length = r.length;
        f.decimals = r.decimals;
        f.nullable = r.flags & 0x02;
        offset += r.length;
        if (offset > recordLength) damaged(path, "its fields are longer than its records");
        if (l.kind == Kind::NullFlags) {
            nullFlagsOffset = l.offset;
            nullFlagsLength = l.length;
            continue;
        }
        // _NullFlags bits go to fields in order: a Varchar or Varbinary field's
        // length bit, then the Null bit of a field that can be Null.
        if (vfp && (r.type == 'V' || r.type == 'Q')) l.varBit = nullBits++;
        if (vfp && f.nullable) l.nullBit = nullBits++;
        f.size = (f.type == dbChar || f.type == dbText) ? r.length : fieldTypeInfo(f.type)->fixedSize;
        f.name = r.name;
        fields.push_back(std::move(f));
        layout.push_back(l);
    }
    // Bits the _NullFlags field does not have are never set.
    for (Layout& l : layout) {
        if (l.nullBit >= nullFlagsLength * 8) l.nullBit = -1;
        if (l.varBit >= nullFlagsLength * 8) l.varBit = -1;
    }
    records = std::min<std::int64_t>(count, (file.size() - headerLength) / recordLength);
}

void DbfTable::Impl::findMemo() {
    const bool needed = std::any_of(layout.begin(), layout.end(),
                                    [](const Layout& l) { return l.kind == Kind::MemoText || l.kind == Kind::MemoBinary; });
    if (!needed) return;
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash);
    std::string stem = fileName(path);
    if (auto dot = stem.find_last_of('.'); dot != std::string::npos) stem.erase(dot);
    const char* order[2] = {".fpt", ".dbt"};
    if (!isFoxPro(version)) std::swap(order[0], order[1]);
    for (const char* ext : order)
        if (memoPath = findNoCase(dir, stem + ext); !memoPath.empty()) break;
    if (memoPath.empty())
        throw Error(err::FileNotFound, "Could not find the memo file '" + stem + order[0] + "' of '" + path + "'.");
    memo.open(memoPath, version);
}

// Makes record `index` present in the chunk; false when the file ends before it.
bool DbfTable::Impl::load(std::int64_t index) {
    if (index >= chunkFirst && index < chunkFirst + chunkRecords) return true;
    const std::int64_t want = std::min(recordsPerChunk(), records - index);
    chunk.resize(static_cast<size_t>(recordsPerChunk() * recordLength));
    const size_t got = readAt(file.fd(), chunk.data(), static_cast<size_t>(want * recordLength),
                              headerLength + index * recordLength);
    chunkFirst = index;
    chunkRecords = static_cast<std::int64_t>(got) / recordLength;
    if (chunkRecords < want) records = index + chunkRecords;  // the file shrank since it was opened
    return chunkRecords > 0;
}

void DbfTable::Impl::decode(const unsigned char* rec) {
    auto bit = [&](int n) {
        return n >= 0 && (rec[nullFlagsOffset + n / 8] >> (n % 8) & 1) != 0;
    };
    for (size_t i = 0; i < layout.size(); ++i) {
        const Layout& l = layout[i];
        Variant& v = row[i];
        if (bit(l.nullBit)) {
            v = Variant();
            continue;
        }
        const unsigned char* p = rec + l.offset;
        const std::string_view raw(reinterpret_cast<const char*>(p), static_cast<size_t>(l.length));
        switch (l.kind) {
        case Kind::Char: {
            std::string_view s = raw;
            while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
            text.clear();
            codePage->decode(s, text);
            v = Variant::text(text);
            break;
        }
        case Kind::Varchar:
        case Kind::Varbinary: {
            std::string_view s = raw;
            if (bit(l.varBit)) s = s.substr(0, std::min<size_t>(p[l.length - 1], s.size() - 1));
            if (l.kind == Kind::Varbinary) {
                v = Variant::binary(std::string(s));
            } else {
                text.clear();
                codePage->decode(s, text);
                v = Variant::text(text);
            }
            break;
        }
        case Kind::Binary: v = Variant::binary(std::string(raw)); break;
        case Kind::Numeric: v = numberValue(raw); break;
        case Kind::Date: v = dateValue(p); break;
        case Kind::DateTime: v = dateTimeValue(p); break;
        case Kind::Logical: v = logicalValue(p[0]); break;
        case Kind::Integer: v = Variant::longInt(static_cast<std::int32_t>(le32(p))); break;
        case Kind::Double: {
            double d;
            std::memcpy(&d, p, 8);  // little-endian IEEE, as on the machines we build for
            v = Variant::dbl(d);
            break;
        }
        case Kind::Currency: v = Variant::currencyScaled(le64(p)); break;
        case Kind::MemoText:
        case Kind::MemoBinary: {
            const std::string& bytes = memo.read(memoBlock(p, l.length), current + 1);
            if (l.kind == Kind::MemoBinary) {
                v = Variant::binary(bytes);
            } else {
                text.clear();
                codePage->decode(bytes, text);
                v = Variant::text(text);
            }
            break;
        }
        case Kind::NullFlags: break;
        }
    }
}

DbfTable::DbfTable() : d_(std::make_unique<Impl>()) {}
DbfTable::~DbfTable() = default;

std::unique_ptr<DbfTable> DbfTable::open(const std::string& path, const std::string& encodingOverride) {
    std::unique_ptr<DbfTable> t(new DbfTable());
    Impl& d = *t->d_;
    d.path = path;
    d.encoding = encodingOverride;
    d.file.open(path, "Could not find file '" + path + "'.");
    d.readHeader();
    d.findMemo();
    d.row.resize(d.fields.size());
    return t;
}

const std::string& DbfTable::path() const { return d_->path; }
std::uint8_t DbfTable::version() const { return d_->version; }
std::uint8_t DbfTable::languageDriver() const { return d_->languageDriver; }
const std::string& DbfTable::encoding() const { return d_->encoding; }
const std::string& DbfTable::memoPath() const { return d_->memoPath; }
const std::vector<DbfField>& DbfTable::fields() const { return d_->fields; }
std::int64_t DbfTable::fileRecordCount() const { return d_->records; }
const std::vector<Variant>& DbfTable::row() const { return d_->row; }
std::int64_t DbfTable::recordNumber() const { return d_->current + 1; }

int DbfTable::fieldIndex(std::string_view name) const {
    for (size_t i = 0; i < d_->fields.size(); ++i)
        if (equalsNoCase(d_->fields[i].name, name)) return static_cast<int>(i);
    return -1;
}

std::int64_t DbfTable::recordCount() const {
    Impl& d = *d_;
    if (d.visibleRecords >= 0) return d.visibleRecords;
    // Only the first byte of each record matters; read the file in chunks
    // of its own so the reading position stays where it is.
    const std::int64_t per = d.recordsPerChunk();
    std::vector<unsigned char> buf(static_cast<size_t>(per * d.recordLength));
    std::int64_t visible = 0, index = 0;
    while (index < d.records) {
        const std::int64_t want = std::min(per, d.records - index);
        const size_t got = readAt(d.file.fd(), buf.data(), static_cast<size_t>(want * d.recordLength),
                                  d.headerLength + index * d.recordLength);
        const std::int64_t n = static_cast<std::int64_t>(got) / d.recordLength;
        for (std::int64_t k = 0; k < n; ++k) visible += buf[static_cast<size_t>(k * d.recordLength)] != '*';
        index += n;
        if (n < want) break;
    }
    d.visibleRecords = visible;
    return visible;
}

void DbfTable::rewind() {
    d_->current = -1;
    for (Variant& v : d_->row) v = Variant();
}

bool DbfTable::next() {
    Impl& d = *d_;
    while (d.current + 1 < d.records) {
        const std::int64_t index = d.current + 1;
        if (!d.load(index)) break;
        d.current = index;
        const unsigned char* rec = d.chunk.data() + (index - d.chunkFirst) * d.recordLength;
        if (rec[0] == '*') continue;
        d.decode(rec);
        return true;
    }
    d.current = d.records;
    return false;
}

}  // namespace engine::dbf
