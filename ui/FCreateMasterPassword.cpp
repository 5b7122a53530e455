#include "FCreateMasterPassword.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/Error.h"
#include "store/MasterPassword.h"
#include "store/PasswordStore.h"
#include "ui/MessageDialog.h"
#include "ui/Text.h"

namespace corvella {
namespace {

// The panel is designed at 438 x 326; fields and button keep their distance to the right edge.
constexpr int kDesignWidth = 438;

const char* const kIntroduction =
    "<p style=\"margin:0\"><span style=\"font-family:Arial; font-size:14pt; font-weight:bold\">"
    "Create Master Password</span></p>"
    "<p style=\"margin:0\">&nbsp;</p>"
    "<p style=\"margin:0; font-size:10pt\">Enter the master password you wish to use to access "
    "Corvella. </p>"
    "<p style=\"margin:0; font-size:10pt\">Make sure you remember it, as otherwise you will not be "
    "able to access the program </p>"
    "<p style=\"margin:0; font-size:10pt\">or your passwords!</p>";

}  // namespace

TCreateMasterPasswordFrame::TCreateMasterPasswordFrame(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("CreateMasterPasswordFrame"));
  setAutoFillBackground(true);

  auto* intro = new QLabel(QString::fromLatin1(kIntroduction), this);
  intro->setObjectName(QStringLiteral("RichEdit"));
  intro->setTextFormat(Qt::RichText);
  intro->setWordWrap(true);
  intro->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  intro->setFocusPolicy(Qt::NoFocus);
  RichEdit = intro;

  auto* label1 = new QLabel(tr("Enter Master Password:"), this);
  label1->move(32, 184);
  PasswordEdit1 = new QLineEdit(this);
  PasswordEdit1->setObjectName(QStringLiteral("PasswordEdit1"));
  PasswordEdit1->setEchoMode(QLineEdit::Password);
  label1->setBuddy(PasswordEdit1);

  auto* label2 = new QLabel(tr("Repeat:"), this);
  label2->move(32, 232);
  PasswordEdit2 = new QLineEdit(this);
  PasswordEdit2->setObjectName(QStringLiteral("PasswordEdit2"));
  PasswordEdit2->setEchoMode(QLineEdit::Password);
  label2->setBuddy(PasswordEdit2);

  Button1 = new QPushButton(tr("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setDefault(true);

  setTabOrder(PasswordEdit1, PasswordEdit2);
  setTabOrder(PasswordEdit2, Button1);
  connect(Button1, &QPushButton::clicked, this, &TCreateMasterPasswordFrame::Button1Click);
  connect(PasswordEdit1, &QLineEdit::returnPressed, Button1, &QPushButton::click);
  connect(PasswordEdit2, &QLineEdit::returnPressed, Button1, &QPushButton::click);
}

void TCreateMasterPasswordFrame::resizeEvent(QResizeEvent* event) {
  const int grow = std::max(0, width() - kDesignWidth);
  RichEdit->setGeometry(32, 16, 348 + grow, 145);
  PasswordEdit1->setGeometry(32, 200, 348 + grow, 20);
  PasswordEdit2->setGeometry(32, 248, 348 + grow, 20);
  Button1->setGeometry(306 + grow, 282, 75, 25);
  QWidget::resizeEvent(event);
}

void TCreateMasterPasswordFrame::WipeFields() {
  WipeLineEdit(*PasswordEdit1);
  WipeLineEdit(*PasswordEdit2);
}

void TCreateMasterPasswordFrame::FocusFirstField() { PasswordEdit1->setFocus(); }

void TCreateMasterPasswordFrame::Button1Click() {
  const QString first = PasswordEdit1->text();
  if (first != PasswordEdit2->text()) {
    RejectAndClear(tr("The passwords you enter don't match. Please enter the password again."));
  } else if (first.toUtf8().size() < static_cast<qsizetype>(kMinimumMasterPasswordLength)) {
    RejectAndClear(tr("The password you entered is too short. Please enter a password that is "
                      "at least 6 characters long"));
  } else {
    // An existing password file is never overwritten; checked before anything is set.
    CORVELLA_ASSERT(!PasswordFileExists());
    emit PasswordChosen(first);
  }
}

void TCreateMasterPasswordFrame::RejectAndClear(const QString& message) {
  ShowMessage(MessageKind::Error, message);
  WipeFields();
  PasswordEdit1->setFocus();
}

}  // namespace corvella
