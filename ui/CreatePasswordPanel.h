#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace corvella {

// The creation panel, laid over the page area on a first start: the new master password, twice.
class CreatePasswordPanel final : public QWidget {
  Q_OBJECT

 public:
  explicit CreatePasswordPanel(QWidget* parent);

  void FocusFirstField();
  // Empties both fields, overwriting what they held.
  void WipeFields();

 signals:
  // The two fields agree and are long enough; the receiver makes the text the master password.
  // It stays in the fields until the receiver hides the panel, so a failed save can be retried.
  void PasswordChosen(const QString& password);

 private:
  void SubmitPassword();
  void RejectAndClear(const QString& message);
  void resizeEvent(QResizeEvent* event) override;

  QWidget* introduction_;
  QLineEdit* passwordEdit_;
  QLineEdit* repeatEdit_;
  QPushButton* okButton_;
};

}  // namespace corvella
