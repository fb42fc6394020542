#include "engine/sql/sql.h"

#include "engine/error.h"
#include "engine/sql/ast.h"
#include "engine/sql/emitter.h"
#include "engine/sql/parser.h"

namespace engine::sql {

Parsed::Parsed() = default;
Parsed::Parsed(Parsed&&) noexcept = default;
Parsed& Parsed::operator=(Parsed&&) noexcept = default;
Parsed::~Parsed() = default;
Parsed::Parsed(std::unique_ptr<ast::Statement> tree) : tree_(std::move(tree)) {}

namespace {
[[noreturn]] void empty() { throw Error(err::InvalidOperation, "No statement has been parsed."); }
}  // namespace

StatementKind Parsed::kind() const {
    using K = ast::Statement::Kind;
    if (!tree_) empty();
    switch (tree_->kind) {
    case K::Select:
        if (tree_->query->parts.size() > 1) return StatementKind::Union;
        if (!tree_->query->parts[0]->into.empty()) return StatementKind::MakeTable;
        return StatementKind::Select;
    case K::Crosstab: return StatementKind::Crosstab;
    case K::Insert: return StatementKind::Append;
    case K::Update: return StatementKind::Update;
    case K::Delete: return StatementKind::Delete;
    default: return StatementKind::DataDefinition;
    }
}

bool Parsed::hasParameters() const { return tree_ && !tree_->parameters.empty(); }

Parsed::Ddl Parsed::ddl() const {
    using K = ast::Statement::Kind;
    if (!tree_) return std::monostate{};
    switch (tree_->kind) {
    case K::CreateTable: return tree_->createTable;
    case K::DropTable: return tree_->dropTable;
    case K::AlterTable: return tree_->alterTable;
    case K::CreateIndex: return tree_->createIndex;
    case K::DropIndex: return tree_->dropIndex;
    default: return std::monostate{};
    }
}

Parsed parse(std::string_view text) { return Parsed(parseStatement(text)); }

EmittedSelect emitSelect(const Parsed& statement, const Catalog& catalog) {
    statement.kind();  // refuses an empty Parsed
    return emitQueryStatement(statement.tree(), catalog);
}

EmittedAction emitAction(const Parsed& statement, const Catalog& catalog) {
    statement.kind();
    return emitActionStatement(statement.tree(), catalog);
}

std::string makeTableTarget(const Parsed& statement) {
    statement.kind();
    const auto& t = statement.tree();
    if (t.kind != ast::Statement::Kind::Select || !t.query) return {};
    return t.query->parts[0]->into;
}

std::string emitCondition(std::string_view criteria, const SourceInfo& source, const Catalog* catalog) {
    constexpr int kSyntaxInCriteria = 3077;
    ast::ExprPtr e = parseExpression(criteria, kSyntaxInCriteria);
    return emitCriteria(*e, source, catalog, criteria);
}

std::string quoteIdent(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string quoteText(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

}  // namespace engine::sql
