#pragma once

#include "core/SignBook.h"

#include <QDialog>
#include <QJsonObject>

class QLabel;
class QTableWidget;
class QTableWidgetItem;

// The sign book: one row a sign (name, port, COMM, NUM, WIDTH, HEIGHT, SCAN,
// TYPE, BPS, RG-SWAP, COLOR-SWAP, ADJUST, play list), signs added and
// removed. OK keeps the book only when every row is good; otherwise the
// dialog stays open and says which sign and field are wrong.
class SignBookDialog : public QDialog {
    Q_OBJECT
  public:
    // service: the running sign service's status; its health of each sign
    // shows as a coloured dot in a column of its own (hidden when empty).
    explicit SignBookDialog(const SignBook& book, QWidget* parent = nullptr,
                            const QJsonObject& service = {});

    // The book as the rows hold it; empty with *problem when a row is wrong.
    bool readBook(SignBook* book, QString* problem) const;
    const SignBook& book() const { return m_book; }

    void accept() override;

  private:
    void addRow(const Sign& sign);
    void showHealth(const QJsonObject& service);

    SignBook m_book;
    QTableWidget* m_table;
    QLabel* m_problem;
    QTableWidgetItem* m_selected = nullptr;  // the selected sign's name cell
};
