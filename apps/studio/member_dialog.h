// The dialog that picks members of a line set: a title, a list of entries
// (several may be chosen) and a button that takes the choice. The panel
// asks through a replaceable chooser, so tests can see what is offered and
// answer without a modal loop.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <vector>

class QListWidget;

namespace studio {

struct MemberChoice {
  QString title;
  QString button;
  QStringList entries;
};

// Answers the chosen rows of `choice.entries`; none when cancelled.
using MemberChooser = std::function<std::vector<int>(const MemberChoice& choice, QWidget* parent)>;
// The chooser the panels use; by default it shows a MemberDialog.
MemberChooser& TheMemberChooser();

class MemberDialog : public QDialog {
  Q_OBJECT
 public:
  MemberDialog(const MemberChoice& choice, QWidget* parent = nullptr);
  std::vector<int> Chosen() const;

 private:
  QListWidget* list_;
};

}  // namespace studio
