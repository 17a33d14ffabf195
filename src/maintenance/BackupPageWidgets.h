#pragma once

#include "maintenance/BackupRestore.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"

#include <QDir>
#include <QFont>
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
