#include "ui/RowList.h"

#include <QKeyEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

namespace kal::ui {
namespace {

constexpr const char* kSelected = "selected";

void MarkSelected(QWidget* row, bool on) {
  row->setProperty(kSelected, on);
  row->style()->unpolish(row);
  row->style()->polish(row);
}

}  // namespace

RowList::RowList(QScrollArea* area) : QObject(area), area_(area), content_(new QWidget) {
  content_->setObjectName(area->objectName() + "-rows");
  layout_ = new QVBoxLayout(content_);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(1);
  layout_->addStretch(1);
  area_->setWidgetResizable(true);
  area_->setWidget(content_);
  area_->setFocusPolicy(Qt::NoFocus);
}

void RowList::Append(QWidget* row) {
  row->setAttribute(Qt::WA_StyledBackground);
  MarkSelected(row, false);
  layout_->insertWidget(layout_->count() - 1, row);  // before the stretch
  row->installEventFilter(this);
  for (QWidget* w : row->findChildren<QWidget*>()) {
    if (w->focusPolicy() != Qt::NoFocus) w->installEventFilter(this);
  }
}

QWidget* RowList::Row(int tag) const {
  return content_->findChild<QWidget*>(QString("item-%1").arg(tag), Qt::FindDirectChildrenOnly);
}

bool RowList::Remove(int tag) {
  QWidget* row = Row(tag);
  if (!row) return false;
  if (row == selected_) selected_ = nullptr;
  layout_->removeWidget(row);
  delete row;
  return true;
}

int RowList::Count() const { return layout_->count() - 1; }

QWidget* RowList::RowAt(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return layout_->itemAt(index)->widget();
}

int RowList::IndexOf(const QWidget* row) const {
  return row ? layout_->indexOf(const_cast<QWidget*>(row)) : -1;
}

void RowList::Select(QWidget* row) {
  if (selected_ == row) return;
  if (selected_) MarkSelected(selected_, false);
  selected_ = row;
  if (!row) return;
  MarkSelected(row, true);
  area_->ensureWidgetVisible(row, 0, 0);
}

QWidget* RowList::RowHolding(QObject* o) const {
  for (; o; o = o->parent()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (w && w->parentWidget() == content_) return w;
  }
  return nullptr;
}

bool RowList::MoveFocus(QWidget* from, int key) {
  QWidget* row = RowHolding(from);
  if (!row) return false;
  QList<QWidget*> stops;
  for (QWidget* w : row->findChildren<QWidget*>()) {
    if (w->focusPolicy() & Qt::TabFocus && w->isVisibleTo(row) && w->isEnabled()) stops.push_back(w);
  }
  if (key == Qt::Key_Left || key == Qt::Key_Right) {
    const int at = static_cast<int>(stops.indexOf(from));
    const int next = at + (key == Qt::Key_Right ? 1 : -1);
    if (at < 0 || next < 0 || next >= stops.size()) return true;
    stops[next]->setFocus(Qt::TabFocusReason);
    return true;
  }
  QWidget* other = RowAt(IndexOf(row) + (key == Qt::Key_Down ? 1 : -1));
  if (!other) return true;
  // The same control of the neighbouring row, else its first.
  QWidget* target = other->findChild<QWidget*>(from->objectName());
  if (!target || !target->isEnabled()) {
    for (QWidget* w : other->findChildren<QWidget*>()) {
      if (w->focusPolicy() & Qt::TabFocus && w->isEnabled()) {
        target = w;
        break;
      }
    }
  }
  if (target) target->setFocus(Qt::TabFocusReason);
  return true;
}

bool RowList::eventFilter(QObject* watched, QEvent* e) {
  switch (e->type()) {
    case QEvent::FocusIn:
    case QEvent::MouseButtonPress:
      if (QWidget* row = RowHolding(watched)) Select(row);
      break;
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(e)->key();
      if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right)
        return MoveFocus(qobject_cast<QWidget*>(watched), key);
      break;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, e);
}

}  // namespace kal::ui
