#include "engine/jet/jetfile.h"

#include <glib.h>
// glib first: mdbtools.h uses its types without including it.
#include <mdbtools.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <fcntl.h>
#include <unistd.h>

#include "engine/error.h"
#include "engine/utf8.h"

namespace engine::jet {

namespace {

MdbHandle* H(void* p) { return static_cast<MdbHandle*>(p); }
MdbTableDef* T(void* p) { return static_cast<MdbTableDef*>(p); }

// Row offsets on a data page carry two flags in their top bits.
constexpr unsigned kDeletedRow = 0x8000;   // deleted, or the far half of a moved record
constexpr unsigned kMovedRow = 0x4000;     // holds only where the record moved to
constexpr unsigned kOffsetMask = 0x1fff;

std::uint16_t u16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t u32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint64_t u64(const unsigned char* p) { return u32(p) | static_cast<std::uint64_t>(u32(p + 4)) << 32; }

[[noreturn]] void damaged(const std::string& what) {
    throw Error(err::NotADatabase, "The database file is damaged: " + what + " cannot be read.");
}

bool yes(const char* prop) { return prop && (std::strcmp(prop, "yes") == 0 || std::strcmp(prop, "1") == 0); }

}  // namespace

bool isJetFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char head[20] = {};
    size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    std::string_view name(head + 4, n >= 19 ? 15 : 0);
    return name == "Standard Jet DB" || name == "Standard ACE DB";
}

// ---------------------------------------------------------------- decoding

std::string File::windows1252ToUtf8(const std::string& bytes) {
    // 0x80..0x9F; the five bytes Windows leaves undefined keep their C1 code points.
    static const std::uint16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char ch : bytes) utf8::append(out, ch >= 0x80 && ch < 0xA0 ? high[ch - 0x80] : ch);
    return out;
}

std::string File::ucs2ToUtf8(const unsigned char* p, size_t n) {
    std::string out;
    out.reserve(n / 2);
    utf8::appendUtf16(out, n / 2, [p](size_t i) { return u16(p + 2 * i); });
    return out;
}

std::string File::guidText(const unsigned char* p) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", u32(p), u16(p + 4), u16(p + 6),
                  p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15]);
    return buf;
}

std::string File::decimalText(const unsigned char* p, int scale) {
    unsigned __int128 v = 0;
    for (int group = 0; group < 4; ++group) v = v << 32 | u32(p + 1 + 4 * group);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    } while (v != 0);
    if (scale > 0) {
        if (static_cast<int>(digits.size()) <= scale) digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<size_t>(scale), ".");
    }
    bool zero = digits.find_first_not_of("0.") == std::string::npos;
    return (p[0] & 0x80) && !zero ? "-" + digits : digits;
}

// Text as stored: Jet 3 in the Windows-1252 code page; Jet 4 in UCS-2, or,
// after the FF FE mark, one byte per character with 00 switching between
// the one- and two-byte forms.
std::string File::text(const unsigned char* p, size_t n) const {
    if (jet3()) return windows1252ToUtf8(std::string(reinterpret_cast<const char*>(p), n));
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        std::string units;
        bool compressed = true;
        size_t start = 2;
        auto segment = [&](size_t from, size_t to) {
            if (compressed) {
                for (size_t i = from; i < to; ++i) {
                    units += static_cast<char>(p[i]);
                    units += '\0';
                }
            } else {
                units.append(reinterpret_cast<const char*>(p + from), (to - from) & ~size_t(1));
            }
        };
        for (size_t i = 2; i < n; ++i) {
            if (p[i] != 0) continue;
            segment(start, i);
            compressed = !compressed;
            start = i + 1;
        }
        segment(start, n);
        return ucs2ToUtf8(reinterpret_cast<const unsigned char*>(units.data()), units.size());
    }
    return ucs2ToUtf8(p, n);
}

// A Memo or OLE value: its 12-byte header holds the length and either the
// bytes themselves or where they start among the long-value pages.
std::string File::longValue(const unsigned char* p, size_t n) {
    if (n < 12) return {};
    std::uint32_t head = u32(p);
    size_t length = head & 0x3fffffff;
    if (head & 0x80000000u) {
        if (12 + length > n) damaged("a long value");
        return std::string(reinterpret_cast<const char*>(p + 12), length);
    }
    std::uint32_t pgRow = u32(p + 4);
    MdbHandle* mdb = H(mdb_);
    const size_t pageSize = static_cast<size_t>(mdb->fmt->pg_size);
    const unsigned rco = mdb->fmt->row_count_offset;
    std::vector<unsigned char> page(pageSize);
    int fd = fileno(mdb->f->stream);
    auto readRow = [&](std::uint32_t pr, const unsigned char*& start, size_t& len) {
        std::uint32_t pg = pr >> 8, row = pr & 0xff;
        if (::pread(fd, page.data(), pageSize, static_cast<off_t>(pg) * static_cast<off_t>(pageSize)) !=
            static_cast<ssize_t>(pageSize))
            damaged("a long value");
        unsigned rows = u16(page.data() + rco);
        if (row >= rows || rco + 4 + row * 2 > pageSize) damaged("a long value");
        unsigned begin = u16(page.data() + rco + 2 + row * 2) & kOffsetMask;
        unsigned end = row == 0 ? pageSize : (u16(page.data() + rco + row * 2) & kOffsetMask);
        if (begin > end || end > pageSize) damaged("a long value");
        start = page.data() + begin;
        len = end - begin;
    };
    std::string out;
    const unsigned char* start = nullptr;
    size_t len = 0;
    if (head & 0x40000000u) {
        readRow(pgRow, start, len);
        if (len < length) damaged("a long value");
        return std::string(reinterpret_cast<const char*>(start), length);
    }
    // A chain of pages: each part starts with where the next one is.
    int guard = 0;
    while (pgRow && out.size() < length) {
        if (++guard > 1 << 20) damaged("a long value");
        readRow(pgRow, start, len);
        if (len < 4) damaged("a long value");
        pgRow = u32(start);
        out.append(reinterpret_cast<const char*>(start + 4), len - 4);
    }
    if (out.size() > length) out.resize(length);
    return out;
}

Variant File::value(const Column& c, int colType, const unsigned char* p, size_t n, bool isNull) {
    if (colType == Bool) return Variant::boolean(!isNull);
    if (isNull) return {};
    auto need = [&](size_t k) {
        if (n < k) damaged("a value of field '" + c.name + "'");
    };
    switch (colType) {
    case Byte: need(1); return Variant::byte(p[0]);
    case Int: need(2); return Variant::integer(static_cast<std::int16_t>(u16(p)));
    case Long: need(4); return Variant::longInt(static_cast<std::int32_t>(u32(p)));
    case Money: need(8); return Variant::currencyScaled(static_cast<std::int64_t>(u64(p)));
    case Float: {
        need(4);
        float f;
        std::uint32_t bits = u32(p);
        std::memcpy(&f, &bits, 4);
        return Variant::single(f);
    }
    case Double:
    case DateTime: {
        need(8);
        double d;
        std::uint64_t bits = u64(p);
        std::memcpy(&d, &bits, 8);
        return colType == Double ? Variant::dbl(d) : Variant::date(d);
    }
    case Binary: return Variant::binary(std::string(reinterpret_cast<const char*>(p), n));
    case Text: return Variant::text(text(p, n));
    case Memo: {
        std::string bytes = longValue(p, n);
        return Variant::text(text(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    }
    case Ole: return Variant::binary(longValue(p, n));
    case RepId: need(16); return Variant::guid(guidText(p));
    case Numeric: need(17); return Variant::text(decimalText(p, c.scale));
    default: return Variant::binary(std::string(reinterpret_cast<const char*>(p), n));
    }
}

// ---------------------------------------------------------------- File

File::File(const std::string& path) : path_(path) {
    MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!mdb) throw Error(err::NotADatabase, "Unrecognized database format '" + path + "'.");
    mdb_ = mdb;
    if (!mdb_read_catalog(mdb, MDB_ANY)) {
        mdb_close(mdb);
        mdb_ = nullptr;
        throw Error(err::NotADatabase, "Unrecognized database format '" + path + "': its catalog cannot be read.");
    }
}

File::~File() {
    if (mdb_) mdb_close(H(mdb_));
}

bool File::jet3() const { return H(mdb_)->f->jet_version == MDB_VER_JET3; }

std::vector<std::string> File::tableNames() const {
    std::vector<std::string> out;
    MdbHandle* mdb = H(mdb_);
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) out.emplace_back(entry->object_name);
    }
    return out;
}

// The table's definition, from its first page on through the pages it continues on.
std::string File::definition(unsigned long firstPage) const {
    MdbHandle* mdb = H(mdb_);
    const size_t pageSize = static_cast<size_t>(mdb->fmt->pg_size);
    const int fd = fileno(mdb->f->stream);
    std::string out, page(pageSize, '\0');
    unsigned long pg = firstPage;
    for (int pages = 0; pg != 0; ++pages) {
        if (pages > 1000 ||
            ::pread(fd, page.data(), pageSize, static_cast<off_t>(pg) * static_cast<off_t>(pageSize)) !=
                static_cast<ssize_t>(pageSize) ||
            page[0] != 0x02)
            damaged("a table definition");
        out += pages == 0 ? page : page.substr(8);
        pg = u32(reinterpret_cast<const unsigned char*>(page.data()) + 4);
    }
    return out;
}

// Indexes, read from the definition: libmdb loses those whose numbers have
// gaps (left by deleted indexes) in Jet 4 files.
std::vector<Index> File::indexes(void* tableDef) const {
    auto* def = static_cast<MdbTableDef*>(tableDef);
    const std::string bytes = definition(def->entry->table_pg);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    const bool j3 = jet3();
    auto need = [&](size_t end) {
        if (end > n) damaged("the indexes of table '" + std::string(def->name) + "'");
    };
    need(j3 ? 43 : 63);
    const unsigned cols = u16(p + (j3 ? 25 : 45));
    const unsigned logical = u32(p + (j3 ? 27 : 47));
    const unsigned real = u32(p + (j3 ? 31 : 51));
    if (logical > 1000 || real > 1000) damaged("the indexes of table '" + std::string(def->name) + "'");
    // Each column's number, which index entries use (deleted columns leave gaps), then the names.
    size_t pos = (j3 ? 43 : 63) + real * (j3 ? 8u : 12u);
    std::vector<std::pair<unsigned, std::string>> columns;
    for (unsigned i = 0; i < cols; ++i, pos += j3 ? 18u : 25u) {
        need(pos + (j3 ? 18u : 25u));
        columns.push_back({u16(p + pos + (j3 ? 1 : 5)), {}});
    }
    for (unsigned i = 0; i < cols; ++i) {
        need(pos + (j3 ? 1 : 2));
        size_t len = j3 ? p[pos] : u16(p + pos);
        pos += j3 ? 1 : 2;
        need(pos + len);
        columns[i].second = text(p + pos, len);
        pos += len;
    }
    struct Real {
        std::vector<std::pair<unsigned, bool>> columns;  // column number, descending
        unsigned flags;
    };
    std::vector<Real> reals;
    const size_t realSize = j3 ? 39 : 52, realSkip = j3 ? 0 : 4;
    for (unsigned i = 0; i < real; ++i, pos += realSize) {
        need(pos + realSize);
        Real r;
        for (unsigned k = 0; k < 10; ++k) {
            const unsigned char* e = p + pos + realSkip + 3 * k;
            if (u16(e) != 0xFFFF) r.columns.push_back({u16(e), e[2] == 0});
        }
        r.flags = p[pos + (j3 ? 38 : 46)];
        reals.push_back(std::move(r));
    }
    struct Logical {
        unsigned real;
        int type;
    };
    std::vector<Logical> logicals;
    const size_t logicalSize = j3 ? 20 : 28, logicalSkip = j3 ? 0 : 4;
    for (unsigned i = 0; i < logical; ++i, pos += logicalSize) {
        need(pos + logicalSize);
        logicals.push_back({u32(p + pos + logicalSkip + 4), p[pos + logicalSkip + 19]});
    }
    std::vector<Index> out;
    for (const Logical& l : logicals) {
        need(pos + (j3 ? 1 : 2));
        size_t len = j3 ? p[pos] : u16(p + pos);
        pos += j3 ? 1 : 2;
        need(pos + len);
        std::string name = text(p + pos, len);
        pos += len;
        if (l.type == 2 || l.real >= reals.size()) continue;  // kept by the file for a relationship
        Index ix;
        ix.name = name;
        ix.primary = l.type == 1;
        ix.unique = (reals[l.real].flags & MDB_IDX_UNIQUE) != 0 || ix.primary;
        ix.ignoreNulls = (reals[l.real].flags & MDB_IDX_IGNORENULLS) != 0;
        bool complete = true;
        for (const auto& [number, descending] : reals[l.real].columns) {
            const std::string* found = nullptr;
            for (const auto& c : columns)
                if (c.first == number) found = &c.second;
            if (!found) complete = false;
            else ix.fields.push_back({*found, descending});
        }
        if (complete && !ix.fields.empty()) out.push_back(std::move(ix));
    }
    return out;
}

std::unique_ptr<Table> File::table(const std::string& name) {
    MdbHandle* mdb = H(mdb_);
    MdbCatalogEntry* entry = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog && !entry; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && name == e->object_name) entry = e;
    }
    if (!entry) throw Error(err::NoSuchTable, "The file has no table '" + name + "'.");
    MdbTableDef* def = mdb_read_table(entry);
    if (!def) damaged("the definition of table '" + name + "'");
    std::unique_ptr<Table> t(new Table);
    t->file_ = this;
    t->def_ = def;
    t->name_ = name;
    t->rowCount_ = static_cast<long>(def->num_rows);
    t->definitionPage_ = entry->table_pg;
    if (!mdb_read_columns(def)) damaged("the columns of table '" + name + "'");
    for (unsigned i = 0; i < def->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        Column c;
        c.name = col->name;
        c.type = col->col_type;
        c.size = col->col_size;
        if (c.type == Text) c.size = jet3() ? col->col_size : col->col_size / 2;
        if (c.type == Numeric) {
            // libmdb reads the two bytes into each other's fields.
            c.precision = col->col_scale;
            c.scale = col->col_prec;
        }
        c.autoNumber = col->is_long_auto != 0;
        c.autoGuid = col->is_uuid_auto != 0;
        c.required = yes(mdb_col_get_prop(col, "Required"));
        c.allowZeroLength = yes(mdb_col_get_prop(col, "AllowZeroLength"));
        t->columns_.push_back(std::move(c));
    }
    t->indexes_ = indexes(def);
    return t;
}

std::vector<Relationship> File::relationships() {
    std::vector<Relationship> out;
    std::unique_ptr<Table> t;
    try {
        t = table("MSysRelationships");
    } catch (const Error&) {
        return out;
    }
    auto at = [&](std::string_view name) {
        for (size_t i = 0; i < t->columns().size(); ++i)
            if (t->columns()[i].name == name) return static_cast<int>(i);
        return -1;
    };
    int cName = at("szRelationship"), cTable = at("szObject"), cCol = at("szColumn"),
        cRefTable = at("szReferencedObject"), cRefCol = at("szReferencedColumn"), cPos = at("icolumn"),
        cFlags = at("grbit");
    if (cName < 0 || cTable < 0 || cCol < 0 || cRefTable < 0 || cRefCol < 0) return out;
    t->readRows([&](std::vector<Variant>& v) {
        Relationship r;
        r.name = v[static_cast<size_t>(cName)].toText();
        r.table = v[static_cast<size_t>(cTable)].toText();
        r.column = v[static_cast<size_t>(cCol)].toText();
        r.referencedTable = v[static_cast<size_t>(cRefTable)].toText();
        r.referencedColumn = v[static_cast<size_t>(cRefCol)].toText();
        if (cPos >= 0 && !v[static_cast<size_t>(cPos)].isNull()) r.position = static_cast<int>(v[static_cast<size_t>(cPos)].toInt64());
        if (cFlags >= 0 && !v[static_cast<size_t>(cFlags)].isNull()) r.flags = static_cast<long>(v[static_cast<size_t>(cFlags)].toInt64());
        out.push_back(std::move(r));
        return true;
    });
    return out;
}

std::vector<SavedQuery> File::queries() {
    std::vector<SavedQuery> out;
    // Queries are named in the catalog; MSysQueries knows them by the same number.
    std::map<long, size_t> byId;
    MdbHandle* mdb = H(mdb_);
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type != MDB_QUERY) continue;
        byId[static_cast<long>(e->table_pg & 0x00FFFFFF)] = out.size();
        out.push_back({e->object_name, 0, {}});
    }
    if (out.empty()) return out;
    auto t = table("MSysQueries");
    auto at = [&](std::string_view name) {
        for (size_t i = 0; i < t->columns().size(); ++i)
            if (t->columns()[i].name == name) return static_cast<int>(i);
        return -1;
    };
    const int cId = at("ObjectId"), cAttr = at("Attribute"), cFlag = at("Flag"), cName1 = at("Name1"),
              cName2 = at("Name2"), cExpr = at("Expression");
    if (cId < 0 || cAttr < 0 || cFlag < 0 || cName1 < 0 || cName2 < 0 || cExpr < 0) return {};
    t->readRows([&](std::vector<Variant>& v) {
        auto it = byId.find(static_cast<long>(v[static_cast<size_t>(cId)].toInt64() & 0x00FFFFFF));
        if (it == byId.end()) return true;
        QueryPart part;
        part.attribute = static_cast<int>(v[static_cast<size_t>(cAttr)].toInt64());
        if (!v[static_cast<size_t>(cFlag)].isNull()) part.flag = static_cast<int>(v[static_cast<size_t>(cFlag)].toInt64());
        part.name1 = v[static_cast<size_t>(cName1)].toText();
        part.name2 = v[static_cast<size_t>(cName2)].toText();
        part.expression = v[static_cast<size_t>(cExpr)].toText();
        SavedQuery& q = out[it->second];
        if (part.attribute == 1) q.kind = part.flag;
        q.parts.push_back(std::move(part));
        return true;
    });
    return out;
}

// ---------------------------------------------------------------- Table

Table::~Table() {
    if (def_) mdb_free_tabledef(T(def_));
}

void Table::readRows(const std::function<bool(std::vector<Variant>&)>& row) {
    MdbTableDef* def = T(def_);
    MdbHandle* mdb = def->entry->mdb;
    const size_t pageSize = static_cast<size_t>(mdb->fmt->pg_size);
    const unsigned rco = mdb->fmt->row_count_offset;
    const int fd = fileno(mdb->f->stream);
    std::vector<unsigned char> page(pageSize), far(pageSize);
    std::vector<MdbField> fields(def->num_cols + 1);
    std::vector<int> types(def->num_cols);
    for (unsigned j = 0; j < def->num_cols; ++j)
        types[j] = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, j))->col_type;

    // The bounds of row `r` of a page, its flags kept in `flags`.
    auto bounds = [&](const std::vector<unsigned char>& pg, unsigned r, unsigned& begin, unsigned& end,
                      unsigned& flags) {
        unsigned rows = u16(pg.data() + rco);
        if (r >= rows || rco + 4 + r * 2 > pageSize) return false;
        unsigned raw = u16(pg.data() + rco + 2 + r * 2);
        flags = raw & ~kOffsetMask;
        begin = raw & kOffsetMask;
        end = r == 0 ? pageSize : (u16(pg.data() + rco + r * 2) & kOffsetMask);
        return begin <= end && end <= pageSize && (begin < end || (flags & kDeletedRow));
    };
    // Decodes a row whose page is in `pg`: libmdb splits it into fields in its own page buffer.
    std::vector<Variant> values(def->num_cols);
    // libmdb's page buffer changes only here and in mdb_read_next_dpg: a page is copied in once.
    const std::vector<unsigned char>* loaded = nullptr;
    auto decode = [&](const std::vector<unsigned char>& pg, unsigned begin, unsigned end) {
        if (loaded != &pg) {
            std::memcpy(mdb->pg_buf, pg.data(), pageSize);
            mdb->cur_pg = 0;  // libmdb must not take its buffer for the page it last read
            loaded = &pg;
        }
        int n = mdb_crack_row(def, static_cast<int>(begin), end - begin, fields.data());
        if (n < 0) damaged("a record of table '" + name_ + "'");
        // Copy the bytes out first: long values are read through other pages.
        std::vector<std::string> raw(def->num_cols);
        std::vector<bool> nulls(def->num_cols, true);
        for (int i = 0; i < n && i < static_cast<int>(def->num_cols); ++i) {
            const MdbField& f = fields[static_cast<size_t>(i)];
            int col = f.colnum;
            if (col < 0 || col >= static_cast<int>(def->num_cols)) continue;
            nulls[static_cast<size_t>(col)] = f.is_null;
            if (f.siz > 0 && f.start >= 0 && static_cast<size_t>(f.start) + static_cast<size_t>(f.siz) <= pageSize)
                raw[static_cast<size_t>(col)].assign(reinterpret_cast<const char*>(mdb->pg_buf) + f.start,
                                                     static_cast<size_t>(f.siz));
        }
        for (unsigned j = 0; j < def->num_cols; ++j)
            values[j] = file_->value(columns_[j], types[j], reinterpret_cast<const unsigned char*>(raw[j].data()),
                                     raw[j].size(), nulls[j]);
    };

    mdb_rewind_table(def);
    while (mdb_read_next_dpg(def)) {
        std::memcpy(page.data(), mdb->pg_buf, pageSize);
        loaded = &page;
        unsigned rows = u16(page.data() + rco);
        for (unsigned r = 0; r < rows; ++r) {
            unsigned begin, end, flags;
            if (!bounds(page, r, begin, end, flags)) damaged("a page of table '" + name_ + "'");
            if (flags & kDeletedRow) continue;  // deleted, or read where its pointer stands
            if (flags & kMovedRow) {
                if (end - begin < 4) damaged("a moved record of table '" + name_ + "'");
                unsigned farRow = page[begin];
                std::uint32_t farPage = static_cast<std::uint32_t>(page[begin + 1]) |
                                        static_cast<std::uint32_t>(page[begin + 2]) << 8 |
                                        static_cast<std::uint32_t>(page[begin + 3]) << 16;
                if (::pread(fd, far.data(), pageSize, static_cast<off_t>(farPage) * static_cast<off_t>(pageSize)) !=
                    static_cast<ssize_t>(pageSize))
                    damaged("a moved record of table '" + name_ + "'");
                if (loaded == &far) loaded = nullptr;  // a different page in the same buffer
                unsigned fb, fe, ff;
                if (!bounds(far, farRow, fb, fe, ff)) damaged("a moved record of table '" + name_ + "'");
                decode(far, fb, fe);
            } else {
                decode(page, begin, end);
            }
            if (!row(values)) return;
        }
    }
}

}  // namespace engine::jet
