#pragma once
// What the user is shown of an offer: a confirm box for an optional
// upgrade (declined: nothing is downloaded), a notice for a forced one,
// then the download dialog. UI thread; returns when the dialogs close.

#include <QWidget>

#include "online/UpgradeAnswer.h"

namespace kal::online {

inline constexpr const char* kNewVersionFound = "发现新版本啦!";
inline constexpr const char* kNoNewVersion = "没有发现新版本!";
inline constexpr const char* kCheckFailed = "检查更新失败";

void ShowUpgradePrompt(QWidget* owner, const UpgradeOffer& offer);

}  // namespace kal::online
