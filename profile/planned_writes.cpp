#include "profile/planned_writes.h"

#include "controls/memory_controls.h"
#include "link/device_link.h"
#include "profile/setting_values.h"
#include "settings/setting_shapes.h"
#include "ui/page_setup.h"

#include <algorithm>

namespace {

// The end of a write whose input check passed: its request could not be sent.
constexpr std::string_view kNotSent = "cmd sending error.\r\n";
constexpr std::string_view kActionEnd = "...   ";

// A port that takes nothing: every exchange fails at once, after the write's input check.
class RefusingChannel final : public ByteChannel {
  public:
    bool writeFrame(std::span<const std::uint8_t>) override { return false; }
    bool readByte(std::uint32_t, std::uint8_t&) override { return false; }
};

// The controls of every setting, copied as they are, for the writes to run on.
class Probe {
  public:
    explicit Probe(const Controls& from) : controls_(from.codePage()) {
        setUpPageControls(controls_);
        for (const SettingRow& row : settingCatalogue()) {
            for (const SettingField& field : settingFields(row)) {
                copy(from, field);
            }
        }
        initDeviceLink(link_, &channel_);
    }

    // The result text the row's write ends its log line with.
    std::string writeResult(const SettingRow& row) {
        AuxSensorCache auxSensors;
        SettingContext context{link_, controls_, auxSensors};
        controls_.clearLog();
        (void)setSetting(context, row);
        const std::string& log = controls_.log();
        const std::size_t end = log.rfind(kActionEnd);
        return end == std::string::npos ? log : log.substr(end + kActionEnd.size());
    }

  private:
    void copy(const Controls& from, const SettingField& field) {
        const int id = field.controlId;
        switch (field.kind) {
        case FieldKind::Check:
            controls_.setChecked(id, from.isChecked(id));
            break;
        case FieldKind::List:
        case FieldKind::RssiList:
            controls_.setListSelection(id, from.listSelection(id));
            break;
        default:
            controls_.setEditText(id, from.wholeText(id));
            break;
        }
    }

    MemoryControls controls_;
    RefusingChannel channel_;
    DeviceLink link_;
};

bool allEmpty(const Controls& controls, const SettingRow& row) {
    const auto fields = settingFields(row);
    return std::all_of(fields.begin(), fields.end(), [&](const SettingField& field) {
        return fieldValueText(controls, field).empty();
    });
}

} // namespace

std::vector<const SettingRow*> plannedWrites(const Controls& controls,
                                             std::vector<std::string>& skipped) {
    skipped.clear();
    Probe probe(controls);
    std::vector<const SettingRow*> rows;
    for (const SettingRow& row : settingCatalogue()) {
        if (!row.setCode) {
            continue;
        }
        if (allEmpty(controls, row) && probe.writeResult(row) != kNotSent) {
            skipped.emplace_back(row.name);
        } else {
            rows.push_back(&row);
        }
    }
    return rows;
}

std::string skippedLine(std::string_view name) {
    return "Skipping " + std::string(name) + ": every field is empty in the profile.\r\n";
}

bool checkPlannedWrites(const Controls& controls, std::span<const SettingRow* const> rows,
                        std::string& error) {
    Probe probe(controls);
    for (const SettingRow* row : rows) {
        std::string result = row->setCode ? probe.writeResult(*row) : std::string(kNotSent);
        if (result != kNotSent) {
            while (result.ends_with('\r') || result.ends_with('\n')) {
                result.pop_back();
            }
            error = std::string(row->name) + ": the write refuses it: " + result;
            return false;
        }
    }
    return true;
}
