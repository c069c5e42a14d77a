#include "shell/state_button.h"

#include <QMouseEvent>

namespace slk {

StateButton::StateButton(QWidget* parent, int id, const QString& name, std::atomic<int>& pressed)
    : QAbstractButton(parent), id_(id), pressed_(pressed) {
  // The name is never shown; it identifies the button (and helps tests).
  setText(name);
  setObjectName(name);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_NoSystemBackground);
  // Pressed and released also follow the pointer leaving and re-entering the
  // button while the left button is held.
  connect(this, &QAbstractButton::pressed, this, [this] { pressed_ = 1; });
  connect(this, &QAbstractButton::released, this, [this] { pressed_ = 0; });
}

void StateButton::paintEvent(QPaintEvent*) {}

void StateButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  QAbstractButton::mousePressEvent(event);
}

}  // namespace slk
