// ParamMap: the controls of one parameter block, made from the block
// descriptor's UI descriptions: spinners with the parameter's range and step,
// check boxes, radio groups, colour swatches, map buttons ("M" while a map
// is set), combo lists and text fields. Every user change goes through the
// block inside StudioDocument::Edit, so it is one undo entry; Refresh reads
// the block again (after undo, or a change made elsewhere).
//
// Panels with behaviour of their own hook in: `makeControl` may supply the
// control of a parameter (or hide it by answering a plain QWidget), and
// `afterRefresh` runs after every refresh (to enable or disable controls).
#pragma once

#include <QColor>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "apps/studio/studio_document.h"
#include "sdk/param_block.h"

class QFormLayout;

namespace studio {

class ParamMap;

struct ParamMapHooks {
  // Null (or answering null) for the generated control.
  std::function<QWidget*(const ParamDef& def, ParamMap& map)> makeControl;
  std::function<void(ParamMap& map)> afterRefresh;
};

class ParamMap : public QWidget {
  Q_OBJECT
 public:
  ParamMap(StudioDocument& doc, IParamBlock2* block, ParamMapHooks hooks = {},
           QWidget* parent = nullptr);

  IParamBlock2* Block() const { return block_; }
  StudioDocument& Document() const { return doc_; }
  // The control of a parameter, or null when it has none.
  QWidget* Control(ParamID id) const;
  // Reads the block again; done after every edit, undo and redo by itself.
  void Refresh();
  // Lets go of the block: no more refreshes or edits (for a map about to
  // be deleted whose block may go first).
  void Detach();

  // Sets a value as the user does: one undo entry, controls refreshed.
  // False (nothing recorded) when the block refuses the value.
  bool SetByUser(ParamID id, const PB2Value& value);

  // How a colour swatch asks the user for a colour; tests replace it.
  // Answers an invalid colour when the user cancels.
  static std::function<QColor(const QColor& current, QWidget* parent)>& ColorChooser();

 Q_SIGNALS:
  void Edited(ParamID id);

 private:
  QWidget* makeControl(const ParamDef& def);
  QWidget* makeSpinner(const ParamDef& def);
  QWidget* makeRadio(const ParamDef& def);
  QWidget* makeColorSwatch(const ParamDef& def);
  QWidget* makeMapButton(const ParamDef& def);
  void refreshControl(const ParamDef& def, QWidget* control);

  StudioDocument& doc_;
  IParamBlock2* block_;
  ParamMapHooks hooks_;
  std::map<ParamID, QWidget*> controls_;
  bool refreshing_ = false;
};

// The text a map button shows: "M" while a map is set, empty otherwise.
QString MapButtonText(ReferenceTarget* map);

}  // namespace studio

namespace studio {

// The parameter blocks among an object's references, in reference order.
std::vector<IParamBlock2*> BlocksOf(ReferenceMaker* object);

// The blocks of an object, one titled group each.
class BlocksPanel : public QWidget {
  Q_OBJECT
 public:
  BlocksPanel(StudioDocument& doc, ReferenceMaker* object, QWidget* parent = nullptr);
  void Refresh();
  const std::vector<ParamMap*>& Maps() const { return maps_; }

 private:
  std::vector<ParamMap*> maps_;
};

}  // namespace studio
