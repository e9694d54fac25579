#pragma once
// What is drawn, in drawing order, and what undo took away (redone last in,
// first out). New shapes leave the redo list as it is. Numbered marks count
// on: a number once given is never given again, not even after an undo.

#include <vector>

#include "annotate/GraphShape.h"

namespace kal {

class ShapeList {
 public:
  const std::vector<GraphShape>& Graph() const { return graph_; }
  const std::vector<GraphShape>& Redo() const { return redo_; }
  bool Empty() const { return graph_.empty(); }
  GraphShape& Last() { return graph_.back(); }

  void Add(GraphShape shape) { graph_.push_back(std::move(shape)); }
  // The number the next mark shows; each call uses one.
  int TakeMarkNumber() { return nextMark_++; }
  // Drops the last shape when it never showed anything (a click without
  // movement); true when it did.
  bool DropInvisibleLast();
  // False when there was nothing to move.
  bool UndoLast();
  bool RedoLast();

 private:
  std::vector<GraphShape> graph_;
  std::vector<GraphShape> redo_;
  int nextMark_ = 1;
};

}  // namespace kal
