#include "OptionsPage.h"

#include <QCheckBox>
#include <algorithm>
#include <initializer_list>
#include <QComboBox>
#include <QLabel>

#include "platform/Autostart.h"
#include "core/Error.h"
#include "platform/Settings.h"
#include "ui/Text.h"

namespace corvella {
namespace {

constexpr int kDefaultTimeIndex = 5;  // "10"

template <class Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
  control->setObjectName(QString::fromLatin1(name));
  control->setGeometry(left, top, width, height);
  return control;
}

}  // namespace

OptionsPage::OptionsPage(platform::Settings& settings, platform::Autostart& autostart,
                         QWidget* parent)
    : QWidget(parent), settings_(settings), autostart_(autostart) {
  setObjectName(QStringLiteral("TabSheet2"));
  CopyPasswordsBox = Place(new QCheckBox(tr("Copy password to clipboard when double-clicking an "
                                            "entry or using Go to Web Page "),
                                         this),
                           "CopyPasswordsBox", 16, 16, 537, 17);
  auto* label1 = Place(new QLabel(tr("(Password automatically erased after 30 seconds)"), this),
                       "Label1", 40, 40, 385, 13);
  LockProgramBox = Place(new QCheckBox(tr("Lock program after "), this), "LockProgramBox", 16, 88,
                         113, 17);
  TimeBox = Place(new QComboBox(this), "TimeBox", 132, 86, 49, 21);
  TimeBox->addItems({"1", "2", "3", "4", "5", "10", "20", "40", "60"});
  TimeBox->setMaxVisibleItems(10);
  TimeBox->setCurrentIndex(kDefaultTimeIndex);
  auto* label2 = Place(new QLabel(tr("minutes of inactivity"), this), "Label2", 188, 89, 96, 13);
  LoadOnStartup = Place(new QCheckBox(tr("Load on computer startup"), this), "LoadOnStartup", 16,
                        136, 345, 17);
  // The design's pixel sizes assume a small 8-point face: controls grow to their text at the
  // desktop's font, and the lock line "[box] Lock program after [10] minutes of inactivity" keeps
  // its pieces side by side, centred on the drop-down list.
  for (QWidget* control : std::initializer_list<QWidget*>{CopyPasswordsBox, label1, LockProgramBox,
                                                          TimeBox, label2, LoadOnStartup}) {
    control->resize(std::max(control->width(), control->sizeHint().width()),
                    std::max(control->height(), control->sizeHint().height()));
  }
  const int lineCentre = TimeBox->geometry().center().y();
  const auto centreOnLine = [lineCentre](QWidget* control, int left) {
    control->move(left, lineCentre - control->height() / 2);
  };
  centreOnLine(LockProgramBox, 16);
  centreOnLine(TimeBox, std::max(132, LockProgramBox->geometry().right() + 4));
  centreOnLine(label2, std::max(188, TimeBox->geometry().right() + 8));
  CopyPasswordsBox->setChecked(true);
  LockProgramBox->setChecked(true);

  connect(CopyPasswordsBox, &QCheckBox::toggled, this, &OptionsPage::CopyPasswordsBoxClick);
  connect(LockProgramBox, &QCheckBox::toggled, this, &OptionsPage::LockProgramBoxClick);
  connect(TimeBox, &QComboBox::activated, this, &OptionsPage::TimeBoxChange);
  connect(LoadOnStartup, &QCheckBox::clicked, this, &OptionsPage::LoadOnStartupClick);
}

void OptionsPage::LoadSettings() {
  CopyPasswordsBox->setChecked(settings_.ReadFlag(platform::Option::CopyToClipboard));
  LockProgramBox->setChecked(settings_.ReadFlag(platform::Option::LockProgram));
  TimeBox->setCurrentIndex(kDefaultTimeIndex);
  const int stored = TimeBox->findText(FromBytes(settings_.Read(platform::Option::LockTime)),
                                       Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (stored >= 0) TimeBox->setCurrentIndex(stored);
  emit LockPeriodChosen(SelectedMinutes());
}

void OptionsPage::RefreshLoadOnStartup() {
  // The box reacts to clicks only (QCheckBox::clicked), so this writes nothing.
  LoadOnStartup->setChecked(autostart_.IsInStartup());
}

bool OptionsPage::LockProgramEnabled() const { return LockProgramBox->isChecked(); }

void OptionsPage::CopyPasswordsBoxClick(bool checked) {
  settings_.WriteFlag(platform::Option::CopyToClipboard, checked);
}

void OptionsPage::LockProgramBoxClick(bool checked) {
  settings_.WriteFlag(platform::Option::LockProgram, checked);
}

void OptionsPage::TimeBoxChange(int) {
  emit LockPeriodChosen(SelectedMinutes());
  settings_.Write(platform::Option::LockTime, ToBytes(TimeBox->currentText()));
}

void OptionsPage::LoadOnStartupClick(bool checked) {
  if (checked) {
    autostart_.AddToStartup();
  } else {
    autostart_.RemoveFromStartup();
  }
}

int OptionsPage::SelectedMinutes() const {
  bool isNumber = false;
  const int minutes = TimeBox->currentText().toInt(&isNumber);
  CORVELLA_ASSERT(isNumber);
  return minutes;
}

}  // namespace corvella
