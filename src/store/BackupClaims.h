#pragma once

#include "core/Result.h"

#include <QDate>
#include <QString>

class Database;

// On a server, the desks agree on which of them makes the day's automatic
// back-up: the first to claim the day in the table ledgerly_backup_day, one
// row per day, taken in one statement so that two desks starting at once
// cannot both have it. A claim whose back-up failed is given up again; one
// left by a desk that stopped half-way may be taken over after StaleHours.
namespace BackupClaims {
inline constexpr int StaleHours = 2;
// How long the claims are kept: enough to tell when the back-ups were made.
inline constexpr int KeptDays = 60;

// Claims day for desk; granted tells whether this desk is to make the back-up.
Result claim(Database& server, const QDate& day, const QString& desk, bool& granted);
// Marks the day's back-up made, or gives the claim up when it failed.
Result settle(Database& server, const QDate& day, const QString& desk, bool made);

// The statement that makes the table (schema data version 4, server only).
QString createStatement();
inline const QString TableName = QStringLiteral("ledgerly_backup_day");
} // namespace BackupClaims
