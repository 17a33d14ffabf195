#pragma once

#include "core/DayRecord.h"

#include <optional>

// What one desk changed on a day against what another desk stored meanwhile.
// The store's save and the live refresh of a shown day both use it, so that a
// day merged at either moment comes out the same.
namespace DayMerge {
// The editable part of a day.
struct Content
{
    QString pageText;
    QString memo;
    bool closed = false;

    bool operator==(const Content&) const = default;
};

Content contentOf(const DayRecord& record);

// True when theirs still holds what base was read as: the same record with
// the same content. Decided by content, not by version alone: a day deleted
// and made again can come back under the same id and reach the same version
// with other bookings on it.
bool unchangedSince(const DayRecord& base, const std::optional<DayRecord>& theirs);

// Three-way merge of mine (base as edited here) with theirs (base as another
// desk stored it; nullopt when that desk deleted the day, which it does only
// with every cell empty). All three are in one layout. A cell or memo changed
// on one side only takes that side; changed differently on both keeps both
// (PageText::merge, PageText::mergeMemo). Closed takes mine when it changed
// here, else theirs. When theirs is unchanged since base, the result is mine.
Content merge(const DayRecord& base, const Content& mine, const std::optional<DayRecord>& theirs);

// Takes back a change this desk made from before to after, on a day that
// shows now: it is a new edit of what the change touched, with after as its
// base, before as mine and now as theirs. So a text nobody changed since gets
// its old value back, and one another desk changed since keeps their text (it
// merges as any edit does). Redo is the same with before and after swapped.
Content takeBack(const Content& before, const Content& after, const Content& now);
} // namespace DayMerge
