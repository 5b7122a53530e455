#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "store/Entry.h"
#include "store/SecureMemory.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvella {

class SessionKey;

// The entry editor. Without an entry (new mode) it only collects the four texts, which the caller
// reads after OK. With an entry (edit mode) OK writes the texts into that entry and calls `save`.
class TNewPasswordForm final : public QDialog {
  Q_OBJECT

 public:
  using SaveFunction = std::function<void()>;

  static constexpr int kDesignWidth = 453;
  static constexpr int kDesignHeight = 217;

  explicit TNewPasswordForm(EntryPtr entry = nullptr, SaveFunction save = {},
                            const SessionKey* key = nullptr);
  ~TNewPasswordForm() override;

  // Edit mode: shows the entry's site name, address, plaintext password and user name.
  void SetFields(const Entry& entry, const SessionKey& key);

  // The texts as stored bytes (UTF-8).
  std::string SiteNameText() const;
  std::string UserNameText() const;
  std::string UrlText() const;
  SecureString PasswordText() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FormShow();
  void CentreOnScreen();
  void LayOutControls();
  void HidePasswordBoxClick(bool checked);
  void BitBtn1Click();
  void Button1Click();

  EntryPtr entry_;
  const SessionKey* key_;
  SaveFunction save_;

  QLineEdit* SiteNameEdit;
  QLineEdit* UserNameEdit;
  QLineEdit* UrlEdit;
  QLineEdit* PasswordEdit;
  QLabel* SiteNameLabel;
  QLabel* UserNameLabel;
  QLabel* UrlLabel;
  QLabel* PasswordLabel;
  QPushButton* BitBtn1;
  QCheckBox* HidePasswordBox;
  QPushButton* Button1;
  QPushButton* Button2;
};

}  // namespace corvella
