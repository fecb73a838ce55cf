#pragma once

#include "settings/ble_address.h"
#include "controls/controls.h"

#include <cstdint>
#include <vector>

// Controls that together make one [type][address][value] record: the bracelet, the gas
// analyzer and the token.
struct AddressRecordFields {
    int addressId;
    int typeId;
    int valueId;
    int requiredType;       // the only list entry the device takes; -1: any chosen entry
    std::uint32_t maxValue; // the value's range is 0..maxValue
};

struct AddressRecord {
    int typeEntry = 0;
    BleAddress address{};
    std::uint8_t value = 0;
};

// [type][6 address bytes][value], the record as the device takes it.
std::vector<std::uint8_t> recordPayload(std::uint8_t type, const AddressRecord& record);

// Reads and checks the record in the order the operations report problems: an empty
// address, no type, an empty value ("error."), the address length, the type and value
// ranges, the address scan. nullptr when the record is good, else the result text.
const char* readAddressRecord(const Controls& controls, const AddressRecordFields& fields,
                              AddressRecord& record);
