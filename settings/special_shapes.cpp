#include "settings/special_shapes.h"

bool isSpecialShape(Shape shape) {
    return shape >= Shape::SizAddress;
}

bool getSpecialSetting(SettingContext& context, const SettingRow& row) {
    switch (row.shape) {
    case Shape::Immobility:
    case Shape::AuxSensors:
        return getSensorSetting(context, row);
    case Shape::LogFlags:
        return getLogFlagWord(context, row);
    default:
        return getBleTagSetting(context, row);
    }
}

bool setSpecialSetting(SettingContext& context, const SettingRow& row) {
    switch (row.shape) {
    case Shape::Immobility:
    case Shape::GasAnalyzer:
    case Shape::Token:
        return setSensorSetting(context, row);
    case Shape::LogFlags:
        return setLogFlagWord(context, row);
    default:
        return setBleTagSetting(context, row);
    }
}
