// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QString>

#include <optional>
#include <vector>

class EffectTemplateItem;
using EffectTemplateItemList = std::vector<const EffectTemplateItem *>;

// Whether the templates an install copies fit on the volume of the
// destination root, asked before anything is written there: a full disk
// found half way costs a roll-back and says less.
namespace InstallSpace {

// What the copies of `items` take: their files below the unpack folder, each
// rounded up to a 4 KiB block as file systems store them.
qint64 bytesNeeded(const EffectTemplateItemList &items);
// Bytes this user may still write on the volume that holds `folder` (or
// would hold it: missing folders are looked for upwards); none when the
// volume does not say.
std::optional<qint64> bytesAvailable(const QString &folder);
// An ENOSPC error in the POSIX domain saying both sizes ("installing needs
// 2.1 GB, only 800 MB are free on the volume of …") when `needed` exceeds
// what is free for `folder`; none when it fits or free space is unknown.
[[nodiscard]] std::optional<Error> refusal(qint64 needed, const QString &folder);

// For tests: what bytesAvailable() answers for every folder instead of the
// volume; none asks the volume again.
void setAvailableForTesting(std::optional<qint64> bytes);

} // namespace InstallSpace
