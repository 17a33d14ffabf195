#pragma once

#include "appointments/DaySheet.h"
#include "core/Result.h"

class Database;

namespace DaySheetReader {
// The page of date as the appointment window shows it (DayPlacement). Only
// reads; a day without a record is an empty page of the current layout.
Result read(Database& db, const QDate& date, DaySheet& out);
} // namespace DaySheetReader
