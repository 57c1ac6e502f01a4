#include "apps/studio/param_map.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace studio {

namespace {

// Spinners of unbounded parameters still need limits of their own.
constexpr double kSpinnerLimit = 1e7;
constexpr int kSpinnerDecimals = 3;

bool IsFloatType(ParamType2 type) {
  return type == TYPE_FLOAT || type == TYPE_ANGLE || type == TYPE_PCNT_FRAC || type == TYPE_WORLD;
}

double LowerLimit(const ParamRange& r) {
  return std::isfinite(r.min) ? r.min : -kSpinnerLimit;
}
double UpperLimit(const ParamRange& r) {
  return std::isfinite(r.max) ? r.max : kSpinnerLimit;
}

QColor ToQColor(const Color& c) {
  return QColor::fromRgbF(std::clamp(c.r, 0.0f, 1.0f), std::clamp(c.g, 0.0f, 1.0f),
                          std::clamp(c.b, 0.0f, 1.0f));
}

void ShowSwatch(QPushButton* b, const QColor& c) {
  b->setStyleSheet(QStringLiteral("background-color: %1").arg(c.name()));
  b->setProperty("swatchColor", c);
}

}  // namespace

QString MapButtonText(ReferenceTarget* map) {
  return map ? QStringLiteral("M") : QString();
}

std::function<QColor(const QColor&, QWidget*)>& ParamMap::ColorChooser() {
  static std::function<QColor(const QColor&, QWidget*)> chooser = [](const QColor& current,
                                                                     QWidget* parent) {
    return QColorDialog::getColor(current, parent);
  };
  return chooser;
}

ParamMap::ParamMap(StudioDocument& doc, IParamBlock2* block, ParamMapHooks hooks, QWidget* parent)
    : QWidget(parent), doc_(doc), block_(block), hooks_(std::move(hooks)) {
  auto* form = new QFormLayout(this);
  form->setContentsMargins(4, 4, 4, 4);
  ParamBlockDesc2* desc = block_->GetDesc();
  for (int i = 0; i < desc->Count(); ++i) {
    const ParamDef& def = desc->GetParamDefByIndex(i);
    // Tables are edited by panels of their own.
    if (IsTabType(def.type)) continue;
    QWidget* control = hooks_.makeControl ? hooks_.makeControl(def, *this) : nullptr;
    if (!control && def.ui.control != ParamControl::kNone) control = makeControl(def);
    if (!control) continue;
    control->setObjectName(QString::fromStdString(def.internalName));
    form->addRow(QString::fromStdString(def.internalName), control);
    controls_[def.id] = control;
  }
  connect(&doc_, &StudioDocument::Changed, this, &ParamMap::Refresh);
  Refresh();
}

void ParamMap::Detach() {
  disconnect(&doc_, nullptr, this, nullptr);
  block_ = nullptr;
  setEnabled(false);
}

QWidget* ParamMap::Control(ParamID id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

bool ParamMap::SetByUser(ParamID id, const PB2Value& value) {
  if (!block_) return false;
  const bool done = doc_.Edit([&] { return block_->SetValue(id, doc_.Time(), value); });
  Refresh();
  if (done) Q_EMIT Edited(id);
  return done;
}

QWidget* ParamMap::makeControl(const ParamDef& def) {
  const ParamID id = def.id;
  switch (def.ui.control) {
    case ParamControl::kSpinner:
      return makeSpinner(def);
    case ParamControl::kCheckbox: {
      auto* box = new QCheckBox(this);
      connect(box, &QCheckBox::toggled, this, [this, id](bool on) {
        if (!refreshing_) SetByUser(id, PB2Value(on));
      });
      return box;
    }
    case ParamControl::kCombo: {
      auto* combo = new QComboBox(this);
      for (const std::string& item : def.ui.items) combo->addItem(QString::fromStdString(item));
      connect(combo, &QComboBox::currentIndexChanged, this, [this, id](int index) {
        if (!refreshing_ && index >= 0) SetByUser(id, PB2Value(index));
      });
      return combo;
    }
    case ParamControl::kRadio:
      return makeRadio(def);
    case ParamControl::kColorSwatch:
      return makeColorSwatch(def);
    case ParamControl::kMapButton:
      return makeMapButton(def);
    case ParamControl::kEditText: {
      auto* edit = new QLineEdit(this);
      connect(edit, &QLineEdit::editingFinished, this, [this, id, edit] {
        if (!refreshing_ && edit->text().toStdString() != block_->GetStr(id, doc_.Time())) {
          SetByUser(id, PB2Value(edit->text().toStdString()));
        }
      });
      return edit;
    }
    case ParamControl::kNodeList:
    case ParamControl::kNone:
      return nullptr;
  }
  return nullptr;
}

QWidget* ParamMap::makeSpinner(const ParamDef& def) {
  const ParamID id = def.id;
  if (IsFloatType(def.type)) {
    auto* spin = new QDoubleSpinBox(this);
    spin->setDecimals(kSpinnerDecimals);
    spin->setRange(LowerLimit(def.range), UpperLimit(def.range));
    spin->setSingleStep(def.ui.spinnerScale);
    // One value (and one undo entry) per finished entry, not per keystroke.
    spin->setKeyboardTracking(false);
    connect(spin, &QDoubleSpinBox::valueChanged, this, [this, id](double v) {
      if (!refreshing_) SetByUser(id, PB2Value(static_cast<float>(v)));
    });
    return spin;
  }
  auto* spin = new QSpinBox(this);
  spin->setRange(static_cast<int>(LowerLimit(def.range)), static_cast<int>(UpperLimit(def.range)));
  spin->setKeyboardTracking(false);
  connect(spin, &QSpinBox::valueChanged, this, [this, id](int v) {
    if (!refreshing_) SetByUser(id, PB2Value(v));
  });
  return spin;
}

QWidget* ParamMap::makeRadio(const ParamDef& def) {
  const ParamID id = def.id;
  auto* box = new QWidget(this);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  auto* group = new QButtonGroup(box);
  for (size_t i = 0; i < def.ui.items.size(); ++i) {
    auto* b = new QRadioButton(QString::fromStdString(def.ui.items[i]), box);
    group->addButton(b, static_cast<int>(i));
    row->addWidget(b);
  }
  connect(group, &QButtonGroup::idClicked, this, [this, id](int index) {
    if (!refreshing_) SetByUser(id, PB2Value(index));
  });
  return box;
}

QWidget* ParamMap::makeColorSwatch(const ParamDef& def) {
  const ParamID id = def.id;
  auto* b = new QPushButton(this);
  b->setFixedWidth(48);
  connect(b, &QPushButton::clicked, this, [this, id, b] {
    const QColor chosen = ColorChooser()(b->property("swatchColor").value<QColor>(), this);
    if (!chosen.isValid()) return;
    SetByUser(id,
              PB2Value(Color(static_cast<float>(chosen.redF()), static_cast<float>(chosen.greenF()),
                             static_cast<float>(chosen.blueF()))));
  });
  return b;
}

QWidget* ParamMap::makeMapButton(const ParamDef& def) {
  const ParamID id = def.id;
  auto* b = new QPushButton(this);
  b->setFixedWidth(32);
  b->setToolTip(tr("Click to remove the map"));
  // Choosing a new map is the map browser's work; the button clears one.
  connect(b, &QPushButton::clicked, this, [this, id] {
    if (block_->GetReferenceTarget(id, doc_.Time())) SetByUser(id, PB2Value(nullptr));
  });
  return b;
}

void ParamMap::Refresh() {
  if (!block_) return;
  refreshing_ = true;
  ParamBlockDesc2* desc = block_->GetDesc();
  for (auto& [id, control] : controls_) {
    if (const ParamDef* def = desc->GetParamDef(id)) refreshControl(*def, control);
  }
  refreshing_ = false;
  if (hooks_.afterRefresh) hooks_.afterRefresh(*this);
}

void ParamMap::refreshControl(const ParamDef& def, QWidget* control) {
  const TimeValue t = doc_.Time();
  if (auto* spin = qobject_cast<QDoubleSpinBox*>(control)) {
    spin->setValue(block_->GetFloat(def.id, t));
  } else if (auto* ispin = qobject_cast<QSpinBox*>(control)) {
    ispin->setValue(block_->GetInt(def.id, t));
  } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
    box->setChecked(block_->GetInt(def.id, t) != 0);
  } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
    combo->setCurrentIndex(block_->GetInt(def.id, t));
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setText(QString::fromStdString(block_->GetStr(def.id, t)));
  } else if (auto* button = qobject_cast<QPushButton*>(control)) {
    if (def.ui.control == ParamControl::kColorSwatch) {
      ShowSwatch(button, ToQColor(block_->GetColor(def.id, t)));
    } else if (def.ui.control == ParamControl::kMapButton) {
      button->setText(MapButtonText(block_->GetReferenceTarget(def.id, t)));
    }
  } else if (def.ui.control == ParamControl::kRadio) {
    const int value = block_->GetInt(def.id, t);
    const auto buttons = control->findChildren<QRadioButton*>();
    for (int i = 0; i < buttons.size(); ++i) buttons[i]->setChecked(i == value);
  }
}

}  // namespace studio

namespace studio {

std::vector<IParamBlock2*> BlocksOf(ReferenceMaker* object) {
  std::vector<IParamBlock2*> blocks;
  if (!object) return blocks;
  for (int i = 0; i < object->NumRefs(); ++i) {
    if (auto* pb = dynamic_cast<IParamBlock2*>(object->GetReference(i))) blocks.push_back(pb);
  }
  return blocks;
}

BlocksPanel::BlocksPanel(StudioDocument& doc, ReferenceMaker* object, QWidget* parent)
    : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  for (IParamBlock2* pb : BlocksOf(object)) {
    auto* group = new QGroupBox(QString::fromStdString(pb->GetDesc()->InternalName()), this);
    auto* inner = new QVBoxLayout(group);
    auto* map = new ParamMap(doc, pb, {}, group);
    inner->addWidget(map);
    layout->addWidget(group);
    maps_.push_back(map);
  }
  layout->addStretch(1);
}

void BlocksPanel::Refresh() {
  for (ParamMap* map : maps_) map->Refresh();
}

}  // namespace studio
