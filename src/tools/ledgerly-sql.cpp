// ledgerly-sql: runs statements of the engine's dialect against a database
// file from the command line, or lists and describes what the file holds.
//
//   ledgerly-sql [--password P] [--create | --read-only] [--csv] DATABASE [STATEMENT ...]
//   ledgerly-sql DATABASE --tables | --queries | --describe TABLE   (always read-only)
//   ledgerly-sql [--password P] --convert IN.mdb OUT.mdb   (a file of the older Jet format into a new database)
//
// Files of the older format open read-only, through a converted copy.
#include <iostream>
#include <string>
#include <vector>

#include "engine/dao.h"
#include "engine/jet/convert.h"
#include "engine/jet/jetpassword.h"
#include "engine/password.h"
#include "engine/sql/sql.h"
#include "engine/textrecords.h"

using namespace engine;

namespace {

struct Options {
    std::string password;
    bool create = false;
    bool readOnly = false;
    bool csv = false;
    std::string database;
    std::string listing;  // "tables", "queries" or "describe"
    std::string describeTable;
    std::vector<std::string> statements;
    std::string convertFrom, convertTo;
};

void usage() {
    std::cerr << "usage: ledgerly-sql [--password P] [--create | --read-only] [--csv] DATABASE [STATEMENT ...]\n"
                 "       ledgerly-sql DATABASE --tables | --queries | --describe TABLE\n"
                 "       ledgerly-sql [--password P] --convert IN.mdb OUT.mdb\n";
}

const char* yesNo(bool v) { return v ? "True" : "False"; }

bool isSystemTable(const std::string& name) {
    if (name.size() < 4) return false;
    std::string prefix = name.substr(0, 4);
    for (auto& ch : prefix) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return prefix == "msys" || prefix == "usys";
}

// CSV in the form Copy to text writes (engine/textrecords.h); otherwise tab-separated.
void printRecordset(Recordset& rs, bool csv) {
    const char* sep = csv ? "," : "\t";
    const char* eol = csv ? "\r\n" : "\n";
    FieldCollection& fields = rs.Fields();
    std::string line;
    for (int i = 0; i < fields.Count(); ++i) {
        if (i) line += sep;
        if (csv) textrecords::appendCsvText(line, fields[i].Name());
        else line += fields[i].Name();
    }
    std::cout << line << eol;
    long count = rs.RecordCount();
    for (long p = 0; p < count; ++p) {
        const std::vector<Variant>* row = rs.RowAt(p);
        if (!row) continue;
        line.clear();
        for (size_t i = 0; i < row->size(); ++i) {
            if (i) line += sep;
            if (csv) textrecords::appendCsv(line, (*row)[i]);
            else textrecords::appendText(line, (*row)[i]);
        }
        std::cout << line << eol;
    }
}

void run(Database& db, const std::string& statement, bool csv) {
    sql::Parsed parsed = sql::parse(statement);
    auto kind = parsed.kind();
    if (kind == sql::StatementKind::Select || kind == sql::StatementKind::Union ||
        kind == sql::StatementKind::Crosstab) {
        auto rs = db.OpenRecordset(statement);
        printRecordset(*rs, csv);
        rs->Close();
        return;
    }
    db.Execute(statement);
    if (kind != sql::StatementKind::DataDefinition) std::cout << db.RecordsAffected() << " records affected\n";
}

void describe(Database& db, const std::string& table) {
    TableDef& td = db.TableDefs()[table];
    for (const auto& f : td.Fields()) {
        std::cout << f->Name() << '\t' << f->Type() << '\t' << f->Size() << '\t' << yesNo(f->Required()) << '\t'
                  << yesNo(f->AllowZeroLength());
        if (f->Precision() > 0) std::cout << '\t' << f->Precision() << ',' << f->Scale();  // a Decimal's digits
        std::cout << '\n';
    }
    for (const auto& ix : td.Indexes()) {
        std::cout << "index\t" << ix->Name() << '\t' << yesNo(ix->Primary()) << '\t' << yesNo(ix->Unique()) << '\t'
                  << yesNo(ix->IgnoreNulls());
        for (const auto& f : ix->Fields())
            std::cout << '\t' << f->Name() << ((f->Attributes() & dbDescending) ? " DESC" : " ASC");
        std::cout << '\n';
    }
}

// Statements from standard input, each ended by ";" at the end of a line.
std::vector<std::string> readStatements(std::istream& in) {
    std::vector<std::string> out;
    std::string current, line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        current += current.empty() ? line : "\n" + line;
        size_t end = line.find_last_not_of(" \t");
        if (end != std::string::npos && line[end] == ';') {
            if (current.find_first_not_of(" \t\r\n;") != std::string::npos) out.push_back(current);
            current.clear();
        }
    }
    if (current.find_first_not_of(" \t\r\n;") != std::string::npos) out.push_back(current);
    return out;
}

bool parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--password" && i + 1 < argc) o.password = argv[++i];
        else if (a == "--convert" && i + 3 == argc) {  // last, after --password when one is needed
            o.convertFrom = argv[++i];
            o.convertTo = argv[++i];
            return true;
        }
        else if (a == "--create") o.create = true;
        else if (a == "--read-only") o.readOnly = true;
        else if (a == "--csv") o.csv = true;
        else if (a == "--tables" || a == "--queries") o.listing = a.substr(2);
        else if (a == "--describe" && i + 1 < argc) {
            o.listing = "describe";
            o.describeTable = argv[++i];
        } else if (a == "--help" || a == "-h") return false;
        else if (a.size() > 1 && a[0] == '-' && a[1] == '-') return false;
        else if (o.database.empty()) o.database = a;
        else o.statements.push_back(a);
    }
    if (!o.listing.empty()) o.readOnly = true;
    return !o.database.empty() && (o.listing.empty() || o.statements.empty()) && !(o.create && o.readOnly);
}

// Writes a new database from a Jet file; a line on standard error follows
// the copying of a large table, and each table that could not be converted
// is named there too.
int convertFile(const std::string& in, const std::string& out, const std::string& password) {
    try {
        jet::requirePassword(in, password);
        jet::ConvertResult r = jet::convert(in, out, [](const std::string& table, long done, long total) {
            std::cerr << "\r" << table << ": " << done << " of " << total << " records" << (done >= total ? "\n" : "")
                      << std::flush;
        });
        for (const auto& p : r.problems) std::cerr << p << "\n";
        for (const auto& n : r.notes) std::cerr << n << "\n";
        std::cerr << r.tables << (r.tables == 1 ? " table, " : " tables, ") << r.records
                  << (r.records == 1 ? " record" : " records") << " converted into '" << out << "'.\n";
        return r.problems.empty() ? 0 : 1;
    } catch (const Error& e) {
        std::cerr << "Error " << e.number() << ": " << e.description() << "\n";
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseArgs(argc, argv, o)) {
        usage();
        return 2;
    }
    if (!o.convertFrom.empty()) return convertFile(o.convertFrom, o.convertTo, o.password);
    std::vector<std::string> statements;
    size_t done = 0;
    try {
        if (!o.password.empty()) password::checkAcceptable(o.password);
        std::string connect = o.password.empty() ? "" : ";pwd=" + o.password;
        std::shared_ptr<Database> db = o.create ? DBEngine::CreateDatabase(o.database, connect)
                                                : DBEngine::OpenDatabase(o.database, false, o.readOnly, connect);
        if (o.listing == "tables") {
            for (const auto& t : db->TableDefs())
                if (!isSystemTable(t->Name())) std::cout << t->Name() << '\n';
        } else if (o.listing == "queries") {
            for (const auto& q : db->QueryDefs()) std::cout << q->Name() << '\t' << q->Type() << '\t' << q->SQL() << '\n';
        } else if (o.listing == "describe") {
            describe(*db, o.describeTable);
        } else {
            statements = o.statements.empty() ? readStatements(std::cin) : o.statements;
            for (const auto& s : statements) {
                run(*db, s, o.csv);
                ++done;
            }
        }
    } catch (const Error& e) {
        std::cout.flush();
        std::cerr << "Error " << e.number() << ": " << e.description() << "\n";
        if (statements.size() > 1) {
            std::string text = statements[done].substr(0, 60);
            if (text.size() < statements[done].size()) text += "...";
            std::cerr << "Statement " << done + 1 << " of " << statements.size() << " failed (" << text << "); the "
                      << done << " before it succeeded.\n";
        }
        return 1;
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "Error 3000: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
