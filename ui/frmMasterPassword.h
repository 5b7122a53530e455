#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace corvella {

// The unlock panel, laid over the page area while the program is locked.
class TMasterPasswordFrame final : public QWidget {
  Q_OBJECT

 public:
  explicit TMasterPasswordFrame(QWidget* parent);

  QLineEdit* PasswordField() const { return PasswordEdit; }

 signals:
  // OK or Enter; the field is emptied once the receiver has returned, whatever happened.
  void UnlockRequested(const QString& password);

 private:
  void Button1Click();

  QLineEdit* PasswordEdit;
  QPushButton* Button1;
};

}  // namespace corvella
