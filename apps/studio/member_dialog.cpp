#include "apps/studio/member_dialog.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace studio {

MemberChooser& TheMemberChooser() {
  static MemberChooser chooser = [](const MemberChoice& choice, QWidget* parent) {
    MemberDialog dialog(choice, parent);
    if (dialog.exec() != QDialog::Accepted) return std::vector<int>{};
    return dialog.Chosen();
  };
  return chooser;
}

MemberDialog::MemberDialog(const MemberChoice& choice, QWidget* parent) : QDialog(parent) {
  setWindowTitle(choice.title);
  list_ = new QListWidget(this);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->addItems(choice.entries);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  QPushButton* take = buttons->addButton(choice.button, QDialogButtonBox::AcceptRole);
  take->setEnabled(false);
  connect(list_, &QListWidget::itemSelectionChanged, take,
          [this, take] { take->setEnabled(!list_->selectedItems().isEmpty()); });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(buttons);
}

std::vector<int> MemberDialog::Chosen() const {
  std::vector<int> rows;
  for (int i = 0; i < list_->count(); ++i) {
    if (list_->item(i)->isSelected()) rows.push_back(i);
  }
  return rows;
}

}  // namespace studio
