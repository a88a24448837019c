// The ranges the event table's cells keep for a type of unit: what its frequencies, levels and
// rests can be.
#pragma once

#include "app/state/unit_context.h"

namespace keelsong {

class EventGridModel;

struct UnitLimits {
    double lowest_frequency;
    double highest_frequency;
    const char* level_title;
    double lowest_level;
    double highest_level;
    double longest_rest;  // seconds
};

// What a unit of this type and firmware takes; nullptr for a type without an event table.
const UnitLimits* LimitsFor(const UnitContext& unit);

// Ranges wide enough for every unit's values: what the grid goes by while its rows fit no
// single type, so that nothing shown is cut to a range.
const UnitLimits& AnyUnitLimits();

class Program;

// The grid's ranges and the longest rest between plays, as `limits` say.
void ApplyUnitLimits(Program& program, const UnitLimits& limits);

// Gives the grid's frequency, duration and level columns these ranges and the level's title.
// Values outside them are brought in: check first that none are.
void ApplyGridLimits(EventGridModel& grid, const UnitLimits& limits);

}  // namespace keelsong
