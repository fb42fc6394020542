// ledgerly-mksample DIR [--rows N]: writes DIR/Sales.mdb, a sample sales
// database that uses every field type, index kind and query kind, and
// DIR/Secret.mdb, a small database with the password "ledgerly".
// The data come from a fixed seed, so two runs give the same files.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "engine/dao.h"

using namespace engine;

namespace {

// splitmix64: small, fast and the same on every platform (unlike the
// standard distributions).
class Random {
public:
    explicit Random(std::uint64_t seed) : s_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T, std::size_t N>
    const T& pick(const T (&items)[N]) { return items[below(static_cast<int>(N))]; }
    std::string guid() {
        std::uint64_t a = next(), b = next();
        char buf[40];
        std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%04X-%012llX}", static_cast<unsigned>(a >> 32),
                      static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(0x4000 | (a & 0x0FFF)),
                      static_cast<unsigned>(0x8000 | ((b >> 48) & 0x3FFF)),
                      static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
        return buf;
    }

private:
    std::uint64_t s_;
};

constexpr std::uint64_t kSeed = 20240611;

struct Place {
    const char* city;
    const char* country;
};
constexpr Place kPlaces[] = {
    {"Berlin", "Germany"},   {"Hamburg", "Germany"},  {"London", "UK"},         {"Cowes", "UK"},
    {"Paris", "France"},     {"Lyon", "France"},      {"Madrid", "Spain"},      {"Sevilla", "Spain"},
    {"Torino", "Italy"},     {"Bergamo", "Italy"},    {"Bern", "Switzerland"},  {"Graz", "Austria"},
    {"Oulu", "Finland"},     {"Lisboa", "Portugal"},  {"Seattle", "USA"},       {"Boise", "USA"},
    {"Montréal", "Canada"},  {"México D.F.", "Mexico"}, {"São Paulo", "Brazil"}, {"Buenos Aires", "Argentina"},
};
constexpr const char* kCompanyFirst[] = {"Alpine", "Blue", "Crescent", "Delta", "Evergreen",
                                         "Falcon", "Golden", "Harbor", "Island", "Juniper"};
constexpr const char* kCompanySecond[] = {"Trading", "Foods", "Markets", "Provisions", "Imports",
                                          "Grocers", "Delicacies", "Supplies", "Wholesale", "Pantry"};
constexpr const char* kFirstNames[] = {"Maria", "Ana", "Thomas", "Christina", "Hanna", "Frédérique", "Martín",
                                       "Laurence", "Elizabeth", "Victoria", "Patricio", "Yang", "Pedro", "Aria"};
constexpr const char* kLastNames[] = {"Anders", "Trujillo", "Hardy", "Berglund", "Moos", "Citeaux", "Sommer",
                                      "Lebihan", "Lincoln", "Ashworth", "Simpson", "Wang", "Afonso", "Cruz"};
constexpr const char* kCategories[] = {"Beverages", "Condiments", "Confections", "Dairy Products",
                                       "Grains/Cereals", "Meat/Poultry", "Produce", "Seafood"};
constexpr const char* kProductWords[] = {"Chai", "Syrup", "Cajun Seasoning", "Gumbo Mix", "Boysenberry Spread",
                                         "Dried Pears", "Cranberry Sauce", "Kobe Niku", "Ikura", "Queso",
                                         "Konbu", "Tofu", "Genen Shouyu", "Pavlova", "Biscuits",
                                         "Marmalade", "Chocolate", "Rössle Sauerkraut", "Tunnbröd", "Gnocchi",
                                         "Ravioli", "Escargots", "Camembert", "Mozzarella", "Lakkalikööri"};
constexpr const char* kProductKinds[] = {"Classic", "Organic"};
constexpr const char* kUnits[] = {"10 boxes x 20 bags", "24 - 12 oz bottles", "12 - 550 ml bottles",
                                  "48 - 6 oz jars", "36 boxes", "12 - 1 lb pkgs.", "20 - 1 kg tins"};
constexpr const char* kComments[] = {"Deliver to the back door.", "Call before delivery.",
                                     "Fragile: glass bottles.", "Customer asked for a single invoice."};

std::string zeroPad(int n, int width) {
    std::string s = std::to_string(n);
    return std::string(width > static_cast<int>(s.size()) ? width - s.size() : 0, '0') + s;
}

std::string withGrouping(long long n) {
    std::string s = std::to_string(n);
    for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3) s.insert(static_cast<size_t>(i), ",");
    return s;
}

void removeDatabase(const std::filesystem::path& file) {
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file.string() + suffix);
}

// Builds a table from (name, type, size, attributes) rows.
struct FieldSpec {
    const char* name;
    int type;
    int size = 0;
    bool required = false;
    bool autoIncrement = false;
};

std::shared_ptr<TableDef> makeTable(Database& db, const char* name, const std::vector<FieldSpec>& fields) {
    auto td = db.CreateTableDef(name);
    for (const auto& field : fields) {
        auto f = td->CreateField(field.name, field.type, field.size);
        f->SetRequired(field.required);
        f->SetAllowZeroLength(false);
        if (field.autoIncrement) f->SetAttributes(dbAutoIncrField);
        td->Fields().Append(f);
    }
    return td;
}

void addIndex(TableDef& td, const char* name, std::vector<const char*> fields, bool primary = false,
              bool unique = false) {
    auto ix = td.CreateIndex(name);
    ix->SetPrimary(primary);
    ix->SetUnique(unique || primary);
    for (const char* f : fields) ix->Fields().Append(ix->CreateField(f));
    td.Indexes().Append(ix);
}

struct Counts {
    long customers = 0, products = 0, orders = 0, details = 0;
    int queries = 0;
};

void makeTables(Database& db) {
    auto customers = makeTable(db, "Customers",
                               {{"CustomerID", dbText, 5, true},
                                {"CompanyName", dbText, 40, true},
                                {"ContactName", dbText, 30},
                                {"City", dbText, 15},
                                {"Country", dbText, 15},
                                {"Phone", dbText, 24},
                                {"CreditLimit", dbCurrency},
                                {"CustomerSince", dbDate},
                                {"Active", dbBoolean},
                                {"CustomerGUID", dbGUID},
                                {"Notes", dbMemo}});
    addIndex(*customers, "PrimaryKey", {"CustomerID"}, true);
    addIndex(*customers, "CompanyName", {"CompanyName"}, false, true);
    addIndex(*customers, "Location", {"Country", "City"});
    db.TableDefs().Append(customers);

    auto products = makeTable(db, "Products",
                              {{"ProductID", dbLong, 0, false, true},
                               {"ProductName", dbText, 40, true},
                               {"Category", dbText, 20},
                               {"QuantityPerUnit", dbText, 30},
                               {"UnitPrice", dbCurrency},
                               {"UnitsInStock", dbInteger},
                               {"ReorderLevel", dbByte},
                               {"Discontinued", dbBoolean},
                               {"Weight", dbSingle},
                               {"Description", dbMemo}});
    addIndex(*products, "PrimaryKey", {"ProductID"}, true);
    addIndex(*products, "ProductName", {"ProductName"}, false, true);
    addIndex(*products, "Category", {"Category"});
    db.TableDefs().Append(products);

    auto orders = makeTable(db, "Orders",
                            {{"OrderID", dbLong, 0, false, true},
                             {"CustomerID", dbText, 5, true},
                             {"EmployeeID", dbInteger},
                             {"OrderDate", dbDate, 0, true},
                             {"RequiredDate", dbDate},
                             {"ShippedDate", dbDate},
                             {"ShipVia", dbByte},
                             {"Freight", dbCurrency},
                             {"Weight", dbDouble},
                             {"Ship Name", dbText, 40},
                             {"ShipCity", dbText, 15},
                             {"ShipCountry", dbText, 15},
                             {"Paid", dbBoolean},
                             {"TrackingID", dbGUID},
                             {"Comments", dbMemo}});
    addIndex(*orders, "PrimaryKey", {"OrderID"}, true);  // the row id: costs nothing while filling
    db.TableDefs().Append(orders);

    auto details = makeTable(db, "Order Details",
                             {{"OrderID", dbLong, 0, true},
                              {"ProductID", dbLong, 0, true},
                              {"UnitPrice", dbCurrency, 0, true},
                              {"Quantity", dbInteger, 0, true},
                              {"Discount", dbSingle}});
    db.TableDefs().Append(details);

    // Target of the saved append query; starts empty.
    auto archive = makeTable(db, "Orders Archive",
                             {{"OrderID", dbLong, 0, true},
                              {"CustomerID", dbText, 5},
                              {"OrderDate", dbDate},
                              {"Freight", dbCurrency}});
    addIndex(*archive, "PrimaryKey", {"OrderID"}, true);
    db.TableDefs().Append(archive);
}

void fillCustomers(Database& db, Random& rnd, int count, Counts& counts) {
    auto rs = db.OpenRecordset("Customers");
    constexpr int kFirst = sizeof kCompanyFirst / sizeof *kCompanyFirst;
    for (int i = 0; i < count; ++i) {
        rs->AddNew();
        const Place& place = rnd.pick(kPlaces);
        // Every pair of words once, then numbered, so names stay unique.
        std::string company = std::string(kCompanyFirst[i % kFirst]) + " " +
                              kCompanySecond[(i / kFirst) % (sizeof kCompanySecond / sizeof *kCompanySecond)];
        if (i >= 100) company += " " + std::to_string(i / 100 + 1);
        rs->Fields("CustomerID").SetValue(Variant::text("C" + zeroPad(i + 1, 4)));
        rs->Fields("CompanyName").SetValue(Variant::text(company));
        rs->Fields("ContactName").SetValue(Variant::text(std::string(rnd.pick(kFirstNames)) + " " + rnd.pick(kLastNames)));
        rs->Fields("City").SetValue(Variant::text(place.city));
        rs->Fields("Country").SetValue(Variant::text(place.country));
        if (i % 7 != 3)  // some customers gave no phone number
            rs->Fields("Phone").SetValue(Variant::text("(" + zeroPad(rnd.below(1000), 3) + ") " +
                                                       zeroPad(rnd.below(1000), 3) + "-" + zeroPad(rnd.below(10000), 4)));
        rs->Fields("CreditLimit").SetValue(Variant::currencyScaled((1000 + rnd.below(49) * 1000) * 10000LL));
        rs->Fields("CustomerSince").SetValue(Variant::date(dates::fromParts(2010 + rnd.below(9), 1 + rnd.below(12), 1 + rnd.below(28))));
        rs->Fields("Active").SetValue(Variant::boolean(i % 9 != 0));
        rs->Fields("CustomerGUID").SetValue(Variant::guid(rnd.guid()));
        if (i % 4 == 0)
            rs->Fields("Notes").SetValue(Variant::text("Prefers deliveries in the morning.\r\nPays by bank transfer; "
                                                       "reminders go to the accounts office."));
        rs->Update();
    }
    counts.customers = rs->RecordCount();
    rs->Close();
}

void fillProducts(Database& db, Random& rnd, int count, Counts& counts) {
    auto rs = db.OpenRecordset("Products");
    constexpr int kWords = sizeof kProductWords / sizeof *kProductWords;
    for (int i = 0; i < count; ++i) {
        rs->AddNew();
        std::string name = std::string(kProductKinds[(i / kWords) % 2]) + " " + kProductWords[i % kWords];
        if (i >= 2 * kWords) name += " " + std::to_string(i / (2 * kWords) + 1);
        rs->Fields("ProductName").SetValue(Variant::text(name));
        rs->Fields("Category").SetValue(Variant::text(rnd.pick(kCategories)));
        rs->Fields("QuantityPerUnit").SetValue(Variant::text(rnd.pick(kUnits)));
        rs->Fields("UnitPrice").SetValue(Variant::currencyScaled((250 + rnd.below(9750)) * 100LL));
        rs->Fields("UnitsInStock").SetValue(Variant::integer(static_cast<std::int16_t>(rnd.below(130))));
        rs->Fields("ReorderLevel").SetValue(Variant::byte(static_cast<std::uint8_t>(5 * rnd.below(7))));
        rs->Fields("Discontinued").SetValue(Variant::boolean(i % 8 == 5));
        rs->Fields("Weight").SetValue(Variant::single(static_cast<float>(rnd.below(5000)) / 100.0f + 0.25f));
        if (i % 3 != 0)
            rs->Fields("Description").SetValue(Variant::text(name + ", sold in " + rs->Fields("QuantityPerUnit").Value().toText() + "."));
        rs->Update();
    }
    counts.products = rs->RecordCount();
    rs->Close();
}

// Orders run in date order over six years, the way a shop takes them.
void fillOrders(Database& db, Random& rnd, long count, int customers, Counts& counts) {
    auto rs = db.OpenRecordset("Orders");
    const double first = dates::fromParts(2019, 1, 1);
    const double days = dates::fromParts(2025, 1, 1) - first;
    Field& customer = rs->Fields("CustomerID");
    Field& employee = rs->Fields("EmployeeID");
    Field& orderDate = rs->Fields("OrderDate");
    Field& requiredDate = rs->Fields("RequiredDate");
    Field& shippedDate = rs->Fields("ShippedDate");
    Field& shipVia = rs->Fields("ShipVia");
    Field& freight = rs->Fields("Freight");
    Field& weight = rs->Fields("Weight");
    Field& shipName = rs->Fields("Ship Name");
    Field& shipCity = rs->Fields("ShipCity");
    Field& shipCountry = rs->Fields("ShipCountry");
    Field& paid = rs->Fields("Paid");
    Field& tracking = rs->Fields("TrackingID");
    Field& comments = rs->Fields("Comments");
    constexpr int kFirst = sizeof kCompanyFirst / sizeof *kCompanyFirst;
    constexpr int kSecond = sizeof kCompanySecond / sizeof *kCompanySecond;
    for (long i = 0; i < count; ++i) {
        rs->AddNew();
        int c = rnd.below(customers);
        const Place& place = kPlaces[c % (sizeof kPlaces / sizeof *kPlaces)];
        double day = first + static_cast<double>(static_cast<long long>(days * static_cast<double>(i) / static_cast<double>(count)));
        double time = (8 * 3600 + rnd.below(10 * 3600)) / 86400.0;
        customer.SetValue(Variant::text("C" + zeroPad(c + 1, 4)));
        employee.SetValue(Variant::integer(static_cast<std::int16_t>(1 + rnd.below(9))));
        orderDate.SetValue(Variant::date(day + time));
        requiredDate.SetValue(Variant::date(day + 14 + rnd.below(15)));
        // Recent orders and a few stuck ones have not shipped yet.
        if (day < first + days - 10 && !rnd.chance(4)) shippedDate.SetValue(Variant::date(day + 1 + rnd.below(10)));
        shipVia.SetValue(Variant::byte(static_cast<std::uint8_t>(1 + rnd.below(3))));
        freight.SetValue(Variant::currencyScaled(static_cast<std::int64_t>(rnd.below(90000)) * 100));
        weight.SetValue(Variant::dbl(static_cast<double>(rnd.below(200000)) / 1000.0));
        // Ship names are the customer's, sometimes typed with stray blanks.
        std::string name = std::string(kCompanyFirst[c % kFirst]) + " " + kCompanySecond[(c / kFirst) % kSecond];
        if (rnd.chance(3)) name = "  " + name + " ";
        if (!rnd.chance(2)) shipName.SetValue(Variant::text(name));
        shipCity.SetValue(Variant::text(place.city));
        shipCountry.SetValue(Variant::text(place.country));
        paid.SetValue(Variant::boolean(rnd.chance(85)));
        tracking.SetValue(Variant::guid(rnd.guid()));
        if (rnd.chance(5)) comments.SetValue(Variant::text(rnd.pick(kComments)));
        rs->Update();
    }
    counts.orders = rs->RecordCount();
    rs->Close();
}

// One to three lines per order, from arithmetic on the order number so one
// statement makes them all.
void fillDetails(Database& db, Counts& counts) {
    for (int line = 0; line < 3; ++line) {
        std::string k = std::to_string(line);
        db.Execute("INSERT INTO [Order Details] (OrderID, ProductID, UnitPrice, Quantity, Discount) "
                   "SELECT o.OrderID, p.ProductID, p.UnitPrice, ((o.OrderID * 31 + " + std::to_string(17 * line) +
                   ") Mod 40) + 1, ((o.OrderID + " + k + ") Mod 3) * 0.05 "
                   "FROM Orders AS o INNER JOIN Products AS p ON p.ProductID = ((o.OrderID * 7 + " +
                   std::to_string(13 * line) + ") Mod " + std::to_string(counts.products) + ") + 1 "
                   "WHERE (o.OrderID Mod 3) >= " + k,
                   dbFailOnError);
        counts.details += db.RecordsAffected();
    }
}

// The big tables get their other indexes once filled: building an index from
// sorted rows is several times faster than keeping it up to date row by row
// (a million orders take 20 s in all this way, 50 s with the indexes kept up).
void indexBigTables(Database& db) {
    TableDef& orders = db.TableDefs()["Orders"];
    addIndex(orders, "CustomerID", {"CustomerID"});
    addIndex(orders, "OrderDate", {"OrderDate"});
    addIndex(orders, "CustomerDates", {"CustomerID", "OrderDate", "EmployeeID"});
    addIndex(orders, "ShipTo", {"ShipCountry", "ShipCity", "Ship Name", "ShipVia"});
    TableDef& details = db.TableDefs()["Order Details"];
    addIndex(details, "PrimaryKey", {"OrderID", "ProductID"}, true);
    addIndex(details, "ProductID", {"ProductID"});
}

void makeQueries(Database& db, Counts& counts) {
    const std::pair<const char*, const char*> queries[] = {
        {"Orders by Customer",
         "SELECT c.CompanyName, o.OrderID, o.OrderDate, o.Freight FROM Customers AS c INNER JOIN Orders AS o "
         "ON c.CustomerID = o.CustomerID ORDER BY c.CompanyName, o.OrderDate"},
        {"Order Totals",
         "SELECT OrderID, Sum(UnitPrice * Quantity * (1 - Discount)) AS Total, Count(*) AS Lines "
         "FROM [Order Details] GROUP BY OrderID"},
        {"Unshipped Orders",
         "SELECT OrderID, CustomerID, OrderDate, [Ship Name] FROM Orders WHERE ShippedDate Is Null ORDER BY OrderDate"},
        {"Cities We Know",
         "SELECT City, Country FROM Customers UNION SELECT ShipCity, ShipCountry FROM Orders ORDER BY Country, City"},
        {"Archive Old Orders",
         "INSERT INTO [Orders Archive] (OrderID, CustomerID, OrderDate, Freight) "
         "SELECT OrderID, CustomerID, OrderDate, Freight FROM Orders WHERE OrderDate < #1/1/2020#"},
        {"Raise Prices", "UPDATE Products SET UnitPrice = UnitPrice * 1.05 WHERE Discontinued = False"},
        {"Delete Archived Orders", "DELETE FROM Orders WHERE OrderID In (SELECT OrderID FROM [Orders Archive])"},
        {"Make Shipping List",
         "SELECT OrderID, [Ship Name], ShipCity, ShipCountry INTO [Shipping List] FROM Orders "
         "WHERE ShippedDate Is Null"},
        {"Orders for Customer",
         "PARAMETERS [Which Customer] Text ( 255 ); SELECT * FROM Orders WHERE CustomerID = [Which Customer] "
         "ORDER BY OrderDate"},
    };
    for (const auto& [name, text] : queries) db.CreateQueryDef(name, text);
    counts.queries = static_cast<int>(sizeof queries / sizeof *queries);
}

void makeSales(const std::filesystem::path& dir, long orders) {
    std::filesystem::path file = dir / "Sales.mdb";
    removeDatabase(file);
    auto db = DBEngine::CreateDatabase(file.string());
    Counts counts;
    makeTables(*db);
    Random rnd(kSeed);
    db->BeginTrans();
    fillCustomers(*db, rnd, 100, counts);
    fillProducts(*db, rnd, 50, counts);
    fillOrders(*db, rnd, orders, static_cast<int>(counts.customers), counts);
    fillDetails(*db, counts);
    indexBigTables(*db);
    db->CommitTrans();
    makeQueries(*db, counts);
    db->Close();
    std::cout << file.string() << ": " << withGrouping(counts.orders) << " orders, " << withGrouping(counts.details)
              << " order details, " << counts.customers << " customers, " << counts.products << " products, "
              << counts.queries << " saved queries\n";
}

void makeSecret(const std::filesystem::path& dir) {
    std::filesystem::path file = dir / "Secret.mdb";
    removeDatabase(file);
    auto db = DBEngine::CreateDatabase(file.string(), ";pwd=ledgerly");
    auto td = makeTable(*db, "Accounts", {{"AccountID", dbLong, 0, false, true},
                                          {"Holder", dbText, 40, true},
                                          {"Balance", dbCurrency},
                                          {"Opened", dbDate}});
    addIndex(*td, "PrimaryKey", {"AccountID"}, true);
    db->TableDefs().Append(td);
    const struct {
        const char* holder;
        std::int64_t cents;
        int y, m, d;
    } rows[] = {{"Ana Trujillo", 1250075, 2018, 3, 14}, {"Thomas Hardy", -4200, 2020, 11, 2}, {"Yang Wang", 99, 2023, 7, 30}};
    db->BeginTrans();
    auto rs = db->OpenRecordset("Accounts");
    for (const auto& r : rows) {
        rs->AddNew();
        rs->Fields("Holder").SetValue(Variant::text(r.holder));
        rs->Fields("Balance").SetValue(Variant::currencyScaled(r.cents * 100));
        rs->Fields("Opened").SetValue(Variant::date(dates::fromParts(r.y, r.m, r.d)));
        rs->Update();
    }
    db->CommitTrans();
    long n = rs->RecordCount();
    rs->Close();
    db->Close();
    std::cout << file.string() << ": 1 table, " << n << " accounts, password protected\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path dir;
    long orders = 1000;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--rows" && i + 1 < argc) {
            std::string n = argv[++i];
            auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), orders);
            if (ec != std::errc() || end != n.data() + n.size() || orders < 1) {
                std::cerr << "Error 3001: Invalid argument: --rows needs a positive number, not '" << n << "'.\n";
                return 1;
            }
        } else if (dir.empty() && a.rfind("--", 0) != 0) {
            dir = a;
        } else {
            dir.clear();
            break;
        }
    }
    if (dir.empty()) {
        std::cerr << "usage: ledgerly-mksample DIR [--rows N]\n";
        return 2;
    }
    try {
        if (!std::filesystem::is_directory(dir)) {
            std::cerr << "Error 3044: '" << dir.string() << "' is not a valid path: no such folder.\n";
            return 1;
        }
        makeSales(dir, orders);
        makeSecret(dir);
    } catch (const Error& e) {
        std::cerr << "Error " << e.number() << ": " << e.description() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "Error 3000: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
