#pragma once

#include <QtGlobal>
#include <functional>

// Work that takes a while tells of it now and then: so much done out of all.
using Progress = std::function<void(qint64 done, qint64 total)>;
