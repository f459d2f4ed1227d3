// The station engine's header for Qt code: Qt defines "emit" as a macro, and the engine's
// UnitContext has a member of that name, so the macro is set aside while it is read.
#pragma once

#pragma push_macro("emit")
#undef emit
#include "production/station.h"
#pragma pop_macro("emit")
