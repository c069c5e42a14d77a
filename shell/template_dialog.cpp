#include "shell/template_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <algorithm>

namespace slk {

namespace {

using res::ControlKind;

const res::DialogRect& RectIn(const res::DialogControl& control, res::Language language) {
  return language == res::Language::Japanese ? control.japanese : control.english;
}

bool TakesFocus(ControlKind kind) {
  return kind != ControlKind::GroupBox && kind != ControlKind::Frame &&
         kind != ControlKind::Label && kind != ControlKind::Icon;
}

// QCheckBox does not wrap its text; break it into lines that fit `width`.
QString WrapText(const QString& text, const QFontMetrics& metrics, int width) {
  QString result;
  QString line;
  for (const QString& word : text.split(' ', Qt::SkipEmptyParts)) {
    QString candidate = line.isEmpty() ? word : line + ' ' + word;
    if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
      result += line + '\n';
      line = word;
    } else {
      line = candidate;
    }
  }
  return result + line;
}

}  // namespace

TemplateDialog::TemplateDialog(QWidget* parent, const res::DialogTemplate& dialogTemplate)
    : QDialog(parent) {
  res::Language language = res::CurrentLanguage();
  QFont dialogFont = font();
  dialogFont.setPointSize(9);
  setFont(dialogFont);
  // Dialog base units: a quarter of the average width of the Latin letters,
  // an eighth of the character height.
  QFontMetrics metrics(dialogFont);
  int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (letters / 26 + 1) / 2;
  baseY_ = metrics.height();

  setWindowTitle(QString::fromUtf8(dialogTemplate.title.In(language)));
  for (const res::DialogControl& control : dialogTemplate.controls) {
    std::unique_ptr<QWidget> widget = MakeControl(control, language);
    if (control.id >= 0) byId_[control.id] = widget.get();
    controls_.push_back(std::move(widget));
  }
  WidenForTexts(dialogTemplate, language);
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    Place(dialogTemplate.controls[i], *controls_[i], language);
    controls_[i]->show();
  }
  const res::DialogRect& size =
      language == res::Language::Japanese ? dialogTemplate.japanese : dialogTemplate.english;
  setFixedSize(ToPixels({0, 0, size.w, size.h}).size());
  ConnectBuddies(dialogTemplate);
}

TemplateDialog::~TemplateDialog() = default;

QRect TemplateDialog::ToPixels(const res::DialogRect& r) const {
  auto x = [this](int units) { return static_cast<int>(units * baseX_ * widen_ / 4); };
  return QRect(x(r.x), r.y * baseY_ / 8, x(r.w), r.h * baseY_ / 8);
}

// Our fonts are wider than the ones the templates were drawn for: stretch
// the whole dialog sideways, keeping its proportions, until every one-line
// text fits its control.
void TemplateDialog::WidenForTexts(const res::DialogTemplate& dialogTemplate,
                                   res::Language language) {
  widen_ = 1.0;
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const res::DialogControl& control = dialogTemplate.controls[i];
    bool oneLine =
        control.kind == ControlKind::Label || control.kind == ControlKind::CheckBox ||
        control.kind == ControlKind::RadioButtonFirst || control.kind == ControlKind::RadioButton ||
        control.kind == ControlKind::PushButton || control.kind == ControlKind::DefaultPushButton;
    int width = ToPixels(RectIn(control, language)).width();
    if (!oneLine || width <= 0) continue;
    widen_ = std::max(widen_, static_cast<double>(controls_[i]->sizeHint().width()) / width);
  }
  widen_ = std::min(widen_, 2.0);
}

void TemplateDialog::Place(const res::DialogControl& control, QWidget& widget,
                           res::Language language) {
  QRect rect = ToPixels(RectIn(control, language));
  switch (control.kind) {
    case ControlKind::Icon:
      rect.setSize(QSize(32, 32));
      break;
    case ControlKind::DropDownList:
      // The template's height is that of the open list; the closed box is
      // as tall as the font needs.
      rect.setHeight(widget.sizeHint().height());
      break;
    case ControlKind::Label:
      // Widening the whole dialog has its limit; a label that still does not
      // fit grows into the empty space after it rather than losing its end.
      rect.setWidth(std::max(rect.width(), widget.sizeHint().width()));
      rect.setHeight(std::max(rect.height(), widget.sizeHint().height()));
      break;
    case ControlKind::CheckBoxMultiLine: {
      auto& box = static_cast<QCheckBox&>(widget);
      int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                      style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
      box.setText(WrapText(box.text(), QFontMetrics(font()), rect.width() - indicator));
      break;
    }
    default:
      break;
  }
  widget.setGeometry(rect);
}

std::unique_ptr<QWidget> TemplateDialog::MakeControl(const res::DialogControl& control,
                                                     res::Language language) {
  QString text = QString::fromUtf8(control.text.In(language));
  std::unique_ptr<QWidget> widget;
  switch (control.kind) {
    case ControlKind::GroupBox:
      widget = std::make_unique<QGroupBox>(text, this);
      break;
    case ControlKind::Frame: {
      auto frame = std::make_unique<QFrame>(this);
      frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
      widget = std::move(frame);
      break;
    }
    case ControlKind::Label: {
      auto label = std::make_unique<QLabel>(text, this);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      widget = std::move(label);
      break;
    }
    case ControlKind::Icon: {
      auto icon = std::make_unique<QLabel>(this);
      icon->setPixmap(QIcon(":/slotkeeper2/icon-32.png").pixmap(32, 32));
      widget = std::move(icon);
      break;
    }
    case ControlKind::RadioButtonFirst:
    case ControlKind::RadioButton:
      widget = std::make_unique<QRadioButton>(text, this);
      break;
    case ControlKind::CheckBox:
    case ControlKind::CheckBoxMultiLine:
      widget = std::make_unique<QCheckBox>(text, this);
      break;
    case ControlKind::EditBox:
      widget = std::make_unique<QLineEdit>(this);
      break;
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton: {
      auto button = std::make_unique<QPushButton>(text, this);
      button->setDefault(control.kind == ControlKind::DefaultPushButton);
      button->setAutoDefault(control.kind == ControlKind::DefaultPushButton);
      widget = std::move(button);
      break;
    }
    case ControlKind::DropDownList:
      widget = std::make_unique<QComboBox>(this);
      break;
  }
  return widget;
}

// A label's mnemonic moves the focus to the next control that can take it,
// as in a Windows dialog.
void TemplateDialog::ConnectBuddies(const res::DialogTemplate& dialogTemplate) {
  const auto& controls = dialogTemplate.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].kind != ControlKind::Label) continue;
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      if (!TakesFocus(controls[j].kind)) continue;
      static_cast<QLabel*>(controls_[i].get())->setBuddy(controls_[j].get());
      break;
    }
  }
}

QWidget* TemplateDialog::Control(int id) const {
  auto it = byId_.find(id);
  return it == byId_.end() ? nullptr : it->second;
}

}  // namespace slk
