#pragma once

#include "settings/aux_sensor_cache.h"
#include "controls/controls.h"

// The type list of a group of page 8 and the fields its cached entries fill.
struct AuxSensorGroup {
    int typeList;
    int macField;
    int valueField;
};

// nullptr for any other control.
const AuxSensorGroup* findAuxSensorGroup(int typeList);

// A user's choice in a type list: shows the cached entry of the chosen type, or, for the
// blank entry, empty fields and no choice at all.
void showAuxSensorEntry(Controls& controls, const AuxSensorCache& cache,
                        const AuxSensorGroup& group);
