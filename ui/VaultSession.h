// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Error.h"
#include "interchange/PlainEntry.h"
#include "platform/VaultLock.h"
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

// What an import did: entries added, and entries left out as equal to one already there.
struct ImportCounts {
  std::size_t added = 0;
  std::size_t duplicates = 0;
};

enum class UnlockResult { Unlocked, UnlockedWithoutFile, WrongPassword };

// A change that is made in the program but could not be written to the password file.
class ChangeNotSavedError : public Error {
 public:
  explicit ChangeNotSavedError(const std::string& reason);
  // Why the save failed, as the failing layer said it.
  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

// The password file exists but cannot be read, or is damaged; its backup may still open.
class UnreadableFileError : public Error {
 public:
  // The message is `fault`, then `advice` after a blank line where there is one.
  explicit UnreadableFileError(const std::string& fault, const std::string& advice = {});
  // What is wrong with the file, without the advice.
  const std::string& Fault() const { return fault_; }

 private:
  std::string fault_;
};

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
  // As RequireUnlocked, and refuses while a backup is open read-only.
  void RequireWritable() const;

  // Makes `password` (UTF-8) the master password and writes the first, empty password file. An
  // existing file is never overwritten; when the save fails the session stays locked.
  // From here, or from Unlock, until Lock() or its end the session holds the file's VaultLock:
  // while another program has the file, both raise "The password file ... is open in another
  // program".
  void CreateVault(std::string_view password);
  // Opens the password file with the typed master password (UTF-8). A missing file unlocks an
  // empty vault, which the first change creates. A file that cannot be read or is damaged is an
  // UnreadableFileError naming the file; only a wrong password is WrongPassword.
  UnlockResult Unlock(std::string_view typed);

  // The backup of the password file, which every save keeps.
  static std::string BackupPath();
  static bool BackupExists();
  // Where RestoreBackup keeps the damaged file.
  static std::string DamagedPath();
  // Opens the backup read-only with the typed master password: changes are refused until
  // RestoreBackup. Its failures are Unlock's.
  UnlockResult UnlockBackup(std::string_view typed);
  bool IsReadOnly() const { return readOnly_; }
  // Writes the open backup's entries as the password file, keeping the damaged file beside it
  // (DamagedFileName), and allows changes again. On failure the session stays read-only.
  void RestoreBackup();

  // Rewrites the password file, and its backup, under a new master password. A wrong
  // `current` raises "Invalid master password", a short new one the creation panel's message;
  // on those and any failure to write, the session keeps the old key and the file is untouched.
  void ChangeMasterPassword(std::string_view current, std::string_view newPassword);
  // Wipes the entries and the file key; nothing while locked, while an entry is being edited, or
  // while changes wait to be saved (see HasUnsavedChanges).
  void Lock();

  // While an entry editor is open (or a question about an entry waits) the session does not
  // lock.
  void SetEditing(bool editing) { editing_ = editing; }

  // In list order.
  const std::vector<EntryPtr>& Entries() const { return store_.Entries(); }
  EntryListSnapshot EntriesSnapshot() const { return store_.Snapshot(); }
  EntryFields FieldsOf(const Entry& entry) const;
  // Each change is saved at once. A failed save raises ChangeNotSavedError after the change was
  // made; the change stays, and HasUnsavedChanges tells that the file lacks it.
  EntryPtr AddEntry(const EntryFields& fields);
  void UpdateEntry(Entry& entry, const EntryFields& fields);
  void DeleteEntry(const Entry& entry);
  // Adds the entries (UTF-8 texts) at the end of the list, but none whose four fields equal those
  // of an entry already there or added before it, and saves once, as a change.
  ImportCounts ImportEntries(const std::vector<interchange::PlainEntry>& entries);

  bool HasUnsavedChanges() const { return unsaved_; }
  // Writes the changes that a failed save left; raises ChangeNotSavedError again on failure.
  void SaveChanges();
  // Gives up the changes that could not be saved: the next lock drops them.
  void DiscardChanges();

  void CopyUserName(const Entry& entry);
  // Puts the password on the clipboard, marked secret, and erases it 10 seconds after the last
  // copy, provided the clipboard still holds it then; the countdown stops when someone else
  // replaces it. Where the clipboard can be changed only while a window of ours has focus, the
  // password goes at the next focus after the countdown. It goes at Lock and at Exit too.
  void CopyPassword(const Entry& entry);
  bool ClipboardCountdownRunning() const { return clearClipboardTimer_.isActive(); }
  int MsUntilClipboardClear() const { return clearClipboardTimer_.remainingTime(); }
  void OnClearClipboardTimeout();
  // True while a copied password waits for a window of ours to get focus to be erased.
  bool ClipboardErasePending() const { return erasePending_; }

  // Opens the entry's address, "http://" in front unless it begins with "http"; with the option
  // "CopyToClipboard" set the password is copied first. An entry without an address is refused.
  void GoToWebPage(const Entry& entry);

  // The session locks itself, while locking is switched on, a lock period after the last
  // keyboard or mouse input to any of the program's windows.
  void SetAutoLock(bool enabled) { autoLock_ = enabled; }
  // Re-arms the timer only for a new period.
  void SetLockPeriod(int minutes);
  int LockPeriodMs() const { return lockTimer_.interval(); }
  int MsUntilLock() const { return lockTimer_.remainingTime(); }
  void OnLockTimeout();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  void Unlocked();
  void Locked();
  void EntryAdded(const EntryPtr& entry);
  // Entries were changed or removed; lists are filled anew.
  void EntriesChanged();
  void UnsavedChangesChanged(bool unsaved);
  // The lock period ended with changes waiting to be saved: whoever shows the session saves them
  // again or asks what to do with them, then locks.
  void LockWaitsForUnsavedChanges();
  // An open backup became read-only, or was restored.
  void ReadOnlyChanged(bool readOnly);

 private:
  void SetFields(Entry& entry, const EntryFields& fields) const;
  // Unlocked, holding the password file's lock.
  void Open(std::unique_ptr<platform::VaultLock> vaultLock);
  UnlockResult OpenFile(std::string_view typed, const std::string& path, bool readOnly);
  void SetReadOnly(bool readOnly);
  void Save();
  void SetUnsaved(bool unsaved);

  platform::Settings& settings_;
  std::unique_ptr<platform::VaultLock> vaultLock_;  // while unlocked
  PasswordStore store_;
  bool locked_ = true;
  bool editing_ = false;
  bool unsaved_ = false;
  bool autoLock_ = true;
  bool readOnly_ = false;
  QTimer lockTimer_;
  // Since the lock period last began anew; a storm of input restarts it only now and then.
  QElapsedTimer sinceLockTimerStart_;
  QTimer clearClipboardTimer_;
  bool ClipboardHoldsCopiedPassword() const;
  void OnClipboardChanged();
  void EraseCopiedPassword();
  bool clipboardWatched_ = false;
  bool erasePending_ = false;
  // Recognises the password this program last put on the clipboard, without keeping it.
  SecretFingerprint copiedPassword_;
};

}  // namespace corvella
