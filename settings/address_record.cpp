#include "settings/address_record.h"

#include "settings/number_text.h"
#include "settings/result_text.h"

namespace {

constexpr std::size_t kAddressChars = 15;
constexpr std::size_t kValueChars = 3;

} // namespace

const char* readAddressRecord(const Controls& controls, const AddressRecordFields& fields,
                              AddressRecord& record) {
    const std::u16string address = controls.editText(fields.addressId, kAddressChars);
    record.typeEntry = controls.listSelection(fields.typeId);
    const std::u16string value = controls.editText(fields.valueId, kValueChars);
    if (address.empty() || record.typeEntry <= 0 || value.empty()) {
        return result::kInputError;
    }
    if (address.size() != kAddressTextLength) {
        return result::kWrongDataLength;
    }
    const std::int64_t number = parseFieldNumber(value);
    const bool typeOk = fields.requiredType < 0 || record.typeEntry == fields.requiredType;
    if (!typeOk || number < 0 || number > fields.maxValue) {
        return result::kOutOfRange;
    }
    if (parseAddress(address, record.address) != AddressParse::Ok) {
        return result::kDataConversionError;
    }
    record.value = static_cast<std::uint8_t>(number);
    return nullptr;
}

std::vector<std::uint8_t> recordPayload(std::uint8_t type, const AddressRecord& record) {
    const BleAddress& a = record.address;
    return {type, a[0], a[1], a[2], a[3], a[4], a[5], record.value};
}
