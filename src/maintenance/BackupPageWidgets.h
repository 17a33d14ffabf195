#pragma once

#include "maintenance/BackupRestore.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "ui/AltKeys.h"

#include <QDir>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <optional>

// What the back-up window's pages share.
namespace BackupPageWidgets {

// Names, places (in twips) and gives the window's bold type to w.
template<typename W> W* placed(W* w, const QString& name, const QRect& twips, double points)
{
    w->setObjectName(name);
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(true);
    w->setFont(f);
    w->setGeometry(Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
    return w;
}

// A text that wraps within twips, from its top left.
inline QLabel* helpLabel(QWidget* page, const QString& text, const QString& name, const QRect& twips)
{
    auto* label = placed(new QLabel(text, page), name, twips, 9.6);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A folder's path in blue, shown whole in its tooltip; Alt keys act on the
// window, not on the box.
inline QLineEdit* folderBox(QWidget* page, const QString& name, const QRect& twips)
{
    auto* box = placed(new QLineEdit(page), name, twips, 12);
    QPalette blue;
    blue.setColor(QPalette::Text, Qt::blue);
    box->setPalette(blue);
    QObject::connect(box, &QLineEdit::textChanged, box, &QLineEdit::setToolTip);
    AltKeys::keepOutOf(box);
    return box;
}

// Asks for a folder, starting at the one box names (else the home folder),
// and puts the answer into box.
inline bool chooseFolderInto(QLineEdit* box, const QString& title)
{
    QString start;
    if (!BackupRestore::folderFromText(box->text(), start).ok())
        start = QDir::homePath();
    const std::optional<QString> chosen = Dialogs::folder(box->window(), title, start);
    if (chosen)
        box->setText(*chosen);
    return chosen.has_value();
}

} // namespace BackupPageWidgets
