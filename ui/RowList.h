#pragma once
// A list whose rows are widgets of their own (built from a sub-skin), in a
// scroll area of the skin. Unlike the widgets an item view hosts, these
// are real children: Tab reaches every row's buttons and a screen reader
// sees each row, its labels and its buttons. Up and Down move to the same
// control of the next row, Left and Right along a row; the row holding the
// focus, or last clicked, is the selected one.

#include <QObject>

class QScrollArea;
class QVBoxLayout;
class QWidget;

namespace kal::ui {

class RowList : public QObject {
 public:
  // The rows are built inside `area`, which keeps them.
  explicit RowList(QScrollArea* area);

  // Appends `row` (named "item-<tag>" and tagged by the caller).
  void Append(QWidget* row);
  // The row named "item-<tag>", or nullptr.
  QWidget* Row(int tag) const;
  // Removes and destroys the row; false when there is none.
  bool Remove(int tag);
  int Count() const;
  QWidget* RowAt(int index) const;
  // Marks `row` selected and scrolls it into view.
  void Select(QWidget* row);
  QWidget* Selected() const { return selected_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  int IndexOf(const QWidget* row) const;
  QWidget* RowHolding(QObject* o) const;
  bool MoveFocus(QWidget* from, int key);

  QScrollArea* area_;
  QWidget* content_;
  QVBoxLayout* layout_;
  QWidget* selected_ = nullptr;
};

}  // namespace kal::ui
