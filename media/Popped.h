#pragma once
// How a reader's wait at one of the queues between two threads (packets,
// pictures, sound) ends: with an item; with nothing yet (the wait timed out,
// or the stop woke it); or closed: the writer has said nothing more comes
// and everything was taken. Told under the queue's own lock, so an item
// pushed just before the close is never mistaken for the end.

namespace kal {

enum class Popped { kItem, kNothingYet, kClosed };

}  // namespace kal
