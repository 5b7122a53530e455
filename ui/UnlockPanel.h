#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace corvella {

// The unlock panel, laid over the page area while the program is locked.
class UnlockPanel final : public QWidget {
  Q_OBJECT

 public:
  explicit UnlockPanel(QWidget* parent);

  void FocusPasswordField();

 signals:
  // OK or Enter; the field is emptied once the receiver has returned, whatever happened.
  void UnlockRequested(const QString& password);

 private:
  void RequestUnlock();

  QLineEdit* passwordEdit_;
  QPushButton* okButton_;
};

}  // namespace corvella
