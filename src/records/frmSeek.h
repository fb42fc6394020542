#pragma once
// Seek: moves the current table grid to the record whose current-index key
// equals the values typed for the index's fields (at most three).
#include <QDialog>

#include <array>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class frmGrid;

class frmSeek : public QDialog {
    Q_OBJECT
public:
    explicit frmSeek(QWidget* owner = nullptr);

    std::array<QLabel*, 3> lblField{};
    std::array<QLineEdit*, 3> txtField{};
    QPushButton* cmdSeek = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The checks the Seek command makes before the dialog opens: true when it may.
    static bool CanSeek(frmGrid* grid);

    void Form_Load();
    void cmdSeek_Click();
    void cmdCancel_Click();
    bool CheckFields();
    bool CheckQuotes();

private:
    frmGrid* grid_ = nullptr;
    short fieldCount_ = 0;
};
