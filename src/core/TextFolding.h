#pragma once

#include <QString>
#include <QStringView>

// Text as finding compares it: canonical decomposition without its combining
// marks, case-folded, with the few letters that do not decompose spelled out
// ("ß" as "ss", "ø" as "o"), so "Müller", "MULLER" and "muller" are one text.
// Control characters become blanks, so a folded cell never holds one of the
// separators of a page.
namespace TextFolding {

QString fold(QStringView text);
void appendFolded(QString& out, QStringView text);

} // namespace TextFolding
