#pragma once

#include "Directory.h"

#include <QList>

#include <functional>

// The order in which the system's file manager shows names: by the user's locale, case
// aside, numbers by value ("2" before "10").
namespace NameOrder {

// The order of listing's names, as indexes into it.
QList<quint32> of(const Directory::Listing &listing, const std::function<void()> &progress = {});

} // namespace NameOrder
