#pragma once
// A native child window that others draw into (SDL, from their own
// threads); Qt paints nothing in it. Its drawing size is kept in device
// pixels, and its geometry lock is held around every move made by its
// owner and around every picture drawn, so the host is not moved
// under a drawing. Resizes, screen changes and exposures are told to a
// hook, on the UI thread, so a drawer that cannot learn them by itself
// draws again.

#include <QWidget>

#include <atomic>
#include <functional>
#include <mutex>

namespace kal::ui {

class VideoHost : public QWidget {
  Q_OBJECT
 public:
  explicit VideoHost(QWidget* parent = nullptr);

  // The native window to draw into. UI thread (it may create the window).
  unsigned long NativeId();
  // Width and height in device pixels; any thread.
  QSize DrawingSize() const { return {width_.load(), height_.load()}; }
  // Held by whoever moves the host (UI thread) and around every picture.
  std::mutex& GeometryLock() const { return geometryLock_; }
  // Called on the UI thread after the drawing size or the screen changed
  // and when the host was uncovered; an empty hook unsets it.
  void SetRedrawHook(std::function<void()> hook) { changed_ = std::move(hook); }

  QPaintEngine* paintEngine() const override { return nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void StoreSize();
  mutable std::mutex geometryLock_;
  std::atomic<int> width_{0}, height_{0};
  std::function<void()> changed_;
  bool screenWatched_ = false;
};

}  // namespace kal::ui
