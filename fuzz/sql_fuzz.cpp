// libFuzzer target for the SQL dialect: any text must parse or fail with an
// engine error, and whatever parses must emit or fail the same way.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine/sql/sql.h"

namespace {

using namespace engine;

class FixedCatalog : public sql::Catalog {
public:
    std::optional<sql::SourceInfo> find(std::string_view name) const override {
        auto is = [&](std::string_view want) {
            if (name.size() != want.size()) return false;
            for (size_t i = 0; i < want.size(); ++i)
                if (std::tolower(static_cast<unsigned char>(name[i])) != std::tolower(static_cast<unsigned char>(want[i])))
                    return false;
            return true;
        };
        sql::SourceInfo s;
        if (is("Orders")) {
            s.name = "Orders";
            s.sqliteRef = "\"Orders\"";
            s.columns = {{"OrderID", dbLong}, {"Ship Name", dbText}, {"OrderDate", dbDate}, {"Freight", dbCurrency},
                         {"Shipped", dbBoolean}};
            return s;
        }
        if (is("Customers")) {
            s.name = "Customers";
            s.sqliteRef = "\"Customers\"";
            s.columns = {{"CustomerID", dbLong}, {"Name", dbText}, {"Notes", dbMemo}};
            return s;
        }
        if (is("Big Orders")) {
            s.kind = sql::SourceInfo::Kind::Query;
            s.name = "Big Orders";
            s.sqliteRef = "\"Big Orders\"";
            s.querySql = "SELECT OrderID, Freight FROM Orders WHERE Freight > 100";
            s.columns = {{"OrderID", dbLong}, {"Freight", dbCurrency}};
            return s;
        }
        return std::nullopt;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    static const FixedCatalog catalog;
    try {
        sql::Parsed parsed = sql::parse(text);
        switch (parsed.kind()) {
        case sql::StatementKind::Select:
        case sql::StatementKind::Union:
        case sql::StatementKind::MakeTable: sql::emitSelect(parsed, catalog); break;
        case sql::StatementKind::Delete:
        case sql::StatementKind::Update:
        case sql::StatementKind::Append: sql::emitAction(parsed, catalog); break;
        case sql::StatementKind::DataDefinition: parsed.ddl(); break;
        default: break;
        }
    } catch (const Error&) {
    }
    try {
        sql::SourceInfo orders = *catalog.find("Orders");
        sql::emitCondition(text, orders);
    } catch (const Error&) {
    }
    return 0;
}
