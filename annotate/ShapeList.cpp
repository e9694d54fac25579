#include "annotate/ShapeList.h"

namespace kal {

bool ShapeList::DropInvisibleLast() {
  if (graph_.empty() || graph_.back().visible) return false;
  graph_.pop_back();
  return true;
}

bool ShapeList::UndoLast() {
  if (graph_.empty()) return false;
  redo_.push_back(std::move(graph_.back()));
  graph_.pop_back();
  return true;
}

bool ShapeList::RedoLast() {
  if (redo_.empty()) return false;
  graph_.push_back(std::move(redo_.back()));
  redo_.pop_back();
  return true;
}

}  // namespace kal
