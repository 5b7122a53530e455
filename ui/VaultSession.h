#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <string>
#include <string_view>
#include <vector>

#include "store/PasswordStore.h"
#include "store/SecretFingerprint.h"
#include "store/SecureMemory.h"

namespace corvella::platform {
class Settings;
}  // namespace corvella::platform

namespace corvella {

// The texts of one entry as stored bytes, with the password in plain form while it travels
// between the entry editor and the session.
struct EntryFields {
  std::string siteName;
  std::string url;
  std::string userName;
  SecureString password;
};

enum class UnlockResult { Unlocked, UnlockedWithoutFile, WrongPassword };

// The open vault, apart from any window: the lock state, the file key of the master password and
// the entries with their saves, the clipboard countdown and the lock timer. Windows call it and
// follow its signals; every failure is an Error for the caller.
class VaultSession final : public QObject {
  Q_OBJECT

 public:
  static constexpr int kLockTimerStartMs = 120'000;
  static constexpr int kClearClipboardMs = 10'000;

  explicit VaultSession(platform::Settings& settings, QObject* parent = nullptr);
  ~VaultSession() override;

  // Where the password file is; a start without it creates a new vault.
  static std::string FilePath();
  static bool FileExists();

  bool IsLocked() const { return locked_; }
  // Raises "Please unlock the program first ..." unless unlocked with a master password.
  void RequireUnlocked() const;

  // Makes `password` (UTF-8) the master password and writes the first, empty password file. An
  // existing file is never overwritten; when the save fails the session stays locked.
  void CreateVault(std::string_view password);
  // Opens the password file with the typed master password (UTF-8). A missing file unlocks an
  // empty vault, which the first change creates.
  UnlockResult Unlock(std::string_view typed);
  // Wipes the entries and the file key; nothing while locked or while an entry is being edited.
  void Lock();

  // While an entry editor is open (or a question about an entry waits) the session does not
  // lock.
  void SetEditing(bool editing) { editing_ = editing; }

  // In list order.
  const std::vector<EntryPtr>& Entries() const { return store_.Entries(); }
  EntryFields FieldsOf(const Entry& entry) const;
  // Each change is saved at once; a failed save raises its error after the change was made.
  EntryPtr AddEntry(const EntryFields& fields);
  void UpdateEntry(Entry& entry, const EntryFields& fields);
  void DeleteEntry(const Entry& entry);

  void CopyUserName(const Entry& entry);
  // Puts the password on the clipboard, marked secret, and erases it 10 seconds after the
  // first of a run of copies, provided the clipboard still holds it then.
  void CopyPassword(const Entry& entry);
  bool ClipboardCountdownRunning() const { return clearClipboardTimer_.isActive(); }
  int MsUntilClipboardClear() const { return clearClipboardTimer_.remainingTime(); }
  void OnClearClipboardTimeout();

  // Opens the entry's address, "http://" in front unless it begins with "http"; with the option
  // "CopyToClipboard" set the password is copied first.
  void GoToWebPage(const Entry& entry);

  // Every lock period the session locks itself while locking is switched on.
  void SetAutoLock(bool enabled) { autoLock_ = enabled; }
  // Re-arms the timer only for a new period.
  void SetLockPeriod(int minutes);
  int LockPeriodMs() const { return lockTimer_.interval(); }
  int MsUntilLock() const { return lockTimer_.remainingTime(); }
  void OnLockTimeout();

 signals:
  void Unlocked();
  void Locked();
  void EntryAdded(const EntryPtr& entry);
  // Entries were changed or removed; lists are filled anew.
  void EntriesChanged();

 private:
  void SetFields(Entry& entry, const EntryFields& fields) const;

  platform::Settings& settings_;
  PasswordStore store_;
  bool locked_ = true;
  bool editing_ = false;
  bool autoLock_ = true;
  QTimer lockTimer_;
  QTimer clearClipboardTimer_;
  // Recognises the password this program last put on the clipboard, without keeping it.
  SecretFingerprint copiedPassword_;
};

}  // namespace corvella
