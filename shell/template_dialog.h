#pragma once
// A modal dialog laid out from one of the program's dialog templates: every
// control of the template at its rectangle, converted from dialog units with
// the dialog's own font as Windows converts them, in the user's language.

#include <QDialog>
#include <map>
#include <memory>
#include <vector>

#include "resources/ui_texts.h"

namespace slk {

class TemplateDialog : public QDialog {
  Q_OBJECT

 public:
  TemplateDialog(QWidget* parent, const res::DialogTemplate& dialogTemplate);
  ~TemplateDialog() override;

  // The control with the template's id, or nullptr.
  QWidget* Control(int id) const;
  template <class T>
  T* ControlAs(int id) const {
    return qobject_cast<T*>(Control(id));
  }

 private:
  std::unique_ptr<QWidget> MakeControl(const res::DialogControl& control, res::Language language);
  QRect ToPixels(const res::DialogRect& r) const;
  void WidenForTexts(const res::DialogTemplate& dialogTemplate, res::Language language);
  void Place(const res::DialogControl& control, QWidget& widget, res::Language language);
  void ConnectBuddies(const res::DialogTemplate& dialogTemplate);

  int baseX_ = 0;  // average character width, pixels
  int baseY_ = 0;  // character height, pixels
  double widen_ = 1.0;
  std::vector<std::unique_ptr<QWidget>> controls_;
  std::map<int, QWidget*> byId_;
};

}  // namespace slk
