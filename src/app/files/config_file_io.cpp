#include "app/files/config_file_io.h"

#include <array>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/events/event_grid.h"
#include "app/setup/setup_panel.h"
#include "app/state/change_marks.h"
#include "app/state/edit_history.h"
#include "app/state/program.h"
#include "app/unit/stand_in_unit.h"
#include "files/config_file.h"
#include "files/config_file_read.h"
#include "files/config_provenance.h"
#include "keelsong_version.h"
#include "protocol/utc_text.h"

namespace keelsong {

namespace {

constexpr char kPattern[] = "*.tlk";

// Shows the wait cursor for as long as it lives.
class WaitCursor {
  public:
    explicit WaitCursor(Ui& ui) : ui_(ui) { ui_.SetWaitCursor(true); }
    ~WaitCursor() { ui_.SetWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    Ui& ui_;
};

std::string LoadedMessage(const ConfigFileContents& contents) {
    std::string message = "Configuration loaded";
    const std::vector<std::string>& duplicates = contents.duplicate_sections;
    if (!duplicates.empty()) {
        message += duplicates.size() == 1 ? "; duplicate section ignored: "
                                          : "; duplicate sections ignored: ";
        for (size_t k = 0; k < duplicates.size(); ++k) {
            message += (k == 0 ? "" : ", ") + duplicates[k];
        }
    }
    return message;
}

void LoadConfigFile(Program& program) {
    const FileSelection chosen = program.GetUi().FileSelectPopup(program.Settings().ConfigFolder(),
                                                                 kPattern, "Load File", false);
    if (chosen.choice == FileChoice::ExistingFile) {
        LoadConfigFileFrom(program, chosen.path);
    }
}

// Who the file is for and when it was saved: the unit type the grid goes by, with the serial
// number and firmware of the unit identified, or with none of the unit the contents were last
// for when it is of that type.
ConfigProvenance SavedProvenance(Program& program) {
    ConfigProvenance saved;
    const int type = program.Unit().device_type;
    const UnitIdentity& identity = program.Identity();
    if (HasEventTable(type)) {
        saved.type = std::string(DeviceTypeName(type));
        if (identity.DeviceType() != device_type::kNone) {
            saved.serial = identity.SerialNumber();
            saved.firmware = FirmwareVersionText(identity.firmware_version);
        } else if (const ConfigProvenance& unit = program.ContentsUnit(); unit.type == saved.type) {
            saved.serial = unit.serial;
            saved.firmware = unit.firmware;
        }
    }
    saved.program = std::string("Keelsong ") + kVersion;
    saved.time = FormatUtc(program.GetPlatform().UtcNow(), "%Y-%m-%dT%H:%M:%SZ", "");
    return saved;
}

// Runs one save or load; running out of memory anywhere in it is said, not thrown.
template <class Operation>
Outcome WithoutThrowing(Program& program, Operation&& operation) {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return program.Fail("Out of system memory");
    }
}

}  // namespace

int PutConfiguration(Program& program, IniDocument& document) {
    std::array<uint32_t, setup_tag::kCount> setup{};
    for (uint16_t tag = 0; tag < setup_tag::kCount; ++tag) {
        setup[tag] = ReadSetupField(program, tag).value_or(0);
    }
    int result = PutConfigSetup(document, setup);
    // Sections are numbered by the events saved, not by grid rows: an empty row in the middle
    // would otherwise leave a gap where loading stops, losing every event after it.
    int saved = 0;
    for (int row = 1; row <= program.Grid().RowCount() && result == 0; ++row) {
        EventRecord event;
        event.type = RowToEvent(program, event.body, row);
        if (event.type >= TypeCode(EventType::ToneCycles) &&
            event.type <= TypeCode(EventType::ToneSeconds)) {
            result = PutConfigEvent(document, ++saved, event);
        }
    }
    return result;
}

Outcome SaveConfigurationFile(Program& program, const std::string& path) {
    return WithoutThrowing(program, [&] {
        const std::unique_ptr<IniDocument> document = Ini_New(1);
        // In the order the sections and their keys are named in, after the configuration's.
        const std::unique_ptr<IniDocument> provenance = Ini_New(0);
        if (!document || !provenance) {
            return program.Fail("Failed to create file");
        }
        if (PutConfiguration(program, *document) != 0 ||
            PutConfigProvenance(*provenance, SavedProvenance(program)) != 0 ||
            document->WriteToFile(path, *provenance) != 0) {
            return program.Fail("Failed to save configuration file");
        }
        Outcome saved = program.Done("Configuration saved successfully");
        program.History().unsaved_edits = false;
        return saved;
    });
}

Outcome ApplyConfiguration(Program& program, const ConfigFileContents& contents) {
    return WithoutThrowing(program, [&] {
        GoByUnitHolding(program, contents.events, contents.provenance);
        if (contents.kind == ConfigFileKind::OldEventTable) {
            // The older binary file: the grid only, nothing marked changed.
            ReplaceGridEvents(program, contents.events);
            ClearEditHistory(program);
            return program.Done("Event table read from file");
        }
        const std::string message = LoadedMessage(contents);
        ReplaceGridEvents(program, contents.events);
        // From here on the grid is the file's: the marks say so before anything else can fail.
        MarkTableChanged(program, true);
        MarkSetupChanged(program, true);
        // After the table: on units that count the last event into the rest between repeats,
        // the rest shown comes off the loaded table's last event, not the one it replaced.
        DecodeSetup(program, contents.setup, false);
        DimUnitControlsWithoutUnit(program);
        ClearEditHistory(program);
        return program.Done(message);
    });
}

Outcome LoadConfigurationFile(Program& program, const std::string& path) {
    return WithoutThrowing(program, [&] {
        WaitCursor wait(program.GetUi());
        const ConfigFileRead read = ReadConfigurationFile(path);
        if (!read.contents) {
            return program.Fail(read.failure);
        }
        Outcome applied = ApplyConfiguration(program, *read.contents);
        if (applied.ok) {
            program.ContentsFile() =
                Program::SourceFile{path, read.contents->sha256, read.contents->provenance};
            program.ServiceRecords().NoteLoadedFile(path, read.contents->sha256);
        }
        return applied;
    });
}

Outcome SaveConfigFile(Program& program) {
    return WithoutThrowing(program, [&] {
        const FileSelection chosen = program.GetUi().FileSelectPopup(
            program.Settings().ConfigFolder(), kPattern, "Save File", true);
        if (chosen.choice == FileChoice::Cancelled) {
            return Outcome::Failed("Cancelled");
        }
        program.Settings().ConfigFolder() = chosen.path;
        return SaveConfigurationFile(program, chosen.path);
    });
}

int ConfigFileSaveCB(Program& program, const CallbackEvent& event) {
    if (event.event == UiEvent::Commit) {
        SaveConfigFile(program);
    }
    return 0;
}

int ConfigFileLoadCB(Program& program, const CallbackEvent& event) {
    if (event.event != UiEvent::Commit) {
        return 0;
    }
    WithoutThrowing(program, [&] {
        LoadConfigFile(program);
        return Outcome::Done();
    });
    return 0;
}

void LoadConfigFileFrom(Program& program, const std::string& path) {
    program.Settings().ConfigFolder() = path;
    LoadConfigurationFile(program, path);
}

}  // namespace keelsong
