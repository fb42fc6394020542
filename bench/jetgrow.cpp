#include "jetgrow.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "engine/jet/jetfile.h"

namespace bench {

namespace {

using Bytes = std::vector<unsigned char>;

// Where the two versions keep what is changed here.
struct Layout {
    size_t pageSize;
    size_t rowCount;      // of a data page: the count, then the rows' offsets
    size_t tableRows;     // of a table definition: its number of records
    size_t usageMap;      // of a table definition: the row holding its usage map
    size_t firstField;    // of a record: its first fixed field
};
constexpr Layout kJet3{2048, 8, 12, 35, 1};
constexpr Layout kJet4{4096, 12, 16, 55, 2};
constexpr unsigned kRowFlags = 0xC000;  // deleted, moved

std::uint32_t get32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
unsigned get16(const unsigned char* p) { return p[0] | p[1] << 8; }
void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void put16(unsigned char* p, unsigned v) { p[0] = v & 0xFF, p[1] = (v >> 8) & 0xFF; }

}  // namespace

long growJetTable(const std::string& sample, const std::string& table, const std::string& out, long rows) {
    std::uint32_t definition = 0;
    bool jet3 = false;
    {
        engine::jet::File file(sample);
        jet3 = file.jet3();
        definition = static_cast<std::uint32_t>(file.table(table)->definitionPage());
    }
    const Layout& at = jet3 ? kJet3 : kJet4;
    std::ifstream in(sample, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t pages = bytes.size() / at.pageSize;
    auto page = [&](size_t n) { return bytes.data() + n * at.pageSize; };

    // The table's first data page is the template.
    size_t first = 0;
    for (size_t n = 1; n < pages && !first; ++n)
        if (page(n)[0] == 0x01 && get32(page(n) + 4) == definition) first = n;
    if (!first) throw std::runtime_error("table '" + table + "' has no records to repeat");
    const Bytes templ(page(first), page(first) + at.pageSize);
    const unsigned perPage = get16(templ.data() + at.rowCount);
    std::vector<unsigned> starts;  // of the records kept in place
    for (unsigned r = 0; r < perPage; ++r) {
        const unsigned raw = get16(templ.data() + at.rowCount + 2 + 2 * r);
        // A deleted or moved record would be repeated as it is, pointer and all.
        if (raw & kRowFlags) throw std::runtime_error("the first page of '" + table + "' has a deleted or moved record");
        starts.push_back(raw);
    }
    if (starts.empty()) throw std::runtime_error("the first page of '" + table + "' keeps no record");

    // The new data pages, their records numbered from 1.
    const size_t added = static_cast<size_t>((rows + long(starts.size()) - 1) / long(starts.size()));
    const size_t firstAdded = pages;
    std::uint32_t number = 0;
    for (size_t k = 0; k < added; ++k) {
        Bytes p = templ;
        for (unsigned s : starts) put32(p.data() + s + at.firstField, ++number);
        bytes.insert(bytes.end(), p.begin(), p.end());
    }
    // The usage map: pages of bits (after a four-byte header), one bit a page.
    const size_t bitsPerMap = (at.pageSize - 4) * 8;
    const size_t lastPage = firstAdded + added - 1;
    const size_t maps = lastPage / bitsPerMap + 1;
    const size_t firstMap = bytes.size() / at.pageSize;
    bytes.resize(bytes.size() + maps * at.pageSize, 0);
    for (size_t m = 0; m < maps; ++m) page(firstMap + m)[0] = 0x05, page(firstMap + m)[1] = 0x01;
    for (size_t n = firstAdded; n <= lastPage; ++n) page(firstMap + n / bitsPerMap)[4 + (n % bitsPerMap) / 8] |= 1 << (n % 8);
    // The map's own record, on a page of its own: the kind (1), then the map pages.
    const size_t holder = bytes.size() / at.pageSize;
    bytes.resize(bytes.size() + at.pageSize, 0);
    unsigned char* h = page(holder);
    h[0] = 0x01, h[1] = 0x01;
    const unsigned length = static_cast<unsigned>(1 + 4 * maps);
    const unsigned start = static_cast<unsigned>(at.pageSize - length);
    put16(h + at.rowCount, 1);
    put16(h + at.rowCount + 2, start);
    h[start] = 0x01;
    for (size_t m = 0; m < maps; ++m) put32(h + start + 1 + 4 * m, static_cast<std::uint32_t>(firstMap + m));
    // The table now reads its records through the new map only.
    unsigned char* def = page(definition);
    put32(def + at.usageMap, static_cast<std::uint32_t>(holder) << 8);
    put32(def + at.tableRows, number);
    std::ofstream file(out, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!file.flush()) throw std::runtime_error("could not write '" + out + "'");
    return static_cast<long>(number);
}

}  // namespace bench
