#include "core/TextFolding.h"

#include <algorithm>

namespace {

// Letters that canonical decomposition leaves whole, by their case-folded form.
QStringView spelledOut(char16_t c)
{
    switch (c) {
    case u'\u00DF': // sharp s
        return u"ss";
    case u'\u00E6': // ae
        return u"ae";
    case u'\u0153': // oe
        return u"oe";
    case u'\u00F8': // o with stroke
        return u"o";
    case u'\u0142': // l with stroke
        return u"l";
    case u'\u0111': // d with stroke
    case u'\u00F0': // eth
        return u"d";
    case u'\u00FE': // thorn
        return u"th";
    case u'\u0131': // dotless i
        return u"i";
    default:
        return {};
    }
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

namespace TextFolding {

void appendFolded(QString& out, QStringView text)
{
    if (text.isEmpty())
        return;
    if (isAscii(text)) {
        // Most names are plain ASCII: no need for the Unicode tables.
        const qsizetype at = out.size();
        out.resize(at + text.size());
        QChar* d = out.data() + at;
        for (QChar c : text) {
            char16_t u = c.unicode();
            if (u >= u'A' && u <= u'Z')
                u = char16_t(u + 32);
            else if (u < 0x20)
                u = u' ';
            *d++ = QChar(u);
        }
        return;
    }
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_D).toCaseFolded();
    for (QChar c : decomposed) {
        const QChar::Category cat = c.category();
        if (cat == QChar::Mark_NonSpacing || cat == QChar::Mark_Enclosing)
            continue;
        const QStringView spelled = spelledOut(c.unicode());
        if (!spelled.isEmpty())
            out.append(spelled);
        else if (c.unicode() < 0x20)
            out.append(QChar(u' '));
        else
            out.append(c);
    }
}

QString fold(QStringView text)
{
    QString out;
    appendFolded(out, text);
    return out;
}

} // namespace TextFolding
