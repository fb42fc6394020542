#include "grids/frmStatisticsGrid1.h"

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include "grids/columnwidths.h"
#include "grids/datacontrol.h"
#include "grids/recordsetmodel.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"
#include "shell/twips.h"

namespace {
constexpr double kLoadWidth = 10215, kLoadHeight = 2895, kLoadTop = 1500;
constexpr double kMaxWidth = 10215, kWidthMargin = 660;
}  // namespace

frmStatisticsGrid1::frmStatisticsGrid1(QWidget* owner) : QDialog(owner) {
    setObjectName("frmStatisticsGrid1");
    setWindowTitle("Statistics");
    Data1 = new DataControl(this);
    Data1->setObjectName("Data1");
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName("DBGrid1");
    model_ = new RecordsetModel(this);
    DBGrid1->setModel(model_);
    // A result to look at: nothing is edited here.
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->verticalHeader()->setFixedWidth(18);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(DBGrid1);
    connect(Data1, &DataControl::rebound, this, [this] { model_->setRecordset(Data1->Recordset()); });
    connect(Data1, &DataControl::refreshed, this, [this] { model_->reload(); });
    Form_Load();
}

frmStatisticsGrid1::~frmStatisticsGrid1() {
    Data1->SetRecordset(nullptr);
    if (rs1) rs1->Close();
    if (db1) db1->Close();
}

void frmStatisticsGrid1::Form_Load() {
    const QPoint origin = parentWidget() ? parentWidget()->geometry().topLeft() : QPoint();
    setGeometry(origin.x(), origin.y() + Twips::toPixelsY(kLoadTop), Twips::toPixelsX(kLoadWidth),
                Twips::toPixelsY(kLoadHeight));
}

void frmStatisticsGrid1::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Form_Resize();
}

void frmStatisticsGrid1::Form_Resize() {
    // The window keeps its normal state; the grid fills it through the layout.
    if (isMinimized() || isMaximized()) showNormal();
}

bool frmStatisticsGrid1::NeedsRefresh() {
    try {
        if (!db1) throw engine::Error(engine::err::InvalidOperation, "No database is open for the statement.");
        std::shared_ptr<engine::Recordset> rs = db1->OpenRecordset(OriginalRSSource.toString().toStdString());
        if (rs1) rs1->Close();
        rs1 = std::move(rs);
        Data1->EOFAction = 0;
        Data1->SetRecordset(rs1);
        NumCols = model_->columnCount();
        const double total = GridColumns::Fit(DBGrid1, *rs1);
        columnwidth = total;
        resize(Twips::toPixelsX(total + kWidthMargin < kMaxWidth ? total + kWidthMargin : kMaxWidth), height());
        if (rs1->RecordCount() >= 1) {
            rs1->MoveLast();
            rs1->MoveFirst();
            Data1->Refresh();
            Data1->Refresh();
        }
        if (frmMain* main = frmMain::instance())
            main->SetStatusText("  " + statusname.toString() + "  " + QString::number(rs1->RecordCount()) + "  Records");
        successful = true;
        return true;
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()) + " Check your syntax.");
        return successful.toBool();
    }
}
