#include "core/DayMerge.h"

#include "core/PageText.h"

namespace DayMerge {

Content contentOf(const DayRecord& record)
{
    return {record.pageText, record.memo, record.closed};
}

bool unchangedSince(const DayRecord& base, const std::optional<DayRecord>& theirs)
{
    return theirs && theirs->id == base.id && contentOf(*theirs) == contentOf(base);
}

Content merge(const DayRecord& base, const Content& mine, const std::optional<DayRecord>& theirs)
{
    if (unchangedSince(base, theirs))
        return mine;
    const Content their = theirs ? contentOf(*theirs) : Content {PageText::cleared(base.pageText), QString(), false};
    return {PageText::merge(base.pageText, mine.pageText, their.pageText),
        PageText::mergeMemo(base.memo, mine.memo, their.memo), mine.closed != base.closed ? mine.closed : their.closed};
}

Content takeBack(const Content& before, const Content& after, const Content& now)
{
    return {PageText::merge(after.pageText, before.pageText, now.pageText),
        PageText::mergeMemo(after.memo, before.memo, now.memo),
        now.closed == after.closed ? before.closed : now.closed};
}

} // namespace DayMerge
