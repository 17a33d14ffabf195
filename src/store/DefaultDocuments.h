#pragma once

#include <QString>

// The two documents a new database file starts with: the read-me and the
// licence shown by the read-me window.
namespace DefaultDocuments {
QString readme();
QString licence();
} // namespace DefaultDocuments
