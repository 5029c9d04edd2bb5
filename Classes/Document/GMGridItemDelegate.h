#pragma once

#include "Classes/Framework/Toolkit/OVGridItemDelegate.h"

// What a picture tile tells its grid: executed, selected, remove clicked, pin changed, hovered. The
// tiles report exactly what the toolkit's items report, so the interface is the same.
using GMGridItemDelegate = OVGridItemDelegate;
