#include "transfer/frmAppendText.h"

#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <vector>

#include "engine/dao.h"
#include "engine/textrecords.h"
#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/recorddialogs.h"
#include "shell/prompts.h"

namespace {

constexpr int kFixed = 0, kCsv = 1;

namespace text = engine::textrecords;

bool isTextual(int type) { return type == engine::dbText || type == engine::dbMemo || type == engine::dbChar; }

// Progress by bytes of the file, in kilobytes so large files fit the bar.
long kilobytes(long long bytes) { return static_cast<long>(bytes / 1024); }

}  // namespace

frmAppendText::frmAppendText(QWidget* owner) : QDialog(owner) {
    setObjectName("frmAppendText");
    setWindowTitle("Append Text");
    lblFile = new QLabel(this);
    lblFile->setObjectName("lblFile");
    lblFile->setTextFormat(Qt::PlainText);

    auto* format = new QGroupBox("Format", this);
    auto* formatLayout = new QHBoxLayout(format);
    const char* formats[] = {"Fixed width", "CSV"};
    for (int i : {kFixed, kCsv}) {
        auto* b = new QRadioButton(formats[i], format);
        b->setObjectName(QString("optFormat%1").arg(i));
        optFormat[static_cast<size_t>(i)] = b;
        formatLayout->addWidget(b);
    }
    optFormat[kFixed]->setChecked(true);

    cmdAppendFrom = new QPushButton("Append From", this);
    cmdAppendFrom->setObjectName("cmdAppendFrom");
    cmdAppend = new QPushButton("Append", this);
    cmdAppend->setObjectName("cmdAppend");
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    for (QPushButton* b : {cmdAppendFrom, cmdAppend, cmdCancel}) b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdAppendFrom);
    buttons->addStretch(1);
    buttons->addWidget(cmdAppend);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblFile);
    layout->addWidget(format);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(cmdAppendFrom, &QPushButton::clicked, this, &frmAppendText::cmdAppendFrom_Click);
    connect(cmdAppend, &QPushButton::clicked, this, &frmAppendText::cmdAppend_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmAppendText::cmdCancel_Click);
    Form_Load();
}

void frmAppendText::Form_Load() {
    RecordDialogs::Place(this, 600, 1200, 6000, 2400);
    CurrentGrid = RecordDialogs::CurrentGrid();
    setWindowTitle("Append Text   " + (CurrentGrid ? CurrentGrid->statusname.toString() : QString()));
}

void frmAppendText::cmdAppendFrom_Click() { FileOpen(); }
void frmAppendText::cmdCancel_Click() { done(QDialog::Rejected); }

void frmAppendText::FileOpen() {
    const auto chosen = Prompts::openFile("Append From", "Text Files (*.txt);;CSV Files (*.csv);;All Files (*)");
    InputFile = chosen.value_or(QString());
    lblFile->setText(InputFile);
    if (InputFile.endsWith(".csv", Qt::CaseInsensitive)) optFormat[kCsv]->setChecked(true);
}

void frmAppendText::cmdAppend_Click() {
    if (!CurrentGrid) return;
    if (InputFile.trimmed().isEmpty()) return RecordDialogs::Refuse("No text file was specified.");
    long counter = 0;
    QString failure;
    {
        RecordDialogs::BusyPointer busy;
        try {
            AppendRecords(counter);
        } catch (const engine::Error& e) {
            failure = QString::fromStdString(e.description()) + QString::number(e.number());
        }
    }
    // The records appended before an error stay; the grid and the status bar show them.
    if (failure.isEmpty() || counter > 0) ReportCount(counter);
    if (!failure.isEmpty()) {
        Prompts::message(failure);
        return;
    }
    done(QDialog::Accepted);
}

void frmAppendText::ReportCount(long counter) {
    CurrentGrid->NeedsRefresh();
    const auto rs = CurrentGrid->Data1->Recordset();
    RecordDialogs::Status("  " + CurrentGrid->statusname.toString() + "  " + QString::number(rs ? rs->RecordCount() : 0) +
                          "  Records  " + QString::number(counter) + "  Records Appended");
}

void frmAppendText::AppendRecords(long& counter) {
    const auto rs = CurrentGrid->Data1->Recordset();
    if (!rs) throw engine::Error(91, "Object variable not set: the grid has no recordset.");
    const auto& definition = CurrentGrid->db1->TableDefs()[CurrentGrid->TableName.toString().toStdString()].Fields();
    const bool csv = optFormat[kCsv]->isChecked() || InputFile.endsWith(".csv", Qt::CaseInsensitive);
    // Fixed-width files of older programs are in their code page; so may CSV text be.
    text::LineReader lines(QFile::encodeName(InputFile).toStdString(), !csv);
    text::LegacyText legacy;
    const QString status = "  " + CurrentGrid->statusname.toString() + "  ";
    RecordDialogs::Progress progress(kilobytes(lines.fileSize()));
    RecordDialogs::RunTransaction run(*CurrentGrid->db1);
    auto report = [&] {
        if (counter % 200 == 0)
            progress.Report(kilobytes(lines.bytesRead()), status + QString::number(counter) + "  Records Appended");
    };
    try {
        if (csv) {
            // The header names a field of the table for each column.
            text::CsvReader records(lines);
            std::vector<text::CsvReader::Field> values;
            std::size_t count = 0;
            if (!records.next(values, count)) return;
            struct Target {
                engine::Field* field;
                bool textual;
            };
            std::vector<Target> targets;
            for (std::size_t k = 0; k < count; ++k) {
                const std::string name(legacy.utf8(values[k].text));
                targets.push_back({&rs->Fields(name), isTextual(definition[name].Type())});
            }
            while (records.next(values, count)) {
                if (count != targets.size())
                    throw engine::Error(text::kBadTextFormat,
                                        "External table is not in the expected format: the record on line " +
                                            std::to_string(records.recordLine()) + " has " + std::to_string(count) +
                                            " fields; the header line names " + std::to_string(targets.size()) + ".");
                rs->AddNew();
                for (std::size_t k = 0; k < count; ++k) {
                    // An empty field is Null; "" is an empty text.
                    const auto& v = values[k];
                    if (v.text.empty() && (!v.quoted || !targets[k].textual)) continue;
                    targets[k].field->SetValue(targets[k].textual ? engine::Variant(legacy.utf8(v.text))
                                                                  : engine::Variant(v.text));
                }
                rs->Update();
                ++counter;
                report();
            }
        } else {
            // Columns as wide as the fields of the table's definition, in its order.
            std::vector<int> widths;
            for (const auto& f : definition) widths.push_back(f->Size());
            std::string_view line;
            while (lines.next(line)) {
                rs->AddNew();
                std::size_t p = 0;
                for (std::size_t i = 0; i < widths.size(); ++i) {
                    std::string_view s = text::cutFixed(line, p, widths[i]);
                    if (s.empty()) s = " ";
                    rs->Fields(static_cast<int>(i)).SetValue(engine::Variant(s));
                }
                rs->Update();
                ++counter;
                report();
            }
        }
    } catch (...) {
        if (rs->EditMode() != engine::dbEditNone) rs->CancelUpdate();
        throw;
    }
}
