// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/VaultSession.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScopeGuard>

#include "core/Error.h"
#include "platform/Clipboard.h"
#include "platform/Files.h"
#include "platform/Settings.h"
#include "platform/Shell.h"
#include "store/Errors.h"
#include "store/MasterPassword.h"
#include "store/TextCodec.h"
#include "ui/FailureHandler.h"
#include "ui/Text.h"

namespace corvella {
namespace {

constexpr int kMsPerMinute = 60'000;
// Input closer together than this restarts the lock period once.
constexpr qint64 kInputRestartMs = 100;

const char* const kUnlockFirst = "Please unlock the program first by entering the master password";

}  // namespace

ChangeNotSavedError::ChangeNotSavedError(const std::string& reason)
    : Error("The change was not saved.\n\n" + reason +
            "\n\nIt stays in the program and is saved with the next change, or when you lock "
            "the program or exit."),
      reason_(reason) {}

UnreadableFileError::UnreadableFileError(const std::string& fault, const std::string& advice)
    : Error(advice.empty() ? fault : fault + "\n\n" + advice), fault_(fault) {}

VaultSession::VaultSession(platform::Settings& settings, QObject* parent)
    : QObject(parent), settings_(settings) {
  lockTimer_.setInterval(kLockTimerStartMs);
  // A coarse timer of minutes may end a second early or late.
  lockTimer_.setTimerType(Qt::PreciseTimer);
  connect(&lockTimer_, &QTimer::timeout, this, Guarded(this, &VaultSession::OnLockTimeout));
  lockTimer_.start();
  sinceLockTimerStart_.start();
  // Sees the input to every window of the program, dialogs and menus included.
  if (QCoreApplication* application = QCoreApplication::instance()) {
    application->installEventFilter(this);
  }
  clearClipboardTimer_.setInterval(kClearClipboardMs);
  // A coarse timer may end up to 5 % late.
  clearClipboardTimer_.setTimerType(Qt::PreciseTimer);
  connect(&clearClipboardTimer_, &QTimer::timeout, this,
          Guarded(this, &VaultSession::OnClearClipboardTimeout));
}

VaultSession::~VaultSession() {
  // A password left on the clipboard goes with the program, and must stay gone afterwards.
  if (clearClipboardTimer_.isActive() || erasePending_) {
    EraseCopiedPassword();
    platform::Clipboard::Settle();
  }
}

std::string VaultSession::FilePath() { return GetPasswordFileName(); }

bool VaultSession::FileExists() { return PasswordFileExists(); }

void VaultSession::RequireUnlocked() const {
  if (locked_ || !store_.HasFileKey()) throw Error(kUnlockFirst);
}

void VaultSession::CreateVault(std::string_view password) {
  // Checked before anything is set.
  CORVELLA_ASSERT(!FileExists());
  auto vaultLock = std::make_unique<platform::VaultLock>(FilePath());
  auto forgetKey = qScopeGuard([this] { store_.WipeFileKey(); });
  store_.SetMasterPassword(password);
  store_.SavePasswords();
  forgetKey.dismiss();
  Open(std::move(vaultLock));
}

UnlockResult VaultSession::Unlock(std::string_view typed) {
  return OpenFile(typed, FilePath(), false);
}

std::string VaultSession::BackupPath() {
  return BackupFileName(platform::ResolveLinks(FilePath()));
}

std::string VaultSession::DamagedPath() {
  return DamagedFileName(platform::ResolveLinks(FilePath()));
}

bool VaultSession::BackupExists() { return platform::FileExists(BackupPath()); }

UnlockResult VaultSession::UnlockBackup(std::string_view typed) {
  return OpenFile(typed, BackupPath(), true);
}

UnlockResult VaultSession::OpenFile(std::string_view typed, const std::string& path,
                                    bool readOnly) {
  // The lock is the password file's, also while its backup is open.
  auto vaultLock = std::make_unique<platform::VaultLock>(FilePath());
  // Whatever fails, the key of the typed password goes.
  auto forgetKey = qScopeGuard([this] { store_.WipeFileKey(); });
  LoadResult result;
  try {
    result = OpenWithTypedPassword(store_, typed, path);
  } catch (const InvalidPasswordError&) {
    return UnlockResult::WrongPassword;
  } catch (const StreamReadError&) {
    throw UnreadableFileError("The password file " + path + " is damaged and cannot be read.",
                              "Restore the file from backup and restart the program.");
  } catch (const Error& error) {
    throw UnreadableFileError(error.what());
  }
  forgetKey.dismiss();
  SetReadOnly(readOnly);
  Open(std::move(vaultLock));
  return result == LoadResult::FileMissing ? UnlockResult::UnlockedWithoutFile
                                           : UnlockResult::Unlocked;
}

void VaultSession::RestoreBackup() {
  RequireUnlocked();
  if (!readOnly_) return;
  store_.ReplaceDamagedFile(FilePath());
  SetReadOnly(false);
}

void VaultSession::ChangeMasterPassword(std::string_view current, std::string_view newPassword) {
  RequireWritable();
  try {
    corvella::ChangeMasterPassword(store_, current, newPassword, FilePath());
  } catch (const InvalidPasswordError&) {
    throw Error("Invalid master password");
  }
  // Every entry is in the file now.
  SetUnsaved(false);
}

void VaultSession::RequireWritable() const {
  RequireUnlocked();
  if (readOnly_) {
    throw Error("The backup of the password file is open read-only. Restore it to make changes.");
  }
}

void VaultSession::SetReadOnly(bool readOnly) {
  if (readOnly == readOnly_) return;
  readOnly_ = readOnly;
  emit ReadOnlyChanged(readOnly);
}

void VaultSession::Open(std::unique_ptr<platform::VaultLock> vaultLock) {
  vaultLock_ = std::move(vaultLock);
  locked_ = false;
  emit Unlocked();
}

void VaultSession::Lock() {
  if (locked_ || editing_ || unsaved_) return;
  store_.WipeEntries();
  store_.WipeFileKey();
  vaultLock_.reset();
  SetReadOnly(false);
  locked_ = true;
  if (clearClipboardTimer_.isActive() || erasePending_) {
    clearClipboardTimer_.stop();
    EraseCopiedPassword();
  }
  emit Locked();
}

EntryFields VaultSession::FieldsOf(const Entry& entry) const {
  return {std::string(entry.SiteName()), std::string(entry.Url()), std::string(entry.UserName()),
          entry.Password(store_.Key())};
}

void VaultSession::SetFields(Entry& entry, const EntryFields& fields) const {
  entry.SetAll(fields.siteName, fields.url, fields.userName, fields.password.View(), store_.Key());
}

EntryPtr VaultSession::AddEntry(const EntryFields& fields) {
  RequireWritable();
  auto entry = std::make_shared<Entry>();
  SetFields(*entry, fields);
  store_.AddEntry(entry);
  emit EntryAdded(entry);
  Save();
  return entry;
}

void VaultSession::UpdateEntry(Entry& entry, const EntryFields& fields) {
  RequireWritable();
  SetFields(entry, fields);
  emit EntriesChanged();
  Save();
}

void VaultSession::DeleteEntry(const Entry& entry) {
  RequireWritable();
  store_.RemoveEntry(&entry);
  emit EntriesChanged();
  Save();
}

ImportCounts VaultSession::ImportEntries(const std::vector<interchange::PlainEntry>& entries) {
  RequireWritable();
  interchange::SeenEntries seen;
  for (const EntryPtr& entry : store_.Entries()) {
    seen.Insert(interchange::PlainEntryOf(*entry, store_.Key()));
  }
  ImportCounts counts;
  for (const interchange::PlainEntry& plain : entries) {
    if (!seen.Insert(plain)) {
      ++counts.duplicates;
      continue;
    }
    store_.AddEntry(interchange::NewEntry(plain, store_.Key()));
    ++counts.added;
  }
  if (counts.added == 0) return counts;
  emit EntriesChanged();
  Save();
  return counts;
}

void VaultSession::Save() {
  try {
    store_.SavePasswords();
  } catch (const std::exception& error) {
    SetUnsaved(true);
    throw ChangeNotSavedError(error.what());
  }
  SetUnsaved(false);
}

void VaultSession::SaveChanges() {
  if (unsaved_) Save();
}

void VaultSession::DiscardChanges() { SetUnsaved(false); }

void VaultSession::SetUnsaved(bool unsaved) {
  if (unsaved == unsaved_) return;
  unsaved_ = unsaved;
  emit UnsavedChangesChanged(unsaved);
}

void VaultSession::CopyUserName(const Entry& entry) {
  platform::Clipboard::SetText(FromBytes(entry.UserName()));
}

void VaultSession::CopyPassword(const Entry& entry) {
  // The text as the window shows it; the clipboard makes the only copy that outlives this.
  const SecureString password = SecretDisplayText(entry.Password(store_.Key()).View());
  if (!clipboardWatched_) {
    clipboardWatched_ = true;
    platform::Clipboard::WatchChanges(this, [this] { OnClipboardChanged(); });
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
              if (state == Qt::ApplicationActive && erasePending_) EraseCopiedPassword();
            });
  }
  copiedPassword_.Remember(password.View());
  platform::Clipboard::SetSecret(password.View());
  erasePending_ = false;
  clearClipboardTimer_.start();
}

bool VaultSession::ClipboardHoldsCopiedPassword() const {
  return platform::Clipboard::HoldsSecret(
      [this](std::string_view text) { return copiedPassword_.Matches(text); });
}

void VaultSession::OnClipboardChanged() {
  if (!clearClipboardTimer_.isActive() && !erasePending_) return;
  if (ClipboardHoldsCopiedPassword()) return;
  // Someone else's text: nothing is left to erase.
  clearClipboardTimer_.stop();
  erasePending_ = false;
  copiedPassword_.Forget();
}

void VaultSession::OnClearClipboardTimeout() {
  clearClipboardTimer_.stop();
  EraseCopiedPassword();
}

void VaultSession::EraseCopiedPassword() {
  erasePending_ = false;
  // Only while the clipboard still holds exactly what we put there.
  if (!ClipboardHoldsCopiedPassword()) {
    copiedPassword_.Forget();
    return;
  }
  // Replacing the clipboard's content wipes the password it held.
  platform::Clipboard::Clear();
  if (platform::Clipboard::ClearsInBackground() ||
      QGuiApplication::applicationState() == Qt::ApplicationActive) {
    copiedPassword_.Forget();
  } else {
    // The change may not have been taken; it is made again at the next focus.
    erasePending_ = true;
  }
}

void VaultSession::GoToWebPage(const Entry& entry) {
  if (entry.Url().empty()) {
    throw Error("The entry \"" + DisplayText(entry.SiteName()) + "\" has no web address");
  }
  if (settings_.ReadFlag(platform::Option::CopyToClipboard)) CopyPassword(entry);
  QString address = FromBytes(entry.Url());
  if (!BeginsWithHttp(address)) address.prepend(QLatin1String("http://"));
  platform::OpenWebAddress(address);
}

void VaultSession::SetLockPeriod(int minutes) {
  const int period = minutes * kMsPerMinute;
  if (period == lockTimer_.interval()) return;
  lockTimer_.start(period);
  sinceLockTimerStart_.start();
}

bool VaultSession::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
      if (sinceLockTimerStart_.elapsed() >= kInputRestartMs) {
        lockTimer_.start();
        sinceLockTimerStart_.start();
      }
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

void VaultSession::OnLockTimeout() {
  if (!autoLock_ || locked_) return;
  // Saving them again, and asking when that fails, is the window's part.
  if (unsaved_) {
    emit LockWaitsForUnsavedChanges();
    return;
  }
  Lock();
}

}  // namespace corvella
