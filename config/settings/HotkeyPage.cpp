#include "config/settings/HotkeyPage.h"

#include <QComboBox>

namespace kal {

using P = HotkeyPage;

// One hotkey's two lists and the keys they are written to.
struct HotkeyPair {
  HotkeyRole role;
  const char* modifierList;
  const char* keyList;
  const char* name;  // as the prompts say it
  const cfg::IntKey& modifierIndex;
  const cfg::IntKey& keyIndex;
  const cfg::IntKey& modifier;
  const cfg::IntKey& key;
};

namespace {

constexpr const char* kControls[] = {P::kStartPauseModifier, P::kStartPauseKey, P::kStopModifier,
                                     P::kStopKey, P::kSave};
constexpr int kModifiers[] = {1, 2};  // Alt, Control
constexpr int kF1 = 0x70;
constexpr int kKeys = 12;  // F1 to F12

const HotkeyPair kPairs[] = {
    {HotkeyRole::kStartPause, P::kStartPauseModifier, P::kStartPauseKey, "开始/暂停",
     cfg::kStartPauseKey1Index, cfg::kStartPauseKey2Index, cfg::kStartPauseKey1, cfg::kStartPauseKey2},
    {HotkeyRole::kStop, P::kStopModifier, P::kStopKey, "停止", cfg::kStopKey1Index, cfg::kStopKey2Index,
     cfg::kStopKey1, cfg::kStopKey2}};

}  // namespace

ui::ControlList HotkeyPage::Controls() const { return kControls; }

void HotkeyPage::Init() {
  for (const HotkeyPair& p : kPairs) {
    // The key in use, whatever the lists were last left at; a key the
    // lists cannot show leaves them empty.
    const Hotkey held = host_.CurrentHotkey(p.role);
    int modifier = -1;
    for (int i = 0; i < 2; ++i)
      if (held.modifiers == kModifiers[i]) modifier = i;
    const int key = held.key >= kF1 && held.key < kF1 + kKeys ? held.key - kF1 : -1;
    dialog_.Control<QComboBox>(p.modifierList)->setCurrentIndex(modifier);
    dialog_.Control<QComboBox>(p.keyList)->setCurrentIndex(key);
  }
}

bool HotkeyPage::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click" && msg.senderName == kSave) {
    Save();
    return true;
  }
  return false;
}

std::optional<Hotkey> HotkeyPage::Chosen(const HotkeyPair& pair) {
  const int modifier = dialog_.Control<QComboBox>(pair.modifierList)->currentIndex();
  const int key = dialog_.Control<QComboBox>(pair.keyList)->currentIndex();
  if (modifier < 0 || modifier > 1 || key < 0 || key >= kKeys) return std::nullopt;
  return Hotkey{kModifiers[modifier], kF1 + key};
}

void HotkeyPage::Save() {
  const std::optional<Hotkey> chosen[] = {Chosen(kPairs[0]), Chosen(kPairs[1])};
  // A pair left incomplete keeps its key; with both so there is nothing to take.
  if (!chosen[0] && !chosen[1]) {
    Tell(dialog_.Window(), "请先选择热键!");
    return;
  }
  const Hotkey after[] = {chosen[0].value_or(host_.CurrentHotkey(HotkeyRole::kStartPause)),
                          chosen[1].value_or(host_.CurrentHotkey(HotkeyRole::kStop))};
  if (after[0] == after[1]) {
    Tell(dialog_.Window(), "[开始/暂停]和[停止]不能使用同一个热键!");
    return;
  }
  for (int i = 0; i < 2; ++i)
    if (chosen[i] && !Take(kPairs[i], *chosen[i])) return;  // the stop pair waits for the first
}

bool HotkeyPage::Take(const HotkeyPair& p, Hotkey key) {
  if (!host_.ReplaceHotkey(p.role, key)) {
    Tell(dialog_.Window(), QString("[%1], 热键设置失败!").arg(p.name));
    return false;
  }
  Tell(dialog_.Window(), QString("[%1], 热键设置成功!").arg(p.name));
  cfg::Write(p.modifierIndex, dialog_.Control<QComboBox>(p.modifierList)->currentIndex());
  cfg::Write(p.keyIndex, dialog_.Control<QComboBox>(p.keyList)->currentIndex());
  cfg::Write(p.modifier, key.modifiers);
  cfg::Write(p.key, key.key);
  return true;
}

}  // namespace kal
