#include "frmMasterPassword.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/Text.h"

namespace corvella {

TMasterPasswordFrame::TMasterPasswordFrame(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MasterPasswordFrame"));
  setAutoFillBackground(true);

  auto* label = new QLabel(tr("Enter Master Password:"), this);
  label->setObjectName(QStringLiteral("Label1"));
  label->move(144, 168);
  PasswordEdit = new QLineEdit(this);
  PasswordEdit->setObjectName(QStringLiteral("PasswordEdit"));
  PasswordEdit->setEchoMode(QLineEdit::Password);
  PasswordEdit->setGeometry(144, 184, 297, 20);
  label->setBuddy(PasswordEdit);

  Button1 = new QPushButton(tr("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(368, 216, 75, 25);
  Button1->setDefault(true);

  connect(Button1, &QPushButton::clicked, this, &TMasterPasswordFrame::Button1Click);
  connect(PasswordEdit, &QLineEdit::returnPressed, Button1, &QPushButton::click);
}

void TMasterPasswordFrame::Button1Click() {
  // Emptied also when the receiver raises an error.
  struct ClearOnExit {
    QLineEdit* field;
    ~ClearOnExit() { WipeLineEdit(*field); }
  } clear{PasswordEdit};
  emit UnlockRequested(PasswordEdit->text());
}

}  // namespace corvella
