#include "grids/frmGrid.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

#include "dbwindow/frmView.h"
#include "grids/columnwidths.h"
#include "grids/datacontrol.h"
#include "grids/recordsetmodel.h"
#include "grids/sqlclauses.h"
#include "grids/workareas.h"
#include "relations/classrelation.h"
#include "shell/enablemenus.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"
#include "shell/twips.h"

using engine::Error;

namespace {

constexpr double kLoadWidth = 10215, kLoadHeight = 2895, kLoadTop = 1800;
constexpr double kMaxWidth = 10215, kWidthMargin = 660;

// Linked tables are recognised by the whole Attributes value, not by bits.
bool isLinkAttribute(long a) { return a == 65536 || a == 131072 || a == 536870912 || a == 1073741824; }

QString bookmarkText(const engine::Bookmark& b) { return QString::fromLatin1(QByteArray(b.data(), static_cast<int>(b.size())).toHex()); }
engine::Bookmark bookmarkFrom(const QVariant& v) {
    QByteArray raw = QByteArray::fromHex(v.toString().toLatin1());
    return engine::Bookmark(raw.constData(), static_cast<size_t>(raw.size()));
}

// A key that would start an edit: printable text without Ctrl, Alt or Meta, F2,
// or a double click.
bool isEditAttempt(QAbstractItemView::EditTrigger trigger, const QEvent* event) {
    if (trigger == QAbstractItemView::DoubleClicked || trigger == QAbstractItemView::EditKeyPressed) return true;
    if (trigger != QAbstractItemView::AnyKeyPressed || !event || event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    return !key->text().isEmpty() && key->text().at(0).isPrint();
}

// The grid control: an attempt to edit a cell that cannot be changed is
// reported, not silently dropped.
class GridView : public QTableView {
public:
    using QTableView::QTableView;
    using QTableView::edit;
    std::function<void(const QModelIndex&)> onReadOnlyEdit;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
        if (QTableView::edit(index, trigger, event)) return true;
        if (!onReadOnlyEdit || !index.isValid() || !(editTriggers() & trigger) || !isEditAttempt(trigger, event) ||
            (model()->flags(index) & Qt::ItemIsEditable))
            return false;
        onReadOnlyEdit(index);
        return true;  // the key is used up: typed text does not search the grid
    }
};

}  // namespace

frmGrid::frmGrid(QWidget* parent) : QWidget(parent) {
    setObjectName("frmGrid");
    moduleCreateGrid::LoadedGrids().append(this);
    setAttribute(Qt::WA_DeleteOnClose);
    Data1 = new DataControl(this);
    Data1->setObjectName("Data1");
    auto* view = new GridView(this);
    view->onReadOnlyEdit = [this](const QModelIndex& index) { ExplainReadOnly(index); };
    DBGrid1 = view;
    DBGrid1->setObjectName("DBGrid1");
    model_ = new RecordsetModel(this);
    // Said once the editor has closed and the cell shows the stored value again.
    connect(model_, &RecordsetModel::editRefused, this, [](const QString& message) { Prompts::message(message); },
            Qt::QueuedConnection);
    DBGrid1->setModel(model_);
    // Fixed row heights: a million rows cost the view nothing until they show.
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->verticalHeader()->setFixedWidth(18);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    DBGrid1->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(DBGrid1);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& cur) {
        if (syncing_ || !rs1 || !cur.isValid()) return;
        try {
            if (rs1->AbsolutePosition() != cur.row()) rs1->SetAbsolutePosition(cur.row());
        } catch (const Error&) {
        }
        DBGrid1_RowColChange();
    });
    connect(Data1, &DataControl::rebound, this, [this] { model_->setRecordset(Data1->Recordset()); });
    connect(Data1, &DataControl::refreshed, this, [this] {
        model_->reload();
        followRecordset();
    });
    connect(Data1, &DataControl::moved, this, [this] {
        followRecordset();
        DBGrid1_RowColChange();
    });
}

frmGrid::~frmGrid() { Unload(); }

void frmGrid::Unload() {
    // Gone from the loaded windows at once, with the relations it is the
    // parent of; no relation may keep naming it as a child either.
    moduleCreateGrid::LoadedGrids().removeAll(this);
    for (frmGrid* g : moduleCreateGrid::LoadedGrids())
        for (int i = g->ColRelations.size() - 1; i >= 0; --i)
            if (g->ColRelations[i]->Child == this) delete g->ColRelations.takeAt(i);
    qDeleteAll(ColRelations);
    ColRelations.clear();
}

QMdiSubWindow* frmGrid::subWindow() const { return qobject_cast<QMdiSubWindow*>(parentWidget()); }

// ------------------------------------------------------------ window rectangle

double frmGrid::LeftTwips() const { return Twips::fromPixelsX(subWindow() ? subWindow()->x() : x()); }
double frmGrid::TopTwips() const { return Twips::fromPixelsY(subWindow() ? subWindow()->y() : y()); }
double frmGrid::WidthTwips() const { return Twips::fromPixelsX(subWindow() ? subWindow()->width() : width()); }
double frmGrid::HeightTwips() const { return Twips::fromPixelsY(subWindow() ? subWindow()->height() : height()); }

void frmGrid::MoveTwips(double left, double top, double w, double h) {
    QWidget* frame = subWindow() ? static_cast<QWidget*>(subWindow()) : this;
    frame->setGeometry(Twips::toPixelsX(left), Twips::toPixelsY(top), Twips::toPixelsX(w), Twips::toPixelsY(h));
    KeepInsideFrame();
}

void frmGrid::SetWidthTwips(double w) {
    QWidget* frame = subWindow() ? static_cast<QWidget*>(subWindow()) : this;
    frame->resize(Twips::toPixelsX(w), frame->height());
    KeepInsideFrame();
}

void frmGrid::KeepInsideFrame() {
    QMdiSubWindow* sub = subWindow();
    QMdiArea* area = sub ? sub->mdiArea() : nullptr;
    if (!area || area->viewport()->rect().isEmpty()) return;
    QRect visible = area->viewport()->rect();
    QRect g = sub->geometry();
    g.setSize(g.size().boundedTo(visible.size()));
    g.moveLeft(std::clamp(g.left(), 0, visible.width() - g.width()));
    g.moveTop(std::clamp(g.top(), 0, visible.height() - g.height()));
    if (g != sub->geometry()) sub->setGeometry(g);
}

namespace {

// Where a new window of `size` at height `top` goes: beside the windows that
// are not grids (the database window) when there is room, else from the left;
// then the first position, a title bar's height apart, that no other window's
// corner takes, the way MDI frames stagger new children.
int freeLeft(QMdiSubWindow* self, int top, QSize size) {
    QMdiArea* area = self->mdiArea();
    QRect visible = area->viewport()->rect();
    int step = self->style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
    int start = 0;
    QList<int> taken;
    for (QMdiSubWindow* w : area->subWindowList()) {
        if (w == self || !w->isVisible()) continue;
        if (!qobject_cast<frmGrid*>(w->widget())) {
            QRect band(0, top, visible.width(), size.height());
            if (w->geometry().intersects(band) && w->geometry().right() + 1 + size.width() <= visible.width())
                start = std::max(start, w->geometry().right() + 1);
        } else if (std::abs(w->y() - top) < step) {
            taken << w->x();
        }
    }
    for (int x = start, tries = 0; tries < 64; x += step, ++tries) {
        if (x + size.width() > visible.width()) x = 0;
        bool used = std::any_of(taken.begin(), taken.end(), [&](int t) { return std::abs(t - x) < step / 2; });
        if (!used) return x;
    }
    return start;
}

}  // namespace

// ------------------------------------------------------------------- events

void frmGrid::Form_Load() {
    QWidget* frame = subWindow() ? static_cast<QWidget*>(subWindow()) : this;
    QSize size(Twips::toPixelsX(kLoadWidth), Twips::toPixelsY(kLoadHeight));
    int top = Twips::toPixelsY(kLoadTop);
    QMdiSubWindow* sub = subWindow();
    int left = sub && sub->mdiArea() ? freeLeft(sub, top, size) : frame->x();
    frame->setGeometry(left, top, size.width(), size.height());
    KeepInsideFrame();
    if (sub) sub->installEventFilter(this);
}

bool frmGrid::eventFilter(QObject* watched, QEvent* event) {
    // Restored once the state change is complete: a nested showNormal leaves
    // the frame at a wrong size.
    if (watched == subWindow() && event->type() == QEvent::WindowStateChange)
        QMetaObject::invokeMethod(this, &frmGrid::Form_Resize, Qt::QueuedConnection);
    // Rows another connection changed or deleted show as they are now.
    if (watched == DBGrid1->viewport() && event->type() == QEvent::Paint && rs1 && rs1->IsOpen()) {
        try {
            rs1->RefreshIfChangedElsewhere();
        } catch (const Error&) {
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmGrid::Form_Resize() {
    // Grid windows keep their normal state; the grid fills the window.
    QMdiSubWindow* sub = subWindow();
    if (sub && (sub->isMinimized() || sub->isMaximized())) sub->showNormal();
}

QString frmGrid::StatusLine() const {
    if (!rs1 || !rs1->IsOpen()) return {};
    QString name = statusname.toString();
    if (RSetType.toInt() == 2)
        return "  " + name + "  Record: " + QString::number(rs1->AbsolutePosition()) + "/" +
               QString::number(rs1->RecordCount()) + "  ";
    return "  " + name + "  " + QString::number(rs1->RecordCount()) + "  Records";
}

void frmGrid::Form_Activate() {
    if (!rs1) return;  // still being set up (or closed): nothing to report yet
    frmMain* main = frmMain::instance();
    if (main) main->SetStatusText(StatusLine());
    if (main && main->view()) main->view()->SelectLine(selectedWA);
    CheckChildCollection();
    EnableMenus::EnableGridMenus(RSetType);
}

void frmGrid::DBGrid1_RowColChange() {
    if (!rs1 || !rs1->IsOpen()) return;
    QVariant current;
    try {
        if (!rs1->EOF_() && !rs1->BOF()) current = bookmarkText(rs1->Bookmark());
    } catch (const Error&) {
    }
    if (!rs1->EOF_() && (GotReSQLed.toBool() || current != PreviousRow)) CheckChildCollection();
    GotReSQLed = false;
    PreviousRow = current;
    if (RSetType.toInt() == 2)
        if (frmMain* main = frmMain::instance()) main->SetStatusText(StatusLine());
}

void frmGrid::ExplainReadOnly(const QModelIndex& index) {
    // In the status bar, not a box: every further key would raise it again.
    const QString reason = model_->readOnlyReason(index);
    frmMain* main = frmMain::instance();
    if (!reason.isEmpty() && main) main->SetStatusText(reason);
}

void frmGrid::closeEvent(QCloseEvent* event) {
    // Closed from its frame: the same clean-up as the database window's Close.
    if (!closing_) {
        closing_ = true;
        Unload();
        frmMain* main = frmMain::instance();
        if (main && main->view()) main->view()->CloseGridFromFrame(this);
        ReleaseRecordset();
    }
    event->accept();
}

// ------------------------------------------------------------ the recordset

void frmGrid::showError(const Error& e, const QString& suffix) {
    Prompts::message(QString::fromStdString(e.description()) + suffix);
}

void frmGrid::followRecordset() {
    if (!rs1 || !rs1->IsOpen()) return;
    long pos = rs1->AbsolutePosition();
    syncing_ = true;
    if (pos >= 0) {
        int col = DBGrid1->currentIndex().isValid() ? DBGrid1->currentIndex().column() : 0;
        QModelIndex idx = model_->index(static_cast<int>(pos), col);
        DBGrid1->setCurrentIndex(idx);
        DBGrid1->scrollTo(idx);
    }
    syncing_ = false;
}

void frmGrid::bindGrid() {
    Data1->SetRecordset(rs1);
    syncing_ = true;
    if (rs1->RecordCount() > 0) DBGrid1->setCurrentIndex(model_->index(0, 0));
    syncing_ = false;
}

void frmGrid::sizeToColumns() {
    NumCols = model_->columnCount();
    const double total = GridColumns::Fit(DBGrid1, *rs1);
    columnwidth = total;
    SetWidthTwips(total + kWidthMargin < kMaxWidth ? total + kWidthMargin : kMaxWidth);
}

void frmGrid::SetupRecordset(const QVariant& DBasePath, const QVariant& RSDescription, const QVariant& RSName,
                             const QVariant& RSType, const QVariant& TableorQueryName, const QVariant& Letter) {
    TableName = TableorQueryName;
    OriginalRSSource = RSDescription;
    statusname = RSName;
    DBPath = DBasePath.toString();
    frmMain* main = frmMain::instance();
    if (main && main->view()) selectedWA = main->view()->GridNO;
    RSetType = RSType;
    WALetter = Letter.toString();
    ParseRSSource();
    MakeClause();
    IsaLinkedTable = false;
    try {
        db1 = engine::DBEngine::OpenDatabase(DBPath.toStdString(), true);
        Data1->SetDatabase(db1);
        Data1->DatabaseName = DBPath;
        if (RSetType.toInt() == 1) {
            rs1 = db1->OpenRecordset(TableName.toString().toStdString());
            // Only this table's definition is read, not the whole collection.
            engine::TableMeta meta = db1->tableMeta(TableName.toString().toStdString());
            IsaLinkedTable = isLinkAttribute(meta.linked ? engine::dbAttachedTable : 0);
        } else {
            rs1 = db1->OpenRecordset(Fullclause.toString().toStdString());
            Data1->EOFAction = 0;
        }
        bindGrid();
        sizeToColumns();
        startAtFirstRecord();
        if (main) main->SetStatusText("  " + RSName.toString() + "  " + QString::number(rs1->RecordCount()) + "  Records");
        successful = true;
        RSetType = RSType;
        setWindowTitle(RSName.toString());
    } catch (const Error& e) {
        showError(e, e.number() == engine::err::NotPermitted
                         ? "Try opening a local drive table first to set permissions then try opening this table again."
                         : QString());
    }
}

void frmGrid::startAtFirstRecord(bool storeBookmark) {
    if (rs1->RecordCount() < 1) return;
    // The count is exact at once: the first record is the starting point.
    rs1->MoveFirst();
    if (storeBookmark) RepositionBM = bookmarkText(rs1->Bookmark());
    Data1->Refresh();
}

void frmGrid::NeedsRefresh() {
    QString index;
    if (!IsaLinkedTable && RSetType.toInt() == 1 && rs1 && rs1->IsOpen()) index = QString::fromStdString(rs1->Index());
    successful = false;
    ParseRSSource();
    MakeClause();
    try {
        if (RSetType.toInt() != 1) {
            rs1 = db1->OpenRecordset(Fullclause.toString().toStdString());
            Data1->EOFAction = 0;
        } else {
            rs1 = db1->OpenRecordset(TableName.toString().toStdString());
        }
        bindGrid();
        if (!index.trimmed().isEmpty()) {
            rs1->SetIndex(index.toStdString());
            Data1->Refresh();
        }
        sizeToColumns();
        startAtFirstRecord(false);  // the stored bookmark stays
        if (frmMain* main = frmMain::instance())
            main->SetStatusText("  " + statusname.toString() + "  " + QString::number(rs1->RecordCount()) + "  Records");
        successful = true;
    } catch (const Error& e) {
        showError(e, " Check your syntax.");
    }
}

void frmGrid::ReleaseRecordset() {
    Data1->SetRecordset(nullptr);
    Data1->SetDatabase(nullptr);
    if (rs1) rs1->Close();
    if (db1) db1->Close();
    rs1.reset();
    db1.reset();
}

void frmGrid::DoClose() {
    ReleaseRecordset();
    Unload();
    closing_ = true;
    if (QMdiSubWindow* sub = subWindow()) {
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->close();
    } else {
        close();
    }
}

void frmGrid::ParseRSSource() {
    SqlClauses parts = SqlClauses::parse(OriginalRSSource.toString());
    OriginalRSSource = parts.source;
    SelectFromClause = parts.selectFrom;
    Whereclause = parts.where;
    RestofClause = parts.rest;
}

void frmGrid::MakeClause() {
    Fullclause = SqlClauses::join(SelectFromClause.toString(), Whereclause.toString(), RestofClause.toString());
}

// ------------------------------------------------------ synchronization

namespace {

// One pair of a query relation's condition: "[Child] = value " with the value
// written as its type needs, or "IsNull(Child) " for a Null.
QString pairCondition(const QString& childField, const engine::Field& parentField) {
    const engine::Variant v = parentField.Value();
    if (v.isNull()) return "IsNull(" + childField + ") ";
    QString text = QString::fromStdString(v.toText());
    switch (parentField.Type()) {
    case engine::dbText:
    case engine::dbMemo:
        // A quote inside the value is doubled, so that O'Brien finds O'Brien.
        return "[" + childField + "] = '" + text.replace("'", "''") + "' ";
    case engine::dbDate: return "[" + childField + "] = #" + text + "# ";
    default: return "[" + childField + "] = " + text + " ";
    }
}

}  // namespace

void frmGrid::CheckChildCollection() {
    if (ColRelations.isEmpty()) return;
    try {
        const std::shared_ptr<engine::Recordset>& rs = Data1->Recordset();
        if (!rs) throw Error(engine::err::NoCurrentRecord, "No current record.");
        auto field = [&](const QString& name) -> engine::Field& { return rs->Fields(name.toStdString()); };
        // A relation may go while the children follow (an error box lets events run).
        const QList<ClassRelation*> relations = ColRelations;
        for (ClassRelation* r : relations) {
            if (!ColRelations.contains(r) || !r->Child) continue;
            if (r->RelationType == "ChildQuery") {
                QString suffix = pairCondition(r->ChildField1, field(r->ParentField1));
                if (!r->ChildField2.trimmed().isEmpty())
                    suffix += " And " + pairCondition(r->ChildField2, field(r->ParentField2));
                if (!r->ChildField3.trimmed().isEmpty()) {
                    // The third pair is joined by a lower-case "and", except for a Null.
                    QString pair = pairCondition(r->ChildField3, field(r->ParentField3));
                    suffix += (pair.startsWith("IsNull(") ? " And " : " and ") + pair;
                }
                WhereSuffix = suffix;
                r->Child->SynchQueryWithParent(WhereSuffix);
            } else {
                engine::Variant p1 = field(r->ParentField1).Value(), p2, p3;
                if (!r->ChildField2.isEmpty()) p2 = field(r->ParentField2).Value();
                if (!r->ChildField3.isEmpty()) p3 = field(r->ParentField3).Value();
                r->Child->SynchTableWithParent(r, p1, p2, p3);
            }
        }
    } catch (const Error& e) {
        showError(e, {});
    }
}

void frmGrid::SynchQueryWithParent(const QVariant& suffix) {
    successful = false;
    if (Whereclause.toString().trimmed().isEmpty())
        Fullclause = (SelectFromClause.toString() + " WHERE " + suffix.toString() + RestofClause.toString()).trimmed();
    else
        Fullclause = (SelectFromClause.toString() + Whereclause.toString() + " And " + suffix.toString() +
                      RestofClause.toString())
                         .trimmed();
    std::shared_ptr<engine::Recordset> next;
    try {
        next = db1->OpenRecordset(Fullclause.toString().toStdString());
    } catch (const Error&) {
        // Refused without a word: the child shows no rows until its parent
        // moves to a row it can follow.
        Data1->SetRecordset(nullptr);
        if (rs1) rs1->Close();
        return;
    }
    try {
        if (rs1) rs1->Close();
        rs1 = next;
        Data1->EOFAction = 0;
        bindGrid();
        Data1->Refresh();
        startAtFirstRecord();
        successful = true;
        GotReSQLed = true;
    } catch (const Error&) {
        return;
    }
    // The new first row is a row change: grandchildren follow.
    DBGrid1_RowColChange();
}

void frmGrid::SynchTableWithParent(ClassRelation* NextRelation, const engine::Variant& PField1,
                                   const engine::Variant& PField2, const engine::Variant& PField3) {
    std::vector<engine::Variant> keys{PField1};
    if (!NextRelation->ChildField2.isEmpty()) keys.push_back(PField2);
    if (!NextRelation->ChildField3.isEmpty()) keys.push_back(PField3);
    rs1->Seek("=", keys);
    if (rs1->NoMatch()) {
        rs1->MoveLast();
        FoundChild = false;
    } else {
        FoundChild = true;
    }
    Data1->NotifyMoved();
}

// ----------------------------------------------------------- bookmarks

void frmGrid::StoreBM() {
    if (!Data1->Recordset()) return;
    try {
        RepositionBM = bookmarkText(Data1->Recordset()->Bookmark());
    } catch (const Error& e) {
        showError(e, {});
    }
}

void frmGrid::MoveToBM() {
    try {
        if (!Data1->Recordset()) return;
        if (RepositionBM.toString().isEmpty()) throw Error(engine::err::BookmarkInvalid, "Not a valid bookmark.");
        Data1->Recordset()->SetBookmark(bookmarkFrom(RepositionBM));
        Data1->NotifyMoved();
    } catch (const Error& e) {
        showError(e, {});
    }
}

void frmGrid::GotoRecordNumber(const QVariant& RNumber) {
    const QString suffix = " The record number must be between zero and the record count -1.";
    const auto& rs = Data1->Recordset();
    if (!rs) return;
    try {
        // Converted as typed text is converted to a Long field: 3421 for text
        // that is no number, 3349 beyond the 32-bit range; halves to even.
        const bool number = RNumber.typeId() == QMetaType::Int || RNumber.typeId() == QMetaType::LongLong ||
                            RNumber.typeId() == QMetaType::Double || RNumber.typeId() == QMetaType::Short;
        engine::Variant value = number ? engine::Variant::dbl(RNumber.toDouble())
                                       : engine::Variant(RNumber.toString().trimmed().toStdString());
        long n = static_cast<long>(value.convertTo(engine::dbLong).intValue());
        rs->SetAbsolutePosition(n);
        Data1->NotifyMoved();
    } catch (const Error& e) {
        showError(e, suffix);
    }
}
