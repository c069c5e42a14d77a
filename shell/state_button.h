#pragma once
// A child button that draws nothing: the rendering thread draws its face into
// the frame from the pressed state recorded here, so the window below shows
// through. Right clicks stop at the button, as they do on a native one.

#include <QAbstractButton>
#include <atomic>

namespace slk {

class StateButton : public QAbstractButton {
  Q_OBJECT

 public:
  // `pressed` is the ShellState field the rendering thread reads.
  StateButton(QWidget* parent, int id, const QString& name, std::atomic<int>& pressed);

  int Id() const { return id_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  int id_;
  std::atomic<int>& pressed_;
};

}  // namespace slk
